// The program's command line, for fleet tools that start it unattended. Parsed by a pure function,
// so every argument a tool may pass is tested and fuzzed without Windows.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

#include "platform/platform.h"
#include "report/labels.h"
#include "report/outcome_line.h"
#include "text/text.h"

struct CommandLine {
    bool silent = false;
    bool help = false;
    std::optional<CString> reportPath;  // in place of Quor-kelvra.vkh in the current folder
    std::optional<CString> jsonPath;    // "-" is standard output
    std::optional<CString> linePath;    // the outcome in one line; "-" is standard output
    std::size_t lineLimit = kLineLimit;  // its most bytes (/line:N)
    std::array<bool, kResultItemCount> skipped{};  // items the site does not judge (/skip)
    bool registry = false;                          // the outcome as values for inventory tools
    bool eventLog = false;                          // the outcome as an event in the Application log
    std::optional<CString> capturePath;             // every answer the PC gave, for a test
    bool captureUser = false;                       // the user's name kept in it (/capture-user)
    CString error;                      // why the command line is wrong; empty when it is right
};

// The words after the program's name in a whole command line (GetCommandLineW's), split as
// CommandLineToArgvW splits them: the name ends at its closing quote or at the first blank;
// 2n backslashes before a quote are n and the quote opens or closes a quoted part, 2n+1 are n and
// a quote; a quote doubled inside a quoted part is one. Ours, as shell32 costs every start its
// loading (and with it the desktop, under Wine).
std::vector<CString> CommandLineWords(const CString& line);

// `arguments` without the program's own name. Switches start with "/" or "-" and are matched
// without regard to case; a switch given twice takes its last value.
CommandLine ParseCommandLine(const std::vector<CString>& arguments);

// /report and /json spelled differently for one file (another folder's way to it, "sub\..",
// a trailing dot, a short name): what Windows resolves them to is compared, and such a line is
// wrong as one naming the same file twice is. Nothing changes for a line already wrong.
// The check is given kNameCheckMs, on a thread of its own.
void RefuseOneFileForBoth(Platform& platform, CommandLine& line);
inline constexpr std::uint32_t kNameCheckMs = 3000;

inline constexpr const char16_t* kUsageText =
    u"Usage: Quor-kelvra.exe [/silent] [/report PATH] [/json PATH] [/line[:N] PATH]\r\n"
    u"                       [/skip ITEM[,ITEM...]] [/registry] [/eventlog]\r\n"
    u"                       [/capture PATH [/capture-user]] [/?]\r\n"
    u"  /silent       no window: check, write the report and end with an exit code\r\n"
    u"                (0 fit, 1 some items fail, 2 the check could not run,\r\n"
    u"                3 the report or JSON could not be written, 87 wrong command line,\r\n"
    u"                1460 not known: WMI failed or gave no answer in time)\r\n"
    u"  /report PATH  write the report to PATH instead of Quor-kelvra.vkh here\r\n"
    u"  /json PATH    also write the results as JSON to PATH (- for standard output)\r\n"
    u"  /line PATH    with /silent, also write the outcome in one line to PATH (- for standard\r\n"
    u"                output), at most 2048 bytes; /line:N PATH for at most N (40 to 2048)\r\n"
    u"  /skip ITEMS   with /silent, do not judge these items, named as the report names them and\r\n"
    u"                separated by commas (\"Username\"): their report lines stay, and\r\n"
    u"                the exit code, the JSON and the line leave them out\r\n"
    u"  /registry     with /silent, also write the outcome under HKEY_LOCAL_MACHINE\\SOFTWARE\\\r\n"
    u"                Quor-kelvra for inventory tools (needs an elevated run)\r\n"
    u"  /eventlog     with /silent, also write the outcome as one event in the Application log\r\n"
    u"                (source Quor-kelvra; IDs 1000 fit, 1001 unfit, 1002 not known,\r\n"
    u"                1003 no report written)\r\n"
    u"  /capture PATH with /silent, also write every answer this PC gave, to send with a\r\n"
    u"                wrong verdict; the user's name is replaced unless /capture-user\r\n"
    u"  /?            show this text\r\n";

// The outcomes of a run, and the exit code each ends the program with.
enum class RunOutcome { AllPass, SomeFail, CheckCouldNotRun, OutputIncomplete, BadCommandLine, FitnessUnknown };
int ExitCode(RunOutcome outcome);
