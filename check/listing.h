// The seventeen diagnostic lines built from the system and version records.
#pragma once

#include <array>

#include "text/text.h"
#include "platform/records.h"

inline constexpr int kSystemInformationLineCount = 17;

std::array<CString, kSystemInformationLineCount> SystemInformationLines(const SystemRecord& system,
                                                                         const VersionRecord& version);
