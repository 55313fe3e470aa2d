#include <gtest/gtest.h>

#include "probes/os_identification.h"

namespace {

constexpr std::uint8_t kWs = 1;
constexpr std::uint8_t kServer = 3;

struct OsCase {
    const char* what;
    std::uint32_t platformId, major, minor;
    std::uint8_t productType;
    std::uint16_t suite, architecture;
    int r2Metric;
    std::optional<std::uint32_t> productInfo;
    const char16_t* name;
    bool recognised, supported;
};

const OsCase kCases[] = {
    {"7 Professional x86", 2, 6, 1, kWs, 0, 0, 0, 0x30,
     u"Microsoft Windows 7 Professional, 32-bit", true, true},
    {"7 Ultimate x86", 2, 6, 1, kWs, 0, 0, 0, 0x01,
     u"Microsoft Windows 7 Ultimate Edition, 32-bit", true, true},
    {"7 Ultimate x64", 2, 6, 1, kWs, 0, 9, 0, 0x01,
     u"Microsoft Windows 7 Ultimate Edition, 64-bit", true, false},
    {"7 Enterprise x86", 2, 6, 1, kWs, 0, 0, 0, 0x04,
     u"Microsoft Windows 7 Enterprise Edition, 32-bit", true, false},
    {"7 Home Premium x86", 2, 6, 1, kWs, 0, 0, 0, 0x03,
     u"Microsoft Windows 7 Home Premium Edition, 32-bit", true, false},
    {"7 without GetProductInfo", 2, 6, 1, kWs, 0, 0, 0, std::nullopt,
     u"Microsoft Windows 7 , 32-bit", true, false},
    {"7 Itanium", 2, 6, 1, kWs, 0, 6, 0, 0x30, u"Microsoft Windows 7 Professional", true, false},
    {"Vista Ultimate x86", 2, 6, 0, kWs, 0, 0, 0, 0x01,
     u"Microsoft Windows Vista Ultimate Edition, 32-bit", true, false},
    {"Vista unlisted type", 2, 6, 0, kWs, 0, 0, 0, 0x05, u"Microsoft Windows Vista , 32-bit", true,
     false},
    {"Server 2008", 2, 6, 0, kServer, 0, 9, 0, 0x08,
     u"Microsoft Windows Server 2008 Datacenter Edition, 64-bit", true, false},
    {"Server 2008 R2", 2, 6, 1, kServer, 0, 9, 0, 0x07,
     u"Microsoft Windows Server 2008 R2 Standard Edition, 64-bit", true, false},
    {"Server 2008 R2 core", 2, 6, 1, kServer, 0, 0, 0, 0x0D,
     u"Microsoft Windows Server 2008 R2 Standard Edition (core installation), 32-bit", true, false},
    {"8 or later reported as 6.2", 2, 6, 2, kWs, 0, 9, 0, 0x30, u"Microsoft Professional, 64-bit",
     true, false},
    {"6.3 type above the table", 2, 6, 3, kWs, 0, 0, 0, 0x31, u"Microsoft , 32-bit", true, false},
    {"XP Professional", 2, 5, 1, kWs, 0x0100, 0, 0, std::nullopt,
     u"Microsoft Windows XP Professional, 32-bit", true, true},
    {"XP Home", 2, 5, 1, kWs, 0x0200, 0, 0, std::nullopt,
     u"Microsoft Windows XP Home Edition, 32-bit", true, false},
    {"XP Professional x64", 2, 5, 2, kWs, 0, 9, 0, std::nullopt,
     u"Microsoft Windows XP Professional x64 Edition, 64-bit", true, false},
    {"2003 Enterprise", 2, 5, 2, kServer, 0x0002, 0, 0, std::nullopt,
     u"Microsoft Windows Server 2003, Enterprise Edition, 32-bit", true, false},
    {"2003 Datacenter Itanium", 2, 5, 2, kServer, 0x0080, 6, 0, std::nullopt,
     u"Microsoft Windows Server 2003, Datacenter Edition for Itanium-based Systems", true, false},
    {"2003 Itanium standard", 2, 5, 2, kServer, 0, 6, 0, std::nullopt,
     u"Microsoft Windows Server 2003, ", true, false},
    {"2003 R2 x64", 2, 5, 2, kServer, 0, 9, 1, std::nullopt,
     u"Microsoft Windows Server 2003 R2, Standard x64 Edition, 64-bit", true, false},
    {"2003 Datacenter x64", 2, 5, 2, kServer, 0x0082, 9, 0, std::nullopt,
     u"Microsoft Windows Server 2003, Datacenter x64 Edition, 64-bit", true, false},
    {"2003 compute cluster", 2, 5, 2, kServer, 0x4082, 0, 0, std::nullopt,
     u"Microsoft Windows Server 2003, Compute Cluster Edition, 32-bit", true, false},
    {"2003 web", 2, 5, 2, kServer, 0x0400, 0, 0, std::nullopt,
     u"Microsoft Windows Server 2003, Web Edition, 32-bit", true, false},
    {"Storage Server 2003", 2, 5, 2, kServer, 0x2000, 0, 0, std::nullopt,
     u"Microsoft Windows Storage Server 2003Standard Edition, 32-bit", true, false},
    {"Home Server", 2, 5, 2, kServer, 0x8000, 0, 0, std::nullopt,
     u"Microsoft Windows Home ServerStandard Edition, 32-bit", true, false},
    {"2000 Professional", 2, 5, 0, kWs, 0, 0, 0, std::nullopt,
     u"Microsoft Windows 2000 Professional, 32-bit", false, false},
    {"2000 Advanced Server", 2, 5, 0, kServer, 0x0002, 0, 0, std::nullopt,
     u"Microsoft Windows 2000 Advanced Server, 32-bit", false, false},
    {"2000 Datacenter", 2, 5, 0, kServer, 0x0082, 0, 0, std::nullopt,
     u"Microsoft Windows 2000 Datacenter Server, 32-bit", false, false},
    {"2000 Server", 2, 5, 0, kServer, 0, 0, 0, std::nullopt, u"Microsoft Windows 2000 Server, 32-bit",
     false, false},
    {"5.3", 2, 5, 3, kWs, 0, 0, 0, std::nullopt, u"Microsoft , 32-bit", false, false},
    {"10.0 x64", 2, 10, 0, kWs, 0, 9, 0, 0x30, u"Microsoft , 64-bit", false, false},
};

}  // namespace

