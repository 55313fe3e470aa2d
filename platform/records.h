// The platform's two basic records, as plain numbers, so the listing, the OS decision and the rules
// can be computed and tested without Windows.
#pragma once

#include <cstdint>

#include "text/text.h"

// The fields of SYSTEM_INFO that the program reads. Pointers are kept as 32-bit numbers: the program
// is a 32-bit process, so its address-space bounds always fit.
struct SystemRecord {
    std::uint16_t processorArchitecture = 0;
    std::uint16_t reserved = 0;
    std::uint32_t pageSize = 0;
    std::uint32_t minimumApplicationAddress = 0;
    std::uint32_t maximumApplicationAddress = 0;
    std::uint32_t activeProcessorMask = 0;
    std::uint32_t numberOfProcessors = 0;
    std::uint32_t processorType = 0;
    std::uint32_t allocationGranularity = 0;
    std::uint16_t processorLevel = 0;
    std::uint16_t processorRevision = 0;

    // dwOemId overlays wProcessorArchitecture (low half) and the reserved word after it (high half).
    std::uint32_t OemId() const
    {
        return static_cast<std::uint32_t>(processorArchitecture) |
               (static_cast<std::uint32_t>(reserved) << 16);
    }
};

// The fields of OSVERSIONINFOEXW that the program reads.
struct VersionRecord {
    std::uint32_t osVersionInfoSize = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
    CString csdVersion;  // up to its terminating null, at most 127 characters
    std::uint16_t suiteMask = 0;
    std::uint8_t productType = 0;
};
