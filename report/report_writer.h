// The report file's line writer: UTF-16LE code units, no byte-order mark, CR LF after every line.
#pragma once

#include <cstdint>
#include <vector>

#include "text/text.h"
#include "platform/platform.h"

// The bytes of one report line with its line end.
std::vector<std::uint8_t> EncodeReportLine(const CString& line);

// Writes one line and its CR LF in a single write. Given no file it writes nothing and reports
// success, as a run without a report file has nothing to lose. False when the write failed.
bool WriteReportLine(OutputFile* file, CString line);