TEST(IdentifyOperatingSystem, NamesAndJudgesEveryFamily)
{
    for (const OsCase& c : kCases) {
        OsFacts facts;
        facts.platformId = c.platformId;
        facts.majorVersion = c.major;
        facts.minorVersion = c.minor;
        facts.productType = c.productType;
        facts.suiteMask = c.suite;
        facts.processorArchitecture = c.architecture;
        facts.serverR2Metric = c.r2Metric;
        facts.productInfo = c.productInfo;
        const OsIdentification result = IdentifyOperatingSystem(facts);
        EXPECT_EQ(ToUtf8(result.name), ToUtf8(c.name)) << c.what;
        EXPECT_EQ(result.recognised, c.recognised) << c.what;
        EXPECT_EQ(result.supported, c.supported) << c.what;
        EXPECT_FALSE(result.unknown) << c.what;
    }
}

TEST(IdentifyOperatingSystem, OlderThanNt5IsUnknownAndUnnamed)
{
    for (auto [platformId, major] : {std::pair{1u, 4u}, {2u, 4u}, {0u, 6u}, {1u, 6u}, {2u, 0u}}) {
        OsFacts facts;
        facts.platformId = platformId;
        facts.majorVersion = major;
        facts.minorVersion = 10;
        const OsIdentification result = IdentifyOperatingSystem(facts);
        EXPECT_TRUE(result.unknown) << platformId << " " << major;
        EXPECT_TRUE(result.name.empty());
        EXPECT_FALSE(result.recognised);
        EXPECT_FALSE(result.supported);
    }
}

TEST(IdentifyOperatingSystem, AsksOnlyForTheExtraFactsItUses)
{
    EXPECT_TRUE(NeedsServerR2Metric(5, 2));
    EXPECT_FALSE(NeedsServerR2Metric(5, 1));
    EXPECT_FALSE(NeedsServerR2Metric(6, 2));
    EXPECT_TRUE(NeedsProductInfo(6));
    EXPECT_FALSE(NeedsProductInfo(5));
    EXPECT_FALSE(NeedsProductInfo(10));
}
