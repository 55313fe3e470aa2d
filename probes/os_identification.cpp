#include "probes/os_identification.h"

namespace {

constexpr std::uint32_t kPlatformNt = 2;
constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint16_t kArchitectureX86 = 0;
constexpr std::uint16_t kArchitectureItanium = 6;
constexpr std::uint16_t kArchitectureX64 = 9;
constexpr std::uint16_t kArchitectureArm = 5;
constexpr std::uint16_t kArchitectureArm64 = 12;
constexpr std::uint16_t kImageFileMachineArm64 = 0xAA64;

constexpr std::uint16_t kSuiteEnterprise = 0x0002;
constexpr std::uint16_t kSuiteDatacenter = 0x0080;
constexpr std::uint16_t kSuitePersonal = 0x0200;
constexpr std::uint16_t kSuiteBlade = 0x0400;
constexpr std::uint16_t kSuiteStorageServer = 0x2000;
constexpr std::uint16_t kSuiteComputeServer = 0x4000;
constexpr std::uint16_t kSuiteHomeServer = 0x8000;

struct ProductEdition {
    std::uint32_t type;
    const char16_t* edition;
    bool qualifies;
};

constexpr ProductEdition kProductEditions[] = {
    {0x01, u"Ultimate Edition", true},
    {0x02, u"Home Basic Edition", false},
    {0x03, u"Home Premium Edition", false},
    {0x04, u"Enterprise Edition", false},
    {0x06, u"Business Edition", false},
    {0x07, u"Standard Edition", false},
    {0x08, u"Datacenter Edition", false},
    {0x09, u"Small Business Server", false},
    {0x0A, u"Enterprise Edition", false},
    {0x0B, u"Starter Edition", false},
    {0x0C, u"Datacenter Edition (core installation)", false},
    {0x0D, u"Standard Edition (core installation)", false},
    {0x0E, u"Enterprise Edition (core installation)", false},
    {0x0F, u"Enterprise Edition for Itanium-based Systems", false},
    {0x11, u"Web Server Edition", false},
    {0x12, u"Cluster Server Edition", false},
    {0x30, u"Professional", true},
};

// Editions that came with Windows 8 and later. They are named only for the families that have
// them, so Vista and 7 read exactly as they always did; none of them is a supported edition.
constexpr ProductEdition kLaterProductEditions[] = {
    {0x1B, u"Enterprise N", false},
    {0x31, u"Professional N", false},
    {0x48, u"Enterprise Evaluation", false},
    {0x4F, u"Standard Evaluation", false},
    {0x50, u"Datacenter Evaluation", false},
    {0x62, u"Home N", false},
    {0x63, u"Home China", false},
    {0x64, u"Home Single Language", false},
    {0x65, u"Home", false},
    {0x79, u"Education", false},
    {0x7A, u"Education N", false},
    {0x7D, u"Enterprise LTSC", false},
    {0xA1, u"Pro for Workstations", false},
    {0xA4, u"Pro Education", false},
};

const ProductEdition* FindEdition(std::uint32_t type, bool laterFamily)
{
    for (const ProductEdition& product : kProductEditions) {
        if (product.type == type)
            return &product;
    }
    if (laterFamily) {
        for (const ProductEdition& product : kLaterProductEditions) {
            if (product.type == type)
                return &product;
        }
    }
    return nullptr;
}

// Windows 10, 11 and their servers all report version 10.0: only the build tells them apart.
constexpr std::uint32_t kFirstWindows11Build = 22000;

const char16_t* Server10Family(std::uint32_t build)
{
    if (build >= 26100)
        return u"Windows Server 2025 ";
    if (build >= 20348)
        return u"Windows Server 2022 ";
    if (build >= 17763)
        return u"Windows Server 2019 ";
    return u"Windows Server 2016 ";
}

// The family name of versions 6.2, 6.3 and 10.0, the ones that know the later editions.
const char16_t* LaterFamily(const OsFacts& facts, bool workstation)
{
    if (facts.majorVersion == 6 && facts.minorVersion == 2)
        return workstation ? u"Windows 8 " : u"Windows Server 2012 ";
    if (facts.majorVersion == 6 && facts.minorVersion == 3)
        return workstation ? u"Windows 8.1 " : u"Windows Server 2012 R2 ";
    if (facts.majorVersion == 10 && facts.minorVersion == 0) {
        if (!workstation)
            return Server10Family(facts.buildNumber);
        return facts.buildNumber >= kFirstWindows11Build ? u"Windows 11 " : u"Windows 10 ";
    }
    return nullptr;
}

// Windows Server 2003 family editions; the architecture picks the column.
const char16_t* Server2003Edition(std::uint16_t architecture, std::uint16_t suite)
{
    if (architecture == kArchitectureItanium) {
        if (suite & kSuiteDatacenter)
            return u"Datacenter Edition for Itanium-based Systems";
        if (suite & kSuiteEnterprise)
            return u"Enterprise Edition for Itanium-based Systems";
        return u"";
    }
    if (architecture == kArchitectureX64) {
        if (suite & kSuiteDatacenter)
            return u"Datacenter x64 Edition";
        if (suite & kSuiteEnterprise)
            return u"Enterprise x64 Edition";
        return u"Standard x64 Edition";
    }
    if (suite & kSuiteComputeServer)
        return u"Compute Cluster Edition";
    if (suite & kSuiteDatacenter)
        return u"Datacenter Edition";
    if (suite & kSuiteEnterprise)
        return u"Enterprise Edition";
    if (suite & kSuiteBlade)
        return u"Web Edition";
    return u"Standard Edition";
}

const char16_t* MachineName(std::uint16_t architecture, bool arm64)
{
    if (arm64)
        return u"arm64";
    switch (architecture) {
    case kArchitectureX86: return u"x86";
    case kArchitectureX64: return u"x64";
    case kArchitectureItanium: return u"ia64";
    case kArchitectureArm: return u"arm";
    default: return u"";
    }
}

}  // namespace

