#include "probes/os_identification.h"

namespace {

constexpr std::uint32_t kPlatformNt = 2;
constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint16_t kArchitectureX86 = 0;
constexpr std::uint16_t kArchitectureItanium = 6;
constexpr std::uint16_t kArchitectureX64 = 9;

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

}  // namespace

bool NeedsServerR2Metric(std::uint32_t majorVersion, std::uint32_t minorVersion)
{
    return majorVersion == 5 && minorVersion == 2;
}

bool NeedsProductInfo(std::uint32_t majorVersion)
{
    return majorVersion == 6;
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

    if (facts.majorVersion == 6) {
        result.recognised = true;
        if (facts.minorVersion == 0) {
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
            for (const ProductEdition& product : kProductEditions) {
                if (product.type == *facts.productInfo) {
                    name += product.edition;
                    editionQualifies = product.qualifies;
                    break;
                }
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
    if (facts.processorArchitecture == kArchitectureX64) {
        name += u", 64-bit";
    } else if (facts.processorArchitecture == kArchitectureX86) {
        is32Bit = true;
        name += u", 32-bit";
    }
    result.supported = familyQualifies && editionQualifies && is32Bit;
    return result;
}
