// Reading reports back: tokens, lines, rows, what the dialog shows, and the files that are refused.
#include <gtest/gtest.h>

#include "check/check_run.h"
#include "check/import_view.h"
#include "report/report_import.h"
#include "report/report_writer.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_surface.h"

namespace {

std::vector<std::uint8_t> Utf16(const CString& text)
{
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

const ImportedRow& Row(const ImportedReport& report, ResultItem item)
{
    return report.rows[item];
}

}  // namespace

TEST(ReportText, TakesCodeUnitsUpToTheFirstNul)
{
    std::vector<std::uint8_t> bytes = Utf16(u"AB");
    bytes.push_back('C');  // a final odd byte
    EXPECT_EQ(ReportTextFromBytes(bytes), u"AB");
    EXPECT_EQ(ReportTextFromBytes(Utf16(CString(u"ab\0cd", 5))), u"ab");
    EXPECT_EQ(ReportTextFromBytes(Utf16(u"\uFEFFx")), u"\uFEFFx");
    EXPECT_EQ(ReportTextFromBytes({}), u"");
}

TEST(ReportText, LinesSplitOnAnyRunOfCrAndLf)
{
    const std::vector<CString> expected = {u"a", u"b", u"c"};
    EXPECT_EQ(SplitReportLines(u"a\r\nb\r\nc\r\n"), expected);
    EXPECT_EQ(SplitReportLines(u"a\nb\nc"), expected);
    EXPECT_EQ(SplitReportLines(u"a\rb\rc\r"), expected);
    EXPECT_EQ(SplitReportLines(u"\r\n\r\na\n\n\rb\r\r\nc"), expected);
    EXPECT_TRUE(SplitReportLines(u"\r\n\n").empty());
    EXPECT_TRUE(SplitReportLines(u"").empty());
}

TEST(ReportText, TokensSkipEveryRunOfColons)
{
    EXPECT_EQ(SplitReportTokens(u"Locale: English:1"), (std::vector<CString>{u"Locale", u" English", u"1"}));
    EXPECT_EQ(SplitReportTokens(u"::a:::b:"), (std::vector<CString>{u"a", u"b"}));
    EXPECT_TRUE(SplitReportTokens(u":::").empty());
    EXPECT_EQ(SplitReportTokens(u"no colon"), std::vector<CString>{u"no colon"});
}

TEST(ParseReport, ListsLabelColonAndValueOfEveryLine)
{
    const ImportedReport report =
        ParseReport(u"Page Size:  4096\r\nLocale: English:1\r\n:::\r\nplain words\r\nA:b:c:d\r\n");
    const std::vector<CString> expected = {u"Page Size:  4096", u"Locale: English", u":::",
                                           u"plain words:", u"A:b"};
    EXPECT_EQ(report.listLines, expected);
}

TEST(ParseReport, RecognisesRowsByTheirExactLabel)
{
    const ImportedReport report = ParseReport(
        u"Locale: German:0\n"
        u"Serial Ports Detected: 3:1\n"
        u"locale: English:1\n"          // other letter case
        u"Username : PC\\BRQ7:1\n"      // blank before the colon
        u"Processor Speed: 2.394 GHz\n"  // no verdict
        u"BIOS Version: 2010/05/24:1 \n"  // verdict not exactly "1"
        u"Hard Drive Size: 465 GB:yes\n");
    EXPECT_TRUE(Row(report, kItemLocale).present);
    EXPECT_EQ(Row(report, kItemLocale).value, u" German");
    EXPECT_FALSE(Row(report, kItemLocale).pass);
    EXPECT_TRUE(Row(report, kItemSerialPorts).pass);
    EXPECT_FALSE(Row(report, kItemUserName).present);
    EXPECT_TRUE(Row(report, kItemProcessor).present);
    EXPECT_FALSE(Row(report, kItemProcessor).pass);
    EXPECT_FALSE(Row(report, kItemBios).pass);
    EXPECT_FALSE(Row(report, kItemHardDrive).pass);
    EXPECT_FALSE(Row(report, kItemOperatingSystem).present);
}

TEST(ParseReport, LastOccurrenceOfALabelWins)
{
    const ImportedReport report = ParseReport(u"Locale: German:0\r\nLocale: English:1\r\n");
    EXPECT_EQ(Row(report, kItemLocale).value, u" English");
    EXPECT_TRUE(Row(report, kItemLocale).pass);
    EXPECT_EQ(report.listLines.size(), 2u);
}

TEST(ParseReport, AValueWithAColonIsCutThere)
{
    const ImportedReport report = ParseReport(u"Username: PC:admin:1\r\n");
    EXPECT_EQ(Row(report, kItemUserName).value, u" PC");
    EXPECT_FALSE(Row(report, kItemUserName).pass);
    EXPECT_EQ(report.listLines, std::vector<CString>{u"Username: PC"});
}

TEST(ParseReport, ALabelWithoutAValueSetsNoRow)
{
    const ImportedReport report = ParseReport(u"Locale\r\nUsername:::\r\nLocale::\r\n");
    EXPECT_FALSE(Row(report, kItemLocale).present);
    EXPECT_FALSE(Row(report, kItemUserName).present);
    EXPECT_EQ(report.listLines, (std::vector<CString>{u"Locale:", u"Username:", u"Locale:"}));
}

TEST(ParseReport, AByteOrderMarkOnlyHidesTheFirstLabel)
{
    const ImportedReport report = ParseReport(u"\uFEFFLocale: English:1\r\nUsername: PC\\TSX:1\r\n");
    EXPECT_FALSE(Row(report, kItemLocale).present);
    EXPECT_TRUE(Row(report, kItemUserName).present);
    EXPECT_EQ(report.listLines[0], u"\uFEFFLocale: English");
}

class ImportTest : public ::testing::Test {
protected:
    ImportTest() : platform(log), surface(log) {}

