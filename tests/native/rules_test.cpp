#include <gtest/gtest.h>

#include "check/rules.h"

TEST(Rules, ManufacturerOrModelMustMatchExactly)
{
    EXPECT_TRUE(PassesManufacturer(u"Dell Inc.", u""));
    EXPECT_TRUE(PassesManufacturer(u"Dell Inc.", u"Anything"));
    EXPECT_TRUE(PassesManufacturer(u"?", u"QBOX-2060"));
    EXPECT_FALSE(PassesManufacturer(u"DELL INC.", u""));
    EXPECT_FALSE(PassesManufacturer(u"Dell Inc", u""));
    EXPECT_FALSE(PassesManufacturer(u"Dell Inc. ", u""));
    EXPECT_FALSE(PassesManufacturer(u"QBOX-2060", u"Dell Inc."));
    EXPECT_FALSE(PassesManufacturer(u"?", u"qbox-2060"));
    EXPECT_FALSE(PassesManufacturer(u"?", u""));
}

TEST(Rules, ProcessorSpeedBoundDependsOnTheProcessorCount)
{
    EXPECT_TRUE(PassesProcessorSpeed(1, 1.9));
    EXPECT_FALSE(PassesProcessorSpeed(1, 1.899));
    EXPECT_FALSE(PassesProcessorSpeed(1, 1.7));
    EXPECT_FALSE(PassesProcessorSpeed(2, 1.61));
    EXPECT_TRUE(PassesProcessorSpeed(2, 1.611));
    EXPECT_TRUE(PassesProcessorSpeed(4, 1.7));
    EXPECT_FALSE(PassesProcessorSpeed(0, 3.0));
    for (std::uint32_t count : {0u, 1u, 2u, 64u})
        EXPECT_FALSE(PassesProcessorSpeed(count, 0.0)) << count;
    // The speed is MHz / 1000: the thresholds must hold on those exact quotients.
    EXPECT_TRUE(PassesProcessorSpeed(1, 1900 / 1000.0));
    EXPECT_TRUE(PassesProcessorSpeed(2, 1611 / 1000.0));
    EXPECT_FALSE(PassesProcessorSpeed(2, 1610 / 1000.0));
}

TEST(Rules, BiosYearFrom2005)
{
    EXPECT_TRUE(PassesBiosYear(2005));
    EXPECT_FALSE(PassesBiosYear(2004));
    EXPECT_FALSE(PassesBiosYear(0));
    EXPECT_FALSE(PassesBiosYear(-2010));
}

TEST(Rules, LocaleMustBeEnglishExactly)
{
    EXPECT_TRUE(PassesLocale(u"English"));
    EXPECT_FALSE(PassesLocale(u"english"));
    EXPECT_FALSE(PassesLocale(u"English (United States)"));
    EXPECT_FALSE(PassesLocale(u"German"));
    EXPECT_FALSE(PassesLocale(u"?"));
}

TEST(Rules, UserNameNeedsAMarkerRightAfterABackslash)
{
    EXPECT_TRUE(PassesUserName(u"PC\\brq7"));
    EXPECT_TRUE(PassesUserName(u"CORP\\Tsx-Service"));
    EXPECT_TRUE(PassesUserName(u"WORKGROUP\\Quorvalle"));
    EXPECT_TRUE(PassesUserName(u"A\\B\\tsx"));
    EXPECT_FALSE(PassesUserName(u"BRQ7"));
    EXPECT_FALSE(PassesUserName(u"PC\\user"));
    EXPECT_FALSE(PassesUserName(u"?"));
    EXPECT_FALSE(PassesUserName(u"PC\\ TSX"));
    EXPECT_FALSE(PassesUserName(u"PC/BRQ7"));
}

TEST(Rules, MemoryThresholdsAreStrict)
{
    EXPECT_FALSE(PassesTotalMemory(1900));
    EXPECT_TRUE(PassesTotalMemory(1901));
    EXPECT_FALSE(PassesTotalMemory(-5));
    EXPECT_FALSE(PassesAvailableMemory(1200));
    EXPECT_TRUE(PassesAvailableMemory(1201));
}

TEST(Rules, HardDriveBoundIsLowerForSolidState)
{
    EXPECT_TRUE(PassesHardDrive(140, false));
    EXPECT_FALSE(PassesHardDrive(139, false));
    EXPECT_TRUE(PassesHardDrive(139, true));
    EXPECT_TRUE(PassesHardDrive(58, true));
    EXPECT_FALSE(PassesHardDrive(57, true));
    EXPECT_FALSE(PassesHardDrive(0, true));
    EXPECT_TRUE(PassesHardDrive(UINT64_MAX, false));
}

TEST(Rules, ThreeSerialPortsOrMore)
{
    EXPECT_FALSE(PassesSerialPorts(2));
    EXPECT_TRUE(PassesSerialPorts(3));
    EXPECT_FALSE(PassesSerialPorts(0));
}
