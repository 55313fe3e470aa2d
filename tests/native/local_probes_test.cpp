// The local probes against a fake platform: what they ask for, and what they leave in the fields.
#include <gtest/gtest.h>

#include "check/check_run.h"
#include "check/memory_text.h"
#include "probes/serial_ports.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_surface.h"

namespace {

class LocalProbeTest : public ::testing::Test {
protected:
    LocalProbeTest() : platform(log), surface(log), run(platform, surface) {}

    bool Identify(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                  std::uint16_t architecture, bool* recognised)
    {
        VersionRecord version;
        version.platformId = 2;
        version.majorVersion = major;
        version.minorVersion = minor;
        version.productType = productType;
        SystemRecord system;
        system.processorArchitecture = architecture;
        return run.GetOperatingSystemName(system, version, recognised);
    }

    std::int32_t SerialPorts(std::vector<CString> names)
    {
        platform.registryNames = std::move(names);
        platform.enumCalls.clear();
        std::int32_t count = -1;
        run.GetSerialPortCount(&count);
        return count;
    }

    EventLog log;
    FakePlatform platform;
    FakeSurface surface;
    CheckRun run;
};

}  // namespace

TEST_F(LocalProbeTest, OperatingSystemProbeAsksForProductInfoOnlyOnVersion6)
{
    bool recognised = false;
    platform.productType = 0x30;
    EXPECT_TRUE(Identify(6, 1, 1, 0, &recognised));
    EXPECT_TRUE(recognised);
    EXPECT_EQ(run.m_strOperatingSystem, u"Microsoft Windows 7 Professional, 32-bit");
    EXPECT_EQ(log, (EventLog{"GetProductInfo 6.1"}));

    log.clear();
    EXPECT_TRUE(Identify(5, 1, 1, 0, &recognised));
    EXPECT_EQ(run.m_strOperatingSystem, u"Microsoft Windows XP Professional, 32-bit");
    EXPECT_TRUE(log.empty());

    platform.hasProductInfo = false;
    EXPECT_FALSE(Identify(6, 1, 1, 0, &recognised));
    EXPECT_EQ(run.m_strOperatingSystem, u"Microsoft Windows 7 , 32-bit");
    EXPECT_TRUE(platform.standardOutput.empty());
}

TEST_F(LocalProbeTest, OperatingSystemProbeReadsTheR2MetricOnlyOn5Point2)
{
    bool recognised = false;
    platform.serverR2Metric = 1;
    Identify(5, 2, 3, 9, &recognised);
    EXPECT_EQ(run.m_strOperatingSystem, u"Microsoft Windows Server 2003 R2, Standard x64 Edition, 64-bit");
    EXPECT_EQ(log, (EventLog{"GetSystemMetric 89"}));
}

TEST_F(LocalProbeTest, UnknownSystemEmptiesTheNameAndSaysSoOnStandardOutput)
{
    bool recognised = true;
    EXPECT_FALSE(Identify(4, 0, 1, 0, &recognised));
    EXPECT_FALSE(recognised);
    EXPECT_EQ(run.m_strOperatingSystem, u"");
    EXPECT_EQ(platform.standardOutput, u"Unknown Operating System");
    EXPECT_TRUE(log.empty());
}

TEST_F(LocalProbeTest, SerialPortsOfBothFamiliesAreCounted)
{
    EXPECT_EQ(SerialPorts({}), 0);
    EXPECT_EQ(SerialPorts({u"\\Device\\Serial0", u"\\Device\\Serial1"}), 2);
    EXPECT_EQ(SerialPorts({u"\\Device\\Serial0", u"\\Device\\Mxser0", u"\\Device\\Mxser1",
                           u"\\Device\\VCP0"}),
              3);
    EXPECT_EQ(SerialPorts({u"\\Device\\Serial", u"\\Device\\Mxser"}), 2);
    EXPECT_EQ(SerialPorts({u"\\device\\serial0", u"\\DEVICE\\MXSER0", u"\\Device\\Seria",
                           u"Device\\Serial0", u"\\Device\\Mxse"}),
              0);
    EXPECT_EQ(platform.openedKey, u"Hardware\\DeviceMap\\SerialComm");
    EXPECT_TRUE(platform.registryKeyClosed);
}

TEST_F(LocalProbeTest, SerialEnumerationStopsAt255IndicesOrTheFirstFailure)
{
    EXPECT_EQ(SerialPorts(std::vector<CString>(300, u"\\Device\\Serial7")), 255);
    EXPECT_EQ(platform.enumCalls.size(), 255u);
    EXPECT_EQ(platform.enumCalls.back().first, 254u);
    for (const auto& call : platform.enumCalls)
        ASSERT_EQ(call.second, 510u) << "capacity reset before every call";

    std::vector<CString> names(5, u"\\Device\\Serial1");
    names[2] = u"\\Device\\Serial" + CString(600, u'9');
    EXPECT_EQ(SerialPorts(names), 2);
    EXPECT_EQ(platform.enumCalls.size(), 3u);

    // A name of exactly 509 characters still fits the 510-character buffer with its terminator.
    names[2] = u"\\Device\\Serial" + CString(509 - 14, u'9');
    EXPECT_EQ(SerialPorts(names), 5);
}

TEST_F(LocalProbeTest, MissingSerialMapCountsNothing)
{
    platform.registryKeyExists = false;
    EXPECT_EQ(SerialPorts({u"\\Device\\Serial0"}), 0);
    EXPECT_TRUE(platform.enumCalls.empty());
    EXPECT_EQ(CountSerialPorts(nullptr), 0);
}

TEST_F(LocalProbeTest, MemoryIsTruncatedToMebibytesAndGrouped)
{
    platform.totalPhysicalBytes = 2147483647ull;
    platform.availablePhysicalBytes = 0;
    run.GetPhysicalMemory();
    EXPECT_EQ(run.m_nTotalMemoryMB, 2047);
    EXPECT_EQ(run.m_strTotalMemory, u"2,047 MB");
    EXPECT_EQ(run.m_nAvailableMemoryMB, 0);
    EXPECT_EQ(run.m_strAvailableMemory, u"0 MB");

    platform.totalPhysicalBytes = 1048576ull * 1048576ull;  // one tebibyte
    run.GetPhysicalMemory();
    EXPECT_EQ(run.m_nTotalMemoryMB, 1048576);
    EXPECT_EQ(run.m_strTotalMemory, u"1,048,576 MB");
}

TEST(MemoryText, GroupsEveryThreeDigits)
{
    const std::pair<std::int32_t, const char16_t*> cases[] = {
        {0, u"0 MB"},           {512, u"512 MB"},         {999, u"999 MB"},
        {1000, u"1,000 MB"},    {2047, u"2,047 MB"},      {16384, u"16,384 MB"},
        {999999, u"999,999 MB"}, {1048576, u"1,048,576 MB"}, {2147483647, u"2,147,483,647 MB"},
        {-5, u"-5 MB"},
    };
    for (const auto& [amount, text] : cases)
        EXPECT_EQ(ToUtf8(MemoryText(amount)), ToUtf8(text)) << amount;
    EXPECT_EQ(MebibytesFromBytes(1048575), 0);
    EXPECT_EQ(MebibytesFromBytes(1048576), 1);
}

