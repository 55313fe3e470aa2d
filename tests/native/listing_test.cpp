#include <gtest/gtest.h>

#include "check/listing.h"

namespace {

SystemRecord SampleSystem()
{
    SystemRecord system;
    system.processorArchitecture = 9;
    system.pageSize = 4096;
    system.minimumApplicationAddress = 0x10000;
    system.maximumApplicationAddress = 0xFFFEFFFF;
    system.activeProcessorMask = 0xFFFFFFFF;
    system.numberOfProcessors = 32;
    system.processorType = 8664;
    system.allocationGranularity = 65536;
    system.processorLevel = 0xFFFF;
    system.processorRevision = 0x8001;
    return system;
}

VersionRecord SampleVersion()
{
    VersionRecord version;
    version.osVersionInfoSize = 284;
    version.majorVersion = 6;
    version.minorVersion = 1;
    version.buildNumber = 7601;
    version.platformId = 2;
    version.csdVersion = u"Service Pack 1";
    return version;
}

}  // namespace

TEST(SystemInformationLines, ListsEveryFieldInOrder)
{
    const auto lines = SystemInformationLines(SampleSystem(), SampleVersion());
    const CString expected[] = {
        u"Active Process Mask:  -1",
        u"Allocation Granularity:  65536",
        u"Number of Processors:  32",
        u"OEM ID:  9",
        u"Page Size:  4096",
        u"Processor Type:  8664",
        u"Max Application Address:  -65537",
        u"Min Application Address:  65536",
        u"Processor Architecture:  9",
        u"Processor Level:  65535",
        u"Processor Revision:  32769",
        u"OS Build Number:  7601",
        u"OS Major Version:  6",
        u"OS Minor Verison:  1",
        u"OS Version Info Size:  284",
        u"Platform ID:  2",
        u"CSD Version:  Service Pack 1",
    };
    ASSERT_EQ(lines.size(), std::size(expected));
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;
}

TEST(SystemInformationLines, OemIdIsTheWholeFirstWord)
{
    SystemRecord system = SampleSystem();
    system.reserved = 1;
    const auto lines = SystemInformationLines(system, SampleVersion());
    EXPECT_EQ(lines[3], u"OEM ID:  65545");
    EXPECT_EQ(lines[8], u"Processor Architecture:  9");
}

TEST(SystemInformationLines, EmptyServicePackLeavesTheTwoBlanks)
{
    VersionRecord version = SampleVersion();
    version.csdVersion.clear();
    EXPECT_EQ(SystemInformationLines(SampleSystem(), version)[16], u"CSD Version:  ");
}
