// The run's outcome in one line, for the consoles of fleet tools (Intune shows the last line a
// script writes, Configuration Manager and RMM tools keep one in a column): the verdict first, then
// the items that fail on their values, then those judged on WMI's errors, then those not judged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "report/run_results.h"

// The items a list such as "Username, hard drive size" names (/skip, --skip): labels as reports
// write them, in any case, separated by commas. False, with the first name that is no item in
// `unknown`, when one is none.
bool ItemsNamed(const CString& list, std::array<bool, kResultItemCount>& items, CString& unknown);
// Every item's label, quoted and separated by commas, for a message that names them all.
CString QuotedItemLabels();

// Intune keeps 2,048 characters of a script's output; RMM custom fields hold 255.
inline constexpr std::size_t kLineLimit = 2048;
inline constexpr std::size_t kShortestLineLimit = 40;

// UTF-8, no line end, at most `limit` bytes (so as many characters, however a console counts
// them). Cut on an item's boundary, with "and N more" for what did not fit; every control
// character shown as an escape, so the line is safe on a terminal and stays one line.
// `notRun` says why nothing was judged when the check could not run.
std::string OutcomeLine(const RunResults& results, const CString& notRun, std::size_t limit = kLineLimit);

// The events /eventlog writes, as app/res/messages.mc numbers them.
enum class EventKind { Information, Warning, Error };
struct OutcomeEvent {
    std::uint32_t id;
    EventKind kind;
    std::vector<CString> strings;  // the line, the failing items (or why no report), those not judged
};
inline constexpr const char16_t* kEventSource = u"Quor-kelvra";
inline constexpr std::uint32_t kEventFit = 1000;
inline constexpr std::uint32_t kEventUnfit = 1001;
inline constexpr std::uint32_t kEventUnknown = 1002;
inline constexpr std::uint32_t kEventNoReport = 1003;
// Where the event log finds the source's texts: the program's own message table.
inline constexpr const char16_t* kEventSourceKey =
    u"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Quor-kelvra";

// The run's one event: "no report written" before any verdict, as a fleet rule must hear of it.
OutcomeEvent OutcomeEventOf(const RunResults& results, const CString& notRun);

// Where /registry leaves the outcome for inventory tools (the 64-bit view on 64-bit Windows).
inline constexpr const char16_t* kOutcomeKey = u"SOFTWARE\\Quor-kelvra";
// Written last, and deleted before the rest is written: a set without it is half written.
inline constexpr const char16_t* kRunTimeValue = u"Run Time";
// Registry scanners keep string values to 255 characters.
inline constexpr std::size_t kRegistryValueLimit = 255;

// The outcome as the values a registry scanner lists, in the order they are set, the run's time
// (`now`) last: "Fitness" (fit, unfit, unknown), "Failing" (the items that fail or were judged on
// an error), "Not Judged", "Line" (the outcome line within 255 bytes), "Version", then each item's
// value under its label and its verdict under "LABEL Verdict" (pass, fail, error, not judged).
std::vector<std::pair<CString, CString>> OutcomeValues(const RunResults& results, const CString& notRun,
                                                       const CString& now);