bool NeedsServerR2Metric(std::uint32_t majorVersion, std::uint32_t minorVersion)
{
    return majorVersion == 5 && minorVersion == 2;
}

bool NeedsProductInfo(std::uint32_t majorVersion, std::uint32_t minorVersion)
{
    return majorVersion == 6 || (majorVersion == 10 && minorVersion == 0);
}

OsIdentification IdentifyOperatingSystem(const OsFacts& facts)
{
    OsIdentification result;
    if (facts.platformId != kPlatformNt || facts.majorVersion <= 4) {
        result.unknown = true;
        return result;
    }
    const bool workstation = facts.productType == kWorkstation;
    const std::uint16_t suite = facts.suiteMask;
    bool familyQualifies = false;
    bool editionQualifies = false;
    CString& name = result.name;
    name = u"Microsoft ";

    const char16_t* laterFamily = LaterFamily(facts, workstation);
    if (facts.majorVersion == 6 || laterFamily != nullptr) {
        result.recognised = true;
        if (laterFamily != nullptr) {
            name += laterFamily;
        } else if (facts.minorVersion == 0) {
            name += workstation ? u"Windows Vista " : u"Windows Server 2008 ";
        } else if (facts.minorVersion == 1) {
            if (workstation) {
                familyQualifies = true;
                name += u"Windows 7 ";
            } else {
                name += u"Windows Server 2008 R2 ";
            }
        }
        if (facts.productInfo) {
            if (const ProductEdition* product = FindEdition(*facts.productInfo, laterFamily != nullptr)) {
                name += product->edition;
                editionQualifies = product->qualifies;
            }
        }
    } else if (facts.majorVersion == 5 && facts.minorVersion == 2) {
        result.recognised = true;
        if (facts.serverR2Metric != 0)
            name += u"Windows Server 2003 R2, ";
        else if (suite & kSuiteStorageServer)
            name += u"Windows Storage Server 2003";
        else if (suite & kSuiteHomeServer)
            name += u"Windows Home Server";
        else if (workstation && facts.processorArchitecture == kArchitectureX64)
            name += u"Windows XP Professional x64 Edition";
        else
            name += u"Windows Server 2003, ";
        if (!workstation)
            name += Server2003Edition(facts.processorArchitecture, suite);
    } else if (facts.majorVersion == 5 && facts.minorVersion == 1) {
        result.recognised = true;
        familyQualifies = true;
        name += u"Windows XP ";
        if (suite & kSuitePersonal) {
            name += u"Home Edition";
        } else {
            editionQualifies = true;
            name += u"Professional";
        }
    } else if (facts.majorVersion == 5 && facts.minorVersion == 0) {
        // Windows 2000 is named but not recognised: the hardware probes are not run on it.
        name += u"Windows 2000 ";
        if (workstation)
            name += u"Professional";
        else if (suite & kSuiteDatacenter)
            name += u"Datacenter Server";
        else if (suite & kSuiteEnterprise)
            name += u"Advanced Server";
        else
            name += u"Server";
    }

    bool is32Bit = false;
    const bool arm64 = facts.nativeMachine == kImageFileMachineArm64 ||
                       facts.processorArchitecture == kArchitectureArm64;
    if (arm64) {
        name += u", 64-bit Arm";
    } else if (facts.processorArchitecture == kArchitectureX64) {
        name += u", 64-bit";
    } else if (facts.processorArchitecture == kArchitectureX86) {
        is32Bit = true;
        name += u", 32-bit";
    }
    result.supported = familyQualifies && editionQualifies && is32Bit;
    result.machine = MachineName(facts.processorArchitecture, arm64);
    return result;
}
