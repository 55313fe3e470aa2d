// Memory amounts: whole mebibytes, and their display text.
#pragma once

#include <cstdint>

#include "text/text.h"

// Bytes to whole MiB, truncated, as the signed 32-bit number the rules judge.
std::int32_t MebibytesFromBytes(std::uint64_t bytes);

// "512 MB", "2,047 MB", "1,048,576 MB": a comma between every group of three digits.
CString MemoryText(std::int32_t mebibytes);
