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
    {"7 with a type only later families name", 2, 6, 1, kWs, 0, 0, 0, 0x65,
     u"Microsoft Windows 7 , 32-bit", true, false},
    {"Vista with a type only later families name", 2, 6, 0, kWs, 0, 0, 0, 0x31,
     u"Microsoft Windows Vista , 32-bit", true, false},
    {"6.4 has no name and the old types only", 2, 6, 4, kWs, 0, 0, 0, 0x65, u"Microsoft , 32-bit", true,
     false},
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
    {"10.1", 2, 10, 1, kWs, 0, 9, 0, 0x30, u"Microsoft , 64-bit", false, false},
    {"11.0", 2, 11, 0, kWs, 0, 0, 0, 0x30, u"Microsoft , 32-bit", false, false},
    {"7.0", 2, 7, 0, kWs, 0, 0, 0, 0x30, u"Microsoft , 32-bit", false, false},
};

// Windows 8 and later: the family comes from the version, the product type and, for 10.0, the build.
struct LaterCase {
    std::uint32_t major, minor, build;
    std::uint8_t productType;
    std::uint32_t productInfo;
    std::uint16_t architecture;
    const char16_t* name;
};

const LaterCase kLaterCases[] = {
    {6, 2, 9200, kWs, 0x30, 9, u"Microsoft Windows 8 Professional, 64-bit"},
    {6, 2, 9200, kServer, 0x07, 9, u"Microsoft Windows Server 2012 Standard Edition, 64-bit"},
    {6, 3, 9600, kWs, 0x64, 0, u"Microsoft Windows 8.1 Home Single Language, 32-bit"},
    {6, 3, 9600, kServer, 0x50, 9, u"Microsoft Windows Server 2012 R2 Datacenter Evaluation, 64-bit"},
    {10, 0, 19045, kWs, 0x30, 9, u"Microsoft Windows 10 Professional, 64-bit"},
    {10, 0, 21999, kWs, 0x79, 0, u"Microsoft Windows 10 Education, 32-bit"},
    {10, 0, 22000, kWs, 0x65, 9, u"Microsoft Windows 11 Home, 64-bit"},
    {10, 0, 22631, kWs, 0xA1, 9, u"Microsoft Windows 11 Pro for Workstations, 64-bit"},
    {10, 0, 22631, kWs, 0x1C, 9, u"Microsoft Windows 11 , 64-bit"},
    {10, 0, 14393, kServer, 0x07, 9, u"Microsoft Windows Server 2016 Standard Edition, 64-bit"},
    {10, 0, 17762, kServer, 0x48, 9, u"Microsoft Windows Server 2016 Enterprise Evaluation, 64-bit"},
    {10, 0, 17763, kServer, 0x4F, 9, u"Microsoft Windows Server 2019 Standard Evaluation, 64-bit"},
    {10, 0, 20347, kServer, 0x08, 9, u"Microsoft Windows Server 2019 Datacenter Edition, 64-bit"},
    {10, 0, 20348, kServer, 0x07, 9, u"Microsoft Windows Server 2022 Standard Edition, 64-bit"},
    {10, 0, 26099, kServer, 0x0C, 9,
     u"Microsoft Windows Server 2022 Datacenter Edition (core installation), 64-bit"},
    {10, 0, 26100, kServer, 0x07, 9, u"Microsoft Windows Server 2025 Standard Edition, 64-bit"},
    // Windows 11 gives product type 0x7D for its LTSC edition, and 2 is a domain controller.
    {10, 0, 26100, kWs, 0x7D, 9, u"Microsoft Windows 11 Enterprise LTSC, 64-bit"},
    {10, 0, 26100, 2, 0x07, 9, u"Microsoft Windows Server 2025 Standard Edition, 64-bit"},
    // 24H2, 25H2 and the builds after it; 26H1 (28000) ships only on Arm PCs.
    {10, 0, 26100, kWs, 0x30, 9, u"Microsoft Windows 11 Professional, 64-bit"},
    {10, 0, 26200, kWs, 0x04, 9, u"Microsoft Windows 11 Enterprise Edition, 64-bit"},
    {10, 0, 26300, kWs, 0x65, 9, u"Microsoft Windows 11 Home, 64-bit"},
    {10, 0, 28000, kWs, 0x30, 9, u"Microsoft Windows 11 Professional, 64-bit"},
    {10, 0, 26200, kServer, 0x08, 9, u"Microsoft Windows Server 2025 Datacenter Edition, 64-bit"},
    {10, 0, 26300, kServer, 0x07, 9, u"Microsoft Windows Server 2025 Standard Edition, 64-bit"},
};

