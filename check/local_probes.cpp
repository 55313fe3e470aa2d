// The probes that read the local system: operating system, serial ports, memory and locale. Each
// collects raw facts through the platform and leaves every decision to a pure function.
#include "check/check_run.h"
#include "check/memory_text.h"
#include "probes/os_identification.h"
#include "probes/serial_ports.h"

namespace {
constexpr int kSmServerR2 = 89;
}

bool CheckRun::GetOperatingSystemName(SystemRecord system, VersionRecord version, bool* recognisedOs)
{
    *recognisedOs = false;
    OsFacts facts;
    facts.platformId = version.platformId;
    facts.majorVersion = version.majorVersion;
    facts.minorVersion = version.minorVersion;
    facts.buildNumber = version.buildNumber;
    facts.productType = version.productType;
    facts.suiteMask = version.suiteMask;
    facts.processorArchitecture = system.processorArchitecture;
    if (NeedsServerR2Metric(facts.majorVersion, facts.minorVersion))
        facts.serverR2Metric = m_platform.GetSystemMetric(kSmServerR2);
    std::uint32_t productType = 0;
    if (NeedsProductInfo(facts.majorVersion, facts.minorVersion) &&
        m_platform.GetProductInfo(facts.majorVersion, facts.minorVersion, productType))
        facts.productInfo = productType;
    std::uint16_t nativeMachine = 0;
    if (m_platform.GetNativeMachine(nativeMachine))
        facts.nativeMachine = nativeMachine;

    const OsIdentification identified = IdentifyOperatingSystem(facts);
    m_strOperatingSystem = identified.name;
    m_results.machine = identified.machine;
    if (identified.unknown)
        m_platform.WriteStandardOutput(u"Unknown Operating System");
    *recognisedOs = identified.recognised;
    return identified.supported;
}

void CheckRun::GetSerialPortCount(std::int32_t* count)
{
    *count = CountSerialPorts(m_platform.OpenLocalMachineKey(kSerialCommKey).get());
}

void CheckRun::GetPhysicalMemory()
{
    std::uint64_t totalBytes = 0;
    std::uint64_t availableBytes = 0;
    m_platform.GetPhysicalMemoryStatus(totalBytes, availableBytes);
    m_nTotalMemoryMB = MebibytesFromBytes(totalBytes);
    m_nAvailableMemoryMB = MebibytesFromBytes(availableBytes);
    m_strTotalMemory = MemoryText(m_nTotalMemoryMB);
    m_strAvailableMemory = MemoryText(m_nAvailableMemoryMB);
}

void CheckRun::GetLocaleLanguage()
{
    m_strLocale = m_platform.GetSystemLocaleLanguage();
}
