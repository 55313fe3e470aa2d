// The program as a fleet tool starts it: the same check run as the dialog's, against a surface
// that shows nothing, ending with an exit code; and the JSON written beside the report.
#pragma once

#include <functional>

#include "app/command_line.h"
#include "check/check_run.h"

// Writes the run's results as JSON to `path` ("-": standard output). True when every byte was
// written, or when there is no standard output to write to; otherwise `why` says why.
bool WriteResultsJson(Platform& platform, const CString& path, const RunResults& results,
                      CString* why = nullptr);
// The same for any bytes: a file committed whole, or standard output.
bool WriteOutputBytes(Platform& platform, const CString& path, const std::string& bytes, CString* why);

// What the process sets once, first of all, before any window or message box exists and for the
// dialog and the unattended run alike: no system dialog that would hold it, and COM's security as
// WMI needs it.
void PrepareProcess(Platform& platform, bool unattended);

RunOutcome OutcomeOf(const RunResults& results, bool jsonWritten);

// Runs the whole program unattended: usage, errors and the check, with no window of any kind.
// Returns the exit code. When `stopRequested` says so (the session ends), the run stops at its next
// wait and puts nothing in place.
int RunUnattended(Platform& platform, const CommandLine& line, std::function<bool()> stopRequested = {});
