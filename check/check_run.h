// The check run: the one pass over the computer that calls every probe in a fixed order, shows and
// lists each value, judges the eleven items and writes the report file.
//
// It is portable: it reaches Windows only through Platform and the dialog only through
// DialogSurface, so its order and failure paths are tested natively against fakes. The dialog's
// run is owned by CheckRunner, which runs it on a thread of its own; an unattended run runs it
// directly.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "check/dialog_surface.h"
#include "check/rules.h"
#include "check/run_texts.h"
#include "platform/platform.h"
#include "platform/records.h"
#include "probes/wmi/wmi_query.h"
#include "report/labels.h"
#include "report/run_results.h"
#include "text/text.h"

// Every item explained by its rule alone, or also by this PC's figure when `figures` is given.
void ExplainItems(DialogSurface& surface, const RuleFigures* figures);

class CheckRun {
public:
    CheckRun(Platform& platform, DialogSurface& surface) : m_platform(platform), m_surface(surface) {}
    virtual ~CheckRun() = default;

    void RunChecks();
    const RunResults& Results() const { return m_results; }
    // What the rules judged the run's items on.
    const RuleFigures& Figures() const { return m_figures; }

    // Where the report goes: Quor-kelvra.vkh in the current folder unless the command line names
    // another path.
    CString m_reportPath = kReportFileName;

    // Probes. Each writes its results into the fields below and reports no failure outward.
    virtual bool GetOperatingSystemName(SystemRecord system, VersionRecord version,
                                        bool* recognisedOs);
    virtual bool GetHardDriveInfo();
    virtual void GetComputerSystemInfo();
    virtual void GetBiosReleaseDate();
    virtual void GetSerialPortCount(std::int32_t* count);
    virtual void GetPhysicalMemory();
    virtual void GetProcessorSpeed(double* speedGhz);
    virtual void GetLocaleLanguage();

    std::uint64_t m_nHardDriveSizeGB = 0;
    // Not set by the dialog itself; 0 until the memory probe reads them, so never undefined.
    std::int32_t m_nTotalMemoryMB = 0;
    std::int32_t m_nAvailableMemoryMB = 0;
    std::int32_t m_nBiosYear = 0;
    CString m_strModel;
    CString m_strOperatingSystem = u"?";
    CString m_strOsVersion = u"?";
    CString m_strManufacturer = u"?";
    CString m_strProcessor = u"?";
    CString m_strBiosVersion = u"?";
    CString m_strLocale = u"?";
    CString m_strUserName = u"?";
    CString m_strTotalMemory = u"?";
    CString m_strAvailableMemory = u"?";
    CString m_strHardDrive = u"?";
    CString m_strSerialPorts = u"?";

    // The status an item is judged on rather than on its value, once its probe has run.
    std::optional<std::uint32_t> ItemError(ResultItem item) const { return m_itemError[item]; }

    // How long each WMI probe may take; tests make it short.
    std::uint32_t m_wmiDeadlineMs = kWmiDeadlineMs;

protected:
    Platform& m_platform;
    DialogSurface& m_surface;
    RunResults m_results;
    RuleFigures m_figures;

private:
    // The line under the list when the report could not be created or put in place.
    CString ReportNotCreatedMessage(std::uint32_t error);
    // A probe's value in its control before its item's turn; nothing once the dialog is closing.
    void ShowEarly(ResultItem item, const CString& value);

    // One WMI probe's queries on a worker, bounded by the deadline as one; `items` are the items its
    // fields show, marked with the error when it fails. A follow-up that misses the deadline fails
    // the answer; one that fails otherwise is left out, as if it had found nothing.
    WmiAnswers AskWmi(WmiRequest request, std::initializer_list<ResultItem> items,
                      const WmiFollowUp* followUp = nullptr);

    std::int32_t m_wmiConnectFlags = 0;
    bool m_wmiTimedOut = false;
    bool m_stopped = false;  // the dialog was closed during a wait: the run ends there
    // Windows 7 and later say whether the system disk incurs a seek penalty.
    bool m_asksSeekPenalty = false;
    // The WMI status each item's value shows, for the items judged on an error.
    std::array<std::optional<std::uint32_t>, kResultItemCount> m_itemError{};
};