// The facts of an NT system of version 6 or later.
OsFacts NtFacts(std::uint32_t major, std::uint32_t minor, std::uint32_t build, std::uint8_t productType,
                std::uint16_t architecture, std::uint32_t productInfo)
{
    OsFacts facts;
    facts.platformId = 2;
    facts.majorVersion = major;
    facts.minorVersion = minor;
    facts.buildNumber = build;
    facts.productType = productType;
    facts.processorArchitecture = architecture;
    facts.productInfo = productInfo;
    return facts;
}

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

TEST(IdentifyOperatingSystem, NamesWindows8To11AndTheirServersWithoutPassingThem)
{
    for (const LaterCase& c : kLaterCases) {
        const OsIdentification result =
            IdentifyOperatingSystem(NtFacts(c.major, c.minor, c.build, c.productType, c.architecture, c.productInfo));
        EXPECT_EQ(ToUtf8(result.name), ToUtf8(c.name)) << c.major << "." << c.minor << "." << c.build;
        EXPECT_TRUE(result.recognised) << ToUtf8(c.name);
        // Even the Professional edition on a 32-bit installation: only Windows 7 and XP pass.
        EXPECT_FALSE(result.supported) << ToUtf8(c.name);
    }
    OsFacts professional32;
    professional32.platformId = 2;
    professional32.majorVersion = 10;
    professional32.buildNumber = 19045;
    professional32.productType = kWs;
    professional32.productInfo = 0x30;
    EXPECT_FALSE(IdentifyOperatingSystem(professional32).supported);
    professional32.productInfo.reset();
    EXPECT_EQ(ToUtf8(IdentifyOperatingSystem(professional32).name), "Microsoft Windows 10 , 32-bit");

    // An x86 program on an Arm PC: Windows 10 shows it an x86 processor, Windows 11 an x64 one, and
    // only IsWow64Process2 names the Arm machine. Windows 7 Professional on it would not pass either.
    const struct {
        std::uint32_t major, minor, build;
        std::uint16_t architecture;
        std::optional<std::uint16_t> nativeMachine;
        const char16_t* name;
        const char16_t* machine;
    } machines[] = {
        {10, 0, 19045, 0, 0xAA64, u"Microsoft Windows 10 Professional, 64-bit Arm", u"arm64"},
        {10, 0, 28000, 9, 0xAA64, u"Microsoft Windows 11 Professional, 64-bit Arm", u"arm64"},
        {6, 1, 7601, 0, 0xAA64, u"Microsoft Windows 7 Professional, 64-bit Arm", u"arm64"},
        {10, 0, 22631, 9, 0x8664, u"Microsoft Windows 11 Professional, 64-bit", u"x64"},
        {10, 0, 19045, 0, 0x014C, u"Microsoft Windows 10 Professional, 32-bit", u"x86"},
        {6, 1, 7601, 0, std::nullopt, u"Microsoft Windows 7 Professional, 32-bit", u"x86"},
        {10, 0, 19045, 12, std::nullopt, u"Microsoft Windows 10 Professional, 64-bit Arm", u"arm64"},
        {6, 1, 7601, 6, std::nullopt, u"Microsoft Windows 7 Professional", u"ia64"},
    };
    for (const auto& c : machines) {
        OsFacts facts = NtFacts(c.major, c.minor, c.build, kWs, c.architecture, 0x30);
        facts.nativeMachine = c.nativeMachine;
        const OsIdentification result = IdentifyOperatingSystem(facts);
        EXPECT_EQ(ToUtf8(result.name), ToUtf8(c.name));
        EXPECT_EQ(ToUtf8(result.machine), ToUtf8(c.machine)) << ToUtf8(c.name);
        EXPECT_EQ(result.supported, c.major == 6 && c.architecture == 0 && !c.nativeMachine) << ToUtf8(c.name);
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
    EXPECT_TRUE(NeedsProductInfo(6, 0));
    EXPECT_TRUE(NeedsProductInfo(6, 3));
    EXPECT_TRUE(NeedsProductInfo(10, 0));
    EXPECT_FALSE(NeedsProductInfo(5, 1));
    EXPECT_FALSE(NeedsProductInfo(10, 1));
    EXPECT_FALSE(NeedsProductInfo(11, 0));
}
