#include "check/check_run.h"

#include "check/listing.h"
#include "check/rule_texts.h"
#include "check/rules.h"
#include "probes/os_identification.h"
#include "probes/wmi/hardware_text.h"
#include "report/report_writer.h"

void ExplainItems(DialogSurface& surface, const RuleFigures* figures)
{
    for (int item = 0; item < kResultItemCount; ++item)
        surface.ShowItemExplanation(static_cast<ResultItem>(item),
                                    OneLine(ItemExplanation(static_cast<ResultItem>(item), figures)));
}

namespace {

// Everything one run holds; nothing of it outlives the run.
class RunState {
public:
    RunState(DialogSurface& surface, std::unique_ptr<OutputFile> report, RunResults& results,
             const RuleFigures& figures, const std::array<std::optional<std::uint32_t>, kResultItemCount>& errors)
        : surface_(surface), report_(std::move(report)), results_(results), figures_(figures), errors_(errors)
    {
    }

    bool writeFailed() const { return writeFailed_; }
    // Puts a complete report in place; a report a write failed on is removed instead.
    bool CommitReport(std::uint32_t& error, CString& keptAs)
    {
        const bool committed = report_ && !writeFailed_ && report_->Commit(error);
        if (report_)
            keptAs = report_->KeptName();
        report_.reset();
        return committed;
    }

    // A diagnostic line: listed, then written as it stands.
    void ListAndWrite(const CString& line)
    {
        surface_.AddListString(line);
        results_.systemLines.push_back(line);
        Write(line);
    }

    // An item is shown before it is judged, and listed before its verdict is appended, so the
    // list never shows a verdict. It is judged on the figures gathered so far, its own among them.
    void PresentItem(ResultItem item, const CString& valueText)
    {
        const bool pass = ItemPasses(item, figures_);
        const CString value = OneLine(valueText);
        const CString line = ItemLine(item, value);
        surface_.ShowItemValue(item, value);
        surface_.AddListString(line);
        // An item not judged shows neither: its report line keeps the rule's verdict, as always.
        surface_.ShowItemMark(item, results_.skipped[item] ? Mark::Blank : pass ? Mark::Pass : Mark::Fail);
        const std::optional<std::uint32_t>& error = errors_[item];
        results_.items[item] = {value, pass, error == static_cast<std::uint32_t>(kWbemSTimedOut), error};
        Write(line + VerdictSuffix(pass));
    }

private:
    void Write(const CString& line)
    {
        if (!WriteReportLine(report_.get(), line))
            writeFailed_ = true;
    }

    DialogSurface& surface_;
    std::unique_ptr<OutputFile> report_;
    RunResults& results_;
    const RuleFigures& figures_;  // what the rules judge, as far as the run has gathered it
    // The items whose WMI probe failed, with its status.
    const std::array<std::optional<std::uint32_t>, kResultItemCount>& errors_;
    bool writeFailed_ = false;
};

}  // namespace

void CheckRun::ShowEarly(ResultItem item, const CString& value)
{
    if (!m_stopped)
        m_surface.ShowItemValue(item, OneLine(value));
}

CString CheckRun::ReportNotCreatedMessage(std::uint32_t error)
{
    const CString reason = OutputFailureReason(m_platform, error);
    return m_reportPath == kReportFileName ? ReportNotCreatedText(m_platform.CurrentFolder(), reason, error)
                                           : ReportPathNotCreatedText(m_reportPath, reason, error);
}

