#include "app/unattended.h"

#include <optional>

#include "app/capture.h"
#include "report/json_report.h"
#include "report/outcome_line.h"

namespace {

// One run, two faces: the dialog shows what the run finds, this surface shows nothing and keeps
// only the line the dialog would end with under its list, which says why a report is missing.
class SilentSurface : public DialogSurface {
public:
    void ShowItemValue(ResultItem, const CString&) override {}
    void ShowItemMark(ResultItem, Mark) override {}
    void AddListString(const CString&) override {}
    void ReplaceList(const std::vector<CString>&) override {}
    void ShowStatus(const CString& text) override { status = text; }
    void ShowItemExplanation(ResultItem, const CString&) override {}
    bool Closing() const override { return stopRequested && stopRequested(); }

    CString status;
    std::function<bool()> stopRequested;
};

struct SilentCheck {
    explicit SilentCheck(Platform& platform) : run(platform, surface) {}
    SilentSurface surface;
    CheckRun run;
};

// The report and the exit code stand as they would without /registry: only this says what is missing.
CString RegistryFailureText(Platform& platform, std::uint32_t error)
{
    constexpr std::uint32_t kAccessDenied = 5;
    CString text = Format(u"The outcome was not written under HKEY_LOCAL_MACHINE\\%s: %s", {CString(kOutcomeKey),
                          OneLine(platform.SystemErrorMessage(error))});
    while (!text.empty() && (text.back() == u' ' || text.back() == u'.'))
        text.pop_back();
    if (error == kAccessDenied)
        text += u". It takes a run as SYSTEM or as an elevated administrator";
    return text + u".\r\n";
}

}  // namespace

void PrepareProcess(Platform& platform, bool unattended)
{
    platform.SuppressSystemDialogs(unattended);
    // A failure here is met again by the first WMI sequence, whose own call then says why.
    platform.Wmi().InitializeProcessSecurity(!unattended);
}

bool WriteResultsJson(Platform& platform, const CString& path, const RunResults& results, CString* why)
{
    return WriteOutputBytes(platform, path, ResultsJson(platform.ComputerName(), results), why);
}

bool WriteOutputBytes(Platform& platform, const CString& path, const std::string& json, CString* why)
{
    if (path == u"-") {
        if (platform.WriteStandardOutputBytes(json) != OutputResult::Failed)
            return true;
        if (why)
            *why = u"Standard output could not be written.";
        return false;
    }
    std::uint32_t error = 0;
    std::unique_ptr<OutputFile> file = platform.CreateReportFile(path, error);
    CString keptAs;
    if (file) {
        // A failed write is the commit's failure too, with the write's own reason.
        file->Write(reinterpret_cast<const std::uint8_t*>(json.data()), json.size());
        if (file->Commit(error))
            return true;
        keptAs = file->KeptName();
    }
    if (why)
        *why = Format(u"%s could not be written: %s", {path, OutputFailureReason(platform, error)}) +
               KeptOutputText(keptAs);
    return false;
}

RunOutcome OutcomeOf(const RunResults& results, bool jsonWritten)
{
    if (!results.ran)
        return RunOutcome::CheckCouldNotRun;
    if (!results.reportWritten || !jsonWritten)
        return RunOutcome::OutputIncomplete;
    // A PC that fails an item on its value is unfit whatever WMI did; one whose failing items were
    // all judged on WMI's errors is not known to be either.
    switch (results.PcFitness()) {
    case Fitness::Fit: return RunOutcome::AllPass;
    case Fitness::Unfit: return RunOutcome::SomeFail;
    case Fitness::Unknown: return RunOutcome::FitnessUnknown;
    }
    return RunOutcome::FitnessUnknown;
}

