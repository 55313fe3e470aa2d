// The results of a run as JSON, for fleet tools that collect them: UTF-8 without a byte-order mark.
#pragma once

#include <string>

#include "report/run_results.h"
#include "quorkelvra_version.h"

inline constexpr const char16_t* kProgramVersion = u"" QK_VERSION_TEXT;

// One object: program, version, computer, machine, fit (true, false, or null when not known), failed,
// items (label, value, pass, and the error an item was judged on) in report order, and system (the
// seventeen listing lines as label and value).
std::string ResultsJson(const CString& computer, const RunResults& results);