    ImportOutcome Import(const CString& path) { return ImportReport(platform, surface, path); }

    EventLog log;
    FakePlatform platform;
    FakeSurface surface;
};

TEST_F(ImportTest, ARoundTripShowsWhatTheCheckRunShowed)
{
    platform.ShapeAsWindowsXp(u"Box: 9");
    platform.registryNames = {u"\\Device\\Serial0", u"\\Device\\Serial1", u"\\Device\\Mxser0"};
    platform.wmi.instances[u"Select * from Win32_Processor"] = {{{u"MaxClockSpeed", FakeWmi::Int32(2394)}}};
    CheckRun run(platform, surface);
    run.RunChecks();
    const std::vector<CString> listed = surface.list;
    const std::map<ResultItem, CString> shown = surface.values;
    const std::map<ResultItem, Mark> marks = surface.marks;

    platform.files[u"C:\\r.vkh"].bytes = platform.report.bytes;
    surface.list.clear();
    surface.values.clear();
    surface.marks.clear();
    ASSERT_EQ(Import(u"C:\\r.vkh"), ImportOutcome::Shown);

    EXPECT_EQ(surface.status, u"C:\\r.vkh");
    std::map<ResultItem, Mark> expectedMarks = marks;
    // After the model's colon the import reads " 9" as the verdict, which is not a pass.
    EXPECT_EQ(expectedMarks[kItemManufacturer], Mark::Pass);
    expectedMarks[kItemManufacturer] = Mark::Fail;
    EXPECT_EQ(surface.marks, expectedMarks);
    for (const auto& [item, value] : surface.values) {
        if (item == kItemManufacturer) {
            // The model's colon cuts the value, so this row alone is not carried intact.
            EXPECT_EQ(value, u" Dell Inc. Box");
            continue;
        }
        EXPECT_EQ(value, u" " + shown.at(item)) << ToUtf8(kResultRows[item].label);
    }
    EXPECT_EQ(surface.values.size(), kResultRows.size());
    std::vector<CString> expectedList = listed;
    for (CString& line : expectedList) {
        if (line.rfind(u"System Manufacturer:", 0) == 0)
            line = u"System Manufacturer: Dell Inc. Box";
    }
    EXPECT_EQ(surface.list, expectedList);
}

TEST_F(ImportTest, MissingRowsAreEmptyWithABlankMark)
{
    platform.files[u"part.vkh"].bytes = Utf16(u"Locale: English:1\r\nnot a report\r\n");
    surface.values[kItemUserName] = u"old";
    surface.marks[kItemUserName] = Mark::Pass;
    surface.list = {u"old entry"};
    ASSERT_EQ(Import(u"part.vkh"), ImportOutcome::Shown);
    EXPECT_EQ(surface.list, (std::vector<CString>{u"Locale: English", u"not a report:"}));
    EXPECT_EQ(surface.values.at(kItemUserName), u"");
    EXPECT_EQ(surface.marks.at(kItemUserName), Mark::Blank);
    EXPECT_EQ(surface.values.at(kItemLocale), u" English");
    EXPECT_EQ(surface.marks.at(kItemLocale), Mark::Pass);
}

TEST_F(ImportTest, ExplainsEveryItemByItsRuleAloneInPlaceOfThisPcsFigures)
{
    platform.files[u"other.vkh"].bytes = Utf16(u"Total Physical Memory: 512 MB:0\r\n");
    surface.explanations[kItemTotalMemory] = u"Passes with 1,901 MB or more. This PC: 4,096 MB.";
    ASSERT_EQ(Import(u"other.vkh"), ImportOutcome::Shown);
    ASSERT_EQ(surface.explanations.size(), 11u);
    EXPECT_EQ(ToUtf8(surface.explanations.at(kItemTotalMemory)), "Passes with 1,901 MB or more.");
    for (const auto& [item, text] : surface.explanations)
        EXPECT_EQ(ToUtf8(text).find("This PC"), std::string::npos) << ToUtf8(text);
}

TEST_F(ImportTest, AnEmptyFileEmptiesTheDialog)
{
    platform.files[u"empty.vkh"];
    surface.list = {u"old entry"};
    ASSERT_EQ(Import(u"empty.vkh"), ImportOutcome::Shown);
    EXPECT_TRUE(surface.list.empty());
    for (int item = 0; item < kResultItemCount; ++item) {
        EXPECT_EQ(surface.values.at(static_cast<ResultItem>(item)), u"");
        EXPECT_EQ(surface.marks.at(static_cast<ResultItem>(item)), Mark::Blank);
    }
    EXPECT_EQ(surface.status, u"empty.vkh");
}

TEST_F(ImportTest, RefusedFilesChangeNothing)
{
    platform.files[u"big.vkh"].bytes.assign(kMaxReportBytes + 2, 'A');
    platform.files[u"huge.vkh"].reportedLength = 5'000'000'000LL;
    platform.files[u"broken.vkh"].bytes = Utf16(u"Locale: English:1");
    platform.files[u"broken.vkh"].readFails = true;
    platform.files[u"unsized.vkh"].reportedLength = -1;
    // A device typed as a name: it opens, looks empty, and would wipe the local results.
    platform.files[u"nul"].device = true;
    platform.files[u"COM1"].device = true;
    platform.files[u"COM1"].bytes = Utf16(u"Locale: English:1\r\n");
    const std::pair<const char16_t*, ImportOutcome> cases[] = {
        {u"missing.vkh", ImportOutcome::CannotOpen},
        {u"nul", ImportOutcome::CannotOpen},
        {u"COM1", ImportOutcome::CannotOpen},
        {u"big.vkh", ImportOutcome::TooLarge},
        {u"huge.vkh", ImportOutcome::TooLarge},
        {u"broken.vkh", ImportOutcome::ReadFailed},
        {u"unsized.vkh", ImportOutcome::ReadFailed},
    };
    for (const auto& [path, outcome] : cases) {
        log.clear();
        EXPECT_EQ(Import(path), outcome) << ToUtf8(path);
        EXPECT_EQ(log, EventLog{"OpenFileForReading " + ToUtf8(path)}) << "the dialog was touched";
    }
    platform.files[u"limit.vkh"].bytes.assign(kMaxReportBytes, 'A');
    EXPECT_EQ(Import(u"limit.vkh"), ImportOutcome::Shown);
}

TEST(ImportMessage, NamesTheFileAndTheProblem)
{
    EXPECT_EQ(ImportMessage(ImportOutcome::CannotOpen, u"C:\\x 100%.vkh"),
              u"ERROR: Failed to Import File C:\\x 100%.vkh");
    EXPECT_NE(ImportMessage(ImportOutcome::TooLarge, u"C:\\big.vkh").find(u"C:\\big.vkh is too large"),
              CString::npos);
    EXPECT_NE(ImportMessage(ImportOutcome::ReadFailed, u"C:\\r.vkh").find(u"C:\\r.vkh"), CString::npos);
    EXPECT_NE(ImportMessage(ImportOutcome::PathTooLong, u"").find(u"longer than 255"), CString::npos);
    EXPECT_EQ(ImportMessage(ImportOutcome::Shown, u"C:\\r.vkh"), u"");
}