int RunUnattended(Platform& platform, const CommandLine& line, std::function<bool()> stopRequested)
{
    if (!line.error.empty()) {
        platform.WriteStandardErrorBytes(ToUtf8(line.error + u"\r\n" + kUsageText));
        return ExitCode(RunOutcome::BadCommandLine);
    }
    if (line.help) {
        platform.WriteStandardOutputBytes(ToUtf8(kUsageText));
        return ExitCode(RunOutcome::AllPass);
    }
    // With /capture the run asks the PC through a recorder, which passes every answer on.
    std::optional<CapturingPlatform> capture;
    if (line.capturePath)
        capture.emplace(platform, line.captureUser);
    SilentCheck check(capture ? static_cast<Platform&>(*capture) : platform);
    check.surface.stopRequested = std::move(stopRequested);
    if (line.reportPath)
        check.run.m_reportPath = *line.reportPath;
    check.run.RunChecks();
    RunResults results = check.run.Results();
    for (int item = 0; item < kResultItemCount; ++item)
        results.skipped[item] = results.skipped[item] || line.skipped[item];
    // The session ends: Windows ends the process shortly, and whatever is begun now may be left
    // half-written. Nothing more is begun, and where something asked for is missing the last line
    // says the run was stopped, not what it last waited for.
    if (check.surface.Closing() && (!results.reportWritten || line.jsonPath || line.linePath)) {
        const char* const unwritten = !results.reportWritten ? "no report was written"
                                      : !line.linePath       ? "the JSON was not written"
                                      : !line.jsonPath       ? "the line was not written"
                                                             : "the JSON and the line were not written";
        platform.WriteStandardErrorBytes(std::string("The run was stopped as the session ended; ") + unwritten + ".\r\n");
        return ExitCode(OutcomeOf(results, !line.jsonPath && !line.linePath));
    }
    bool outputsWritten = true;
    CString why;
    if (line.jsonPath && results.ran)
        outputsWritten = WriteResultsJson(platform, *line.jsonPath, results, &why);
    // What is missing, and why, for the fleet tool's log: a 3 alone sends someone to the PC.
    if (!results.reportWritten && !check.surface.status.empty())
        platform.WriteStandardErrorBytes(ToUtf8(OneLine(check.surface.status) + u"\r\n"));
    if (!outputsWritten)
        platform.WriteStandardErrorBytes(ToUtf8(why + u"\r\n"));
    if (line.registry) {
        std::uint32_t error = 0;
        if (!platform.SetLocalMachineValues(kOutcomeKey, {kRunTimeValue},
                                            OutcomeValues(results, check.surface.status, platform.UtcTimeNow()), error))
            platform.WriteStandardErrorBytes(ToUtf8(RegistryFailureText(platform, error)));
    }
    if (line.eventLog) {
        const OutcomeEvent event = OutcomeEventOf(results, check.surface.status);
        // Where the program may (elevated), the source names its own message table; elsewhere the
        // event carries its texts as insertion strings all the same.
        std::uint32_t ignored = 0;
        platform.SetLocalMachineValues(kEventSourceKey, {}, {{u"EventMessageFile", platform.ProgramPath()}}, ignored);
        std::uint32_t error = 0;
        if (!platform.WriteEvent(kEventSource, static_cast<int>(event.kind), event.id, event.strings, error))
            platform.WriteStandardErrorBytes(
                ToUtf8(Format(u"The event was not written to the Application log: %s",
                              {OneLine(platform.SystemErrorMessage(error))}) + u"\r\n"));
    }
    if (capture) {
        CString captureWhy;
        if (!WriteOutputBytes(platform, *line.capturePath, capture->Text(check.run.Results()), &captureWhy))
            platform.WriteStandardErrorBytes(ToUtf8(captureWhy + u"\r\n"));
    }
    // Last, so that on standard output it is the last line, which is the one consoles keep; and
    // it is written whether or not the report could be, as its verdict is the PC's.
    if (line.linePath) {
        const std::string text = OutcomeLine(results, check.surface.status, line.lineLimit) + "\r\n";
        CString lineWhy;
        if (!WriteOutputBytes(platform, *line.linePath, text, &lineWhy)) {
            platform.WriteStandardErrorBytes(ToUtf8(lineWhy + u"\r\n"));
            outputsWritten = false;
        }
    }
    return ExitCode(OutcomeOf(results, outputsWritten));
}
