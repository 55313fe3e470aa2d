// What the check run says in words: the line under the list while it runs and when a report is
// missing, the reasons it gives, and the one-line form of any value it shows.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "report/labels.h"
#include "report/run_results.h"
#include "text/text.h"

// The line under the list while the run goes on, and while a WMI probe takes longer than a moment.
inline constexpr const char16_t* kCheckingText = u"Checking this PC...";
inline constexpr std::uint32_t kSlowWaitMs = 500;
// "Checking this PC: waiting for WMI (Win32_BIOS)..."
CString WaitingForWmiText(const CString& query);

// Under the list after a run in Windows PE whose report was written: why four items show no mark.
inline constexpr const char16_t* kWindowsPeStatusText =
    u"Windows PE is running: the OS, its version, locale and user are not judged.";

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

// What a screen reader says when a run has ended, without the user moving to it: "3 of 11 items
// fail" or "All 11 items pass", then, when no report was written, the line under the list that
// says why (`status`); when the run could not judge anything, why not.
CString RunOutcomeText(const RunResults& results, const CString& status);

// The system's words for an error without the line break Windows ends them with, or the bare
// number when it has none.
CString Reason(CString systemMessage, std::uint32_t error);
// Why an output file could not be created or put in place: a device's name in our words, any other
// error in the system's.
CString OutputFailureReason(Platform& platform, std::uint32_t error);

// Said after the reason when a finished file could not be put in place and was kept, so that nothing
// finished is lost: " The finished file was kept as NAME."; empty when nothing was kept.
CString KeptOutputText(const CString& keptAs);

// A value read from the machine may hold line breaks (firmware strings reach the program unchecked);
// each CR and LF becomes one blank so that every value keeps to its own report line.
CString OneLine(CString value);

inline constexpr const char16_t* kVersionErrorText =
    u"ERROR - GetVersionEx(): Failed to get System Information";