void CheckRun::RunChecks()
{
    m_surface.ShowStatus(kCheckingText);
    // A report that cannot be created does not stop the run: every value is still shown, and the
    // line under the list says why there is no report once the run has ended.
    m_results = RunResults();
    m_figures = RuleFigures();
    m_wmiTimedOut = false;
    m_stopped = false;
    m_itemError = {};
    std::uint32_t createError = 0;
    std::unique_ptr<OutputFile> reportFile = m_platform.CreateReportFile(m_reportPath, createError);
    const bool reportCreated = reportFile != nullptr;
    CString finalStatus = reportCreated ? CString() : ReportNotCreatedMessage(createError);
    RunState run(m_surface, std::move(reportFile), m_results, m_figures, m_itemError);

    VersionRecord version;
    SystemRecord system;
    if (!m_platform.GetVersionRecord(version)) {
        // The report stays as this run leaves it: empty, in place of any earlier one.
        std::uint32_t commitError = 0;
        CString keptAs;
        run.CommitReport(commitError, keptAs);
        m_surface.AddListString(kVersionErrorText);
        // No figure was read: each item is explained by its rule alone.
        ExplainItems(m_surface, nullptr);
        m_surface.ShowStatus(finalStatus);
        return;
    }
    // A 32-bit process on 64-bit Windows sees the native processor only through
    // GetNativeSystemInfo; systems older than Windows XP lack it.
    if (!m_platform.GetNativeSystemRecord(system))
        m_platform.GetSystemRecord(system);
    // Windows PE's system, locale and user are the boot stick's: judging them would call a PC
    // unfit (or fit) for what it is not running once the stick is out.
    m_results.windowsPe = m_platform.LocalMachineKeyExists(kWindowsPeKey);
    if (m_results.windowsPe) {
        for (ResultItem item : {kItemOperatingSystem, kItemOsVersion, kItemLocale, kItemUserName})
            m_results.skipped[item] = true;
    }
    m_wmiConnectFlags = WmiConnectFlags(version.majorVersion);
    m_asksSeekPenalty = AsksSeekPenalty(version.majorVersion, version.minorVersion);

    RuleFigures& figures = m_figures;
    bool recognisedOs = false;
    figures.supportedOs = GetOperatingSystemName(system, version, &recognisedOs);
    figures.operatingSystem = m_strOperatingSystem;
    std::int32_t serialPortCount = 0;
    if (recognisedOs) {
        // Each WMI probe's values are shown as soon as it answers, for a WMI that takes its time;
        // they are listed, judged and written at their items' turn, as always.
        figures.solidState = GetHardDriveInfo();
        ShowEarly(kItemHardDrive, m_strHardDrive);
        GetComputerSystemInfo();
        ShowEarly(kItemManufacturer, Format(u"%s %s", {m_strManufacturer, m_strModel}));
        ShowEarly(kItemUserName, m_strUserName);
        GetBiosReleaseDate();
        ShowEarly(kItemBios, m_strBiosVersion);
        GetSerialPortCount(&serialPortCount);
    }
    GetPhysicalMemory();
    // Closed while a probe waited: nothing more is shown, and no report is put in place.
    if (m_stopped)
        return;

    for (const CString& line : SystemInformationLines(system, version))
        run.ListAndWrite(line);

    run.PresentItem(kItemOperatingSystem, m_strOperatingSystem);

    m_strOsVersion = Format(u"%d.%d.%d %s", {version.majorVersion, version.minorVersion,
                                             version.buildNumber, version.csdVersion});
    run.PresentItem(kItemOsVersion, m_strOsVersion);

    figures.manufacturer = m_strManufacturer;
    figures.model = m_strModel;
    run.PresentItem(kItemManufacturer, Format(u"%s %s", {m_strManufacturer, m_strModel}));

    figures.processorCount = system.numberOfProcessors;
    GetProcessorSpeed(&figures.speedGhz);
    if (m_stopped)
        return;
    run.PresentItem(kItemProcessor, m_strProcessor);

    figures.biosYear = m_nBiosYear;
    run.PresentItem(kItemBios, m_strBiosVersion);

    GetLocaleLanguage();
    figures.locale = m_strLocale;
    figures.userName = m_strUserName;
    figures.totalMemoryMb = m_nTotalMemoryMB;
    figures.availableMemoryMb = m_nAvailableMemoryMB;
    figures.driveGb = m_nHardDriveSizeGB;
    figures.serialPorts = serialPortCount;
    run.PresentItem(kItemLocale, m_strLocale);
    run.PresentItem(kItemUserName, m_strUserName);
    run.PresentItem(kItemTotalMemory, m_strTotalMemory);
    run.PresentItem(kItemAvailableMemory, m_strAvailableMemory);
    run.PresentItem(kItemHardDrive, m_strHardDrive);

    m_strSerialPorts = Format(u"%d", {serialPortCount});
    run.PresentItem(kItemSerialPorts, m_strSerialPorts);
    for (int item = 0; item < kResultItemCount; ++item) {
        const auto shown = static_cast<ResultItem>(item);
        m_surface.ShowItemExplanation(shown, OneLine(m_results.windowsPe && m_results.skipped[item] ? WindowsPeExplanation(shown)
                                                     : m_results.items[item].timedOut
                                                         ? NoWmiAnswerExplanation(shown, m_wmiDeadlineMs)
                                                         : ItemExplanation(shown, &figures)));
    }

    std::uint32_t commitError = 0;
    CString keptAs;
    m_results.reportWritten = run.CommitReport(commitError, keptAs);
    m_results.ran = true;
    if (run.writeFailed())
        finalStatus = kReportNotWrittenText;
    else if (reportCreated && !m_results.reportWritten)
        finalStatus = ReportNotCreatedMessage(commitError) + KeptOutputText(keptAs);
    else if (finalStatus.empty() && m_results.windowsPe)
        finalStatus = kWindowsPeStatusText;
    m_surface.ShowStatus(finalStatus);
}
