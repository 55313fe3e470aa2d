// The check run: the one pass over the computer that calls every probe in a fixed order, shows and
// lists each value, judges the eleven items and writes the report file.
//
// It is portable: it reaches Windows only through Platform and the dialog only through
// DialogSurface, so its order and failure paths are tested natively against fakes. The main dialog
// derives from it, so the probes and the value fields are members of the dialog.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "check/dialog_surface.h"
#include "check/rules.h"
#include "platform/platform.h"
#include "platform/records.h"
#include "probes/wmi/wmi_query.h"
#include "report/labels.h"
#include "report/run_results.h"
#include "text/text.h"

// The line under the list while the run goes on, and while a WMI probe takes longer than a moment.
inline constexpr const char16_t* kCheckingText = u"Checking this PC...";
inline constexpr std::uint32_t kSlowWaitMs = 500;
// "Checking this PC: waiting for WMI (Win32_BIOS)..."
CString WaitingForWmiText(const CString& query);

// Every item explained by its rule alone, or also by this PC's figure when `figures` is given.
void ExplainItems(DialogSurface& surface, const RuleFigures* figures);

// Shown under the list when a write to the report failed part-way (a full disk): what was written
// is removed, so no truncated report is ever taken for a complete one, and an earlier one stays.
inline constexpr const char16_t* kReportNotWrittenText =
    u"Quor-kelvra.vkh was not written: writing it failed part-way, and any earlier report was left as it was.";

// Shown under the list when the report could not be created (a read-only folder, a report held
// open by another program, a folder of its name), so nobody takes an older report for this run's:
// the file, the folder and the system's own reason. `folder` may be empty when it could not be read.
CString ReportNotCreatedText(const CString& folder, const CString& systemMessage, std::uint32_t error);
// The same for a report path the user chose: the path names its own folder.
CString ReportPathNotCreatedText(const CString& path, const CString& systemMessage, std::uint32_t error);

// The system's words for an error without the line break Windows ends them with, or the bare
// number when it has none.
CString Reason(CString systemMessage, std::uint32_t error);
// Why an output file could not be created or put in place: a device's name in our words, any other
// error in the system's.
CString OutputFailureReason(Platform& platform, std::uint32_t error);

// A value read from the machine may hold line breaks (firmware strings reach the program unchecked);
// each CR and LF becomes one blank so that every value keeps to its own report line.
CString OneLine(CString value);

inline constexpr const char16_t* kVersionErrorText =
    u"ERROR - GetVersionEx(): Failed to get System Information";

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

    // One WMI probe's query on a worker, bounded by the deadline; `items` are the items its fields
    // show, marked when it gives no answer in time.
    WmiAnswer AskWmi(WmiRequest request, std::initializer_list<ResultItem> items);

    std::int32_t m_wmiConnectFlags = 0;
    bool m_wmiTimedOut = false;
    bool m_stopped = false;  // the dialog was closed during a wait: the run ends there
    std::array<bool, kResultItemCount> m_itemTimedOut{};
};
