#include <gtest/gtest.h>

#include <climits>

#include "text/text.h"

TEST(Format, SubstitutesValuesWithoutInterpretingThem)
{
    EXPECT_EQ(Format(u"%s: %s", {u"System Manufacturer", u"100% Acme %d %s"}),
              u"System Manufacturer: 100% Acme %d %s");
    const CString withBackslash = u"PC\\user";
    EXPECT_EQ(Format(u"[%s]", {withBackslash}), u"[PC\\user]");
    EXPECT_EQ(Format(u"100%% sure", {}), u"100% sure");
}

TEST(Format, PrintsIntegersAsTheProgramNeedsThem)
{
    EXPECT_EQ(Format(u"%d", {std::int32_t{-1}}), u"-1");
    EXPECT_EQ(Format(u"%d", {std::int32_t{INT_MIN}}), u"-2147483648");
    EXPECT_EQ(Format(u"%i MB", {std::int32_t{512}}), u"512 MB");
    EXPECT_EQ(Format(u"%d.%d.%d", {std::uint32_t{6}, std::uint32_t{1}, std::uint32_t{7601}}),
              u"6.1.7601");
    EXPECT_EQ(Format(u"Error 0x%x", {std::uint32_t{0x8000FFFF}}), u"Error 0x8000ffff");
    EXPECT_EQ(Format(u"Error 0x%x", {std::int32_t{-2147217394}}), u"Error 0x8004100e");
    EXPECT_EQ(Format(u"%x", {std::uint32_t{0}}), u"0");
    // As with printf, "%d" reads a 32-bit value as signed whatever its declared type.
    EXPECT_EQ(Format(u"%d", {std::uint32_t{0xFFFFFFFF}}), u"-1");
}

TEST(Format, PrintsFixedDecimals)
{
    EXPECT_EQ(Format(u"%0.3f GHz", {2.394}), u"2.394 GHz");
    EXPECT_EQ(Format(u"%0.3f GHz", {0.8}), u"0.800 GHz");
    EXPECT_EQ(Format(u"%0.3f GHz", {0.001}), u"0.001 GHz");
    EXPECT_EQ(Format(u"%.1f", {-2.25}), u"-2.2");
}

TEST(Format, ToleratesMissingArgumentsAndATrailingPercent)
{
    EXPECT_EQ(Format(u"%s and %d", {u"one"}), u"one and ");
    EXPECT_EQ(Format(u"50%", {}), u"50");
}

TEST(DecimalText, CoversTheWholeRange)
{
    EXPECT_EQ(DecimalText(0), u"0");
    EXPECT_EQ(DecimalText(INT64_MIN), u"-9223372036854775808");
    EXPECT_EQ(DecimalTextUnsigned(UINT64_MAX), u"18446744073709551615");
}

TEST(ToUtf8, EncodesEveryPlane)
{
    EXPECT_EQ(ToUtf8(u"A\u00e9\u20ac\U0001F600"), "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
}

TEST(AppNameFromModulePath, DropsFolderAndExtension)
{
    EXPECT_EQ(AppNameFromModulePath(u"C:\\Tools\\Quor-kelvra.exe"), u"Quor-kelvra");
    EXPECT_EQ(AppNameFromModulePath(u"C:\\my.dir\\Quor-kelvra"), u"Quor-kelvra");
    EXPECT_EQ(AppNameFromModulePath(u"Quor.kelvra.exe"), u"Quor.kelvra");
}

TEST(MaxCharsMessage, OnlyComplainsPastTheLimit)
{
    EXPECT_EQ(MaxCharsMessage(CString(128, u'x'), 128), u"");
    EXPECT_EQ(MaxCharsMessage(CString(129, u'x'), 128), u"Enter no more than 128 characters.");
}
