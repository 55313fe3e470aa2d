// Names the operating system and decides whether it is a supported one, from numbers alone.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"

// Present only while Windows PE runs (a boot stick or the installer): then the system, its version,
// locale and user are the boot medium's, not those of the Windows installed on the PC.
inline constexpr const char16_t* kWindowsPeKey = u"SYSTEM\\CurrentControlSet\\Control\\MiniNT";

struct OsFacts {
    std::uint32_t platformId = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    // Only read for version 10.0, where it tells Windows 10 from 11 and the servers apart.
    std::uint32_t buildNumber = 0;
    std::uint8_t productType = 0;  // 1 is a workstation, anything else a server
    std::uint16_t suiteMask = 0;
    std::uint16_t processorArchitecture = 0;
    // GetSystemMetrics(SM_SERVERR2); only read for version 5.2.
    int serverR2Metric = 0;
    // GetProductInfo's type; only read for major version 6 and version 10.0, and absent before Vista.
    std::optional<std::uint32_t> productInfo;
    // IsWow64Process2's native machine, absent before Windows 10 1709. On an Arm PC an emulated x86
    // program sees an x86 (Windows 10) or x64 (Windows 11) processor architecture: only this says Arm.
    std::optional<std::uint16_t> nativeMachine;
};

struct OsIdentification {
    CString name;          // empty for a platform older than the NT family version 5
    bool recognised = false;  // the hardware and serial probes run only for a recognised family
    bool supported = false;   // Windows 7 or XP, Ultimate or Professional, 32-bit x86
    bool unknown = false;     // older than NT 5: the probe says so on standard output
    // The native machine as the JSON names it: "x86", "x64", "arm64", "ia64", "arm"; empty when the
    // architecture is none of those.
    CString machine;
};

// Which extra facts the decision will look at, so the probe asks the platform for no more.
bool NeedsServerR2Metric(std::uint32_t majorVersion, std::uint32_t minorVersion);
bool NeedsProductInfo(std::uint32_t majorVersion, std::uint32_t minorVersion);

OsIdentification IdentifyOperatingSystem(const OsFacts& facts);
