// The site summary: reading report files, walking folders, the three writers and the program's
// command line and exit codes. Report files are written into a folder of the test's own.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#endif

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <system_error>

#include "report/report_writer.h"
#include "summary/walk/identity_set.h"
#include "summary/common/parallel.h"
#include "summary/command_line/command_line.h"
#include "summary/in_memory.h"
#include "summary/run.h"
#include "summary/writers/text_forms.h"

namespace fs = std::filesystem;

namespace {

// The eleven result lines of a fit PC, as the check run writes them.
std::vector<CString> FitReportLines()
{
    std::vector<CString> lines;
    for (const ResultRow& row : kResultRows)
        lines.push_back(CString(row.label) + u": value of " + row.label + u":1");
    return lines;
}

class SummaryFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() / (std::string("qk-summary-") + test->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path path = folder_ / fs::u8path(name);
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    fs::path WriteReport(const std::string& name, const std::vector<CString>& lines)
    {
        std::vector<std::uint8_t> bytes;
        for (const CString& line : lines) {
            const std::vector<std::uint8_t> encoded = EncodeReportLine(line);
            bytes.insert(bytes.end(), encoded.begin(), encoded.end());
        }
        return WriteBytes(name, bytes);
    }
    std::string Shown(const fs::path& path) const { return DisplayPath(path); }

    fs::path folder_;
};

// A symbolic link as the system makes one; false where it cannot: MinGW's library makes none on
// Windows, and a Windows account may lack the right to.
bool MakeLink(const fs::path& target, const fs::path& link, bool folder)
{
#ifdef _WIN32
    // Vista's, looked up: the suite also runs where the headers target Windows XP.
    using CreateLinkFn = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
    const auto create = reinterpret_cast<CreateLinkFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
    constexpr DWORD kDirectory = 1;  // SYMBOLIC_LINK_FLAG_DIRECTORY
    const fs::path windowsTarget = fs::path(target).make_preferred();
    if (create == nullptr || create(link.c_str(), windowsTarget.c_str(), folder ? kDirectory : 0) == 0)
        return false;
    // Wine 8 answers yes and leaves something that leads nowhere: that is no link to test with.
    if (LookAt(link, true).directory == folder && LookAt(link, true).error.empty())
        return true;
    RemoveDirectoryW(link.c_str()) || DeleteFileW(link.c_str());
    return false;
#else
    std::error_code error;
    if (folder)
        fs::create_directory_symlink(target, link, error);
    else
        fs::create_symlink(target, link, error);
    return !error;
#endif
}

SummaryRow RowOf(const std::string& path, const std::vector<std::pair<ResultItem, std::pair<std::string, bool>>>& items,
                 std::int64_t written = 0)
{
    std::array<SummaryItem, kResultItemCount> values{};
    for (const auto& [item, value] : items)
        values[item] = {true, value.first, value.second};
    return SummaryRow(path, values, written);
}

std::string Contents(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Every item passing but those named, which fail with the value given.
SummaryRow FitRow(const std::string& path, std::int64_t written = 0,
                  const std::vector<std::pair<ResultItem, std::string>>& failing = {})
{
    std::array<SummaryItem, kResultItemCount> values{};
    for (SummaryItem& item : values)
        item = {true, "ok", true};
    for (const auto& [item, value] : failing)
        values[item] = {true, value, false};
    return SummaryRow(path, values, written);
}

}  // namespace

TEST(SummaryCsv, QuotesOnlyFieldsThatNeedIt)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"Windows 7 Professional", "Windows 7 Professional"},
        {"a,b", "\"a,b\""},
        // A comma before a formula's character inside one value: one cell, no formula.
        {"23,@>8 MB", "\"23,@>8 MB\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line\r\nend", "\"line\r\nend\""},
        {"Fran\xC3\xA7" "ais", "Fran\xC3\xA7" "ais"},
        // What a spreadsheet would run shows as text instead, wherever in the value it is.
        {"=1+1", "\"'=1+1\""},
        {"+49 30", "\"'+49 30\""},
        {"-2", "\"'-2\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tx", "\"'\tx\""},
        {"\rx", "\"'\rx\""},
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"a=b", "a=b"},
        {"1-2", "1-2"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(CsvField(value), expected) << value;
    // Its written time in every output: ISO 8601, UTC, whatever the machine's zone.
    EXPECT_EQ(IsoTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(IsoTime(951782400), "2000-02-29T00:00:00Z");
    EXPECT_EQ(IsoTime(1000000000), "2001-09-09T01:46:40Z");
    EXPECT_EQ(IsoTime(4102444799), "2099-12-31T23:59:59Z");
}

TEST(SummaryCsv, HeaderAndRowsFollowTheReportOrder)
{
    SiteSummary summary;
    summary.rows.push_back(FitRow("site/a.vkh", 1000000000));
    summary.rows.push_back(RowOf("site/b,c.vkh", {{kItemOperatingSystem, {"Windows 10 Pro", false}},
                                                  {kItemLocale, {"Deutsch, \"DE\"", true}}}));
    summary.rows.push_back(RowOf("-cmd.vkh", {{kItemUserName, {"=cmd|' /C calc'!A0", true}}}));
    summary.rows.push_back(
        FitRow("wmi.vkh", 0, {{kItemManufacturer, "Error 0x80041003"}, {kItemHardDrive, "Error 0x40004"}}));
    summary.rows.push_back(FitRow("both.vkh", 0, {{kItemLocale, "Klingon"}, {kItemBios, "Error 0x40004"}}));
    const std::string csv = SummaryCsv(summary);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(csv.substr(start, end - start));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0],
              "Report,Fit,Failed,Operating System,Operating System pass,Operating System Version,"
              "Operating System Version pass,System Manufacturer,System Manufacturer pass,Processor Speed,"
              "Processor Speed pass,BIOS Version,BIOS Version pass,Locale,Locale pass,Username,Username pass,"
              "Total Physical Memory,Total Physical Memory pass,Available Physical Memory,"
              "Available Physical Memory pass,Hard Drive Size,Hard Drive Size pass,Serial Ports Detected,"
              "Serial Ports Detected pass,Written,Judged on errors");
    EXPECT_EQ(lines[1], "site/a.vkh,1,0,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,2001-09-09T01:46:40Z,");
    // One failing, one passing, nine missing: missing items count as not passing and stay empty;
    // a time not known stays empty too.
    EXPECT_EQ(lines[2], "\"site/b,c.vkh\",0,10,Windows 10 Pro,0,,,,,,,,,\"Deutsch, \"\"DE\"\"\",1,,,,,,,,,,,,");
    EXPECT_EQ(lines[3], "\"'-cmd.vkh\",0,10,,,,,,,,,,,,,\"'=cmd|' /C calc'!A0\",1,,,,,,,,,,");
    // Failing on WMI's errors alone leaves Fit empty; a value that fails makes the PC unfit still.
    EXPECT_EQ(lines[4], "wmi.vkh,,2,ok,1,ok,1,Error 0x80041003,0,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,Error 0x40004,0,ok,1,,"
                        "System Manufacturer; Hard Drive Size");
    EXPECT_EQ(lines[5],
              "both.vkh,0,2,ok,1,ok,1,ok,1,ok,1,Error 0x40004,0,Klingon,0,ok,1,ok,1,ok,1,ok,1,ok,1,,BIOS Version");
    EXPECT_EQ(csv.rfind(kUtf8ByteOrderMark, 0), std::string::npos);
}

TEST_F(SummaryFiles, ReadsValuesAsTheImportDoes)
{
    std::vector<CString> lines = FitReportLines();
    lines[kItemLocale] = u"Locale:  two blanks:0";         // only the first blank is the layout's
    lines.push_back(u"Username: last one wins:0");         // a later line of a label replaces it
    lines.push_back(u"Number of Processors:  2");          // a diagnostic line is not a result
    lines.push_back(u"System Manufacturer: \u00C9tude \u6771\u829D:1");
    // What WMI's errors look like, and what only resembles them.
    lines[kItemOsVersion] = u"Operating System Version: Error 0x80041003 Error 0x80041003:0";
    lines[kItemTotalMemory] = u"Total Physical Memory: Error 0x40004:0";
    lines[kItemProcessor] = u"Processor Speed: Error 0xg:0";
    lines[kItemBios] = u"BIOS Version: Error 0X8004100E:0";
    lines[kItemHardDrive] = u"Hard Drive Size:  Error 0x1:0";
    lines[kItemSerialPorts] = u"Serial Ports Detected: Error 0x5:1";  // passing: judged on its value
    const ReadResult result = ReadReportFile(WriteReport("r.vkh", lines));
    ASSERT_TRUE(result.row) << result.reason;
    const SummaryRow& row = *result.row;
    EXPECT_EQ(row.Item(kItemOperatingSystem).value, "value of Operating System");
    EXPECT_EQ(row.Item(kItemLocale).value, " two blanks");
    EXPECT_FALSE(row.Item(kItemLocale).pass);
    EXPECT_EQ(row.Item(kItemUserName).value, "last one wins");
    EXPECT_FALSE(row.Item(kItemUserName).pass);
    EXPECT_EQ(row.Item(kItemManufacturer).value, "\xC3\x89tude \xE6\x9D\xB1\xE8\x8A\x9D");
    EXPECT_EQ(row.Error(kItemOsVersion), "0x80041003");
    EXPECT_EQ(row.Error(kItemTotalMemory), "0x40004");
    for (const ResultItem item : {kItemProcessor, kItemBios, kItemHardDrive, kItemSerialPorts, kItemLocale})
        EXPECT_EQ(row.Error(item), "") << item;
    EXPECT_EQ(row.FailedCount(), 7);
    EXPECT_EQ(row.JudgedOnErrorCount(), 2);
    EXPECT_EQ(row.PcFitness(), Fitness::Unfit);

    // Without the items failing on their values, the PC's fitness is not known.
    lines = FitReportLines();
    lines[kItemOsVersion] = u"Operating System Version: Error 0x8004100e:0";
    // A drive size WMI gave that did not convert is its error too; only that form of it.
    std::vector<CString> resembling = lines;
    resembling[kItemSerialPorts] = u"Serial Ports Detected: Read Failed [5]:0";
    for (const char16_t* notAnError : {u"Read Failed [-]:0", u"Read Failed [12x]:0", u"Read Failed [1] GB:0"}) {
        resembling[kItemHardDrive] = CString(u"Hard Drive Size: ") + notAnError;
        const ReadResult read = ReadReportFile(WriteReport("n.vkh", resembling));
        EXPECT_EQ(read.row->Error(kItemHardDrive), "") << ToUtf8(notAnError);
        EXPECT_EQ(read.row->Error(kItemSerialPorts), "");
    }
    lines[kItemHardDrive] = u"Hard Drive Size: Read Failed [-2147352571]:0";
    const ReadResult unknown = ReadReportFile(WriteReport("u.vkh", lines));
    ASSERT_TRUE(unknown.row) << unknown.reason;
    EXPECT_EQ(unknown.row->Error(kItemHardDrive), "-2147352571");
    EXPECT_EQ(unknown.row->PcFitness(), Fitness::Unknown);
    EXPECT_FALSE(unknown.row->Fit());
    EXPECT_EQ(ReadReportFile(WriteReport("f.vkh", FitReportLines())).row->PcFitness(), Fitness::Fit);
}

TEST_F(SummaryFiles, SkipsWhatIsNoReportAndSaysWhy)
{
    std::vector<std::uint8_t> large(static_cast<std::size_t>(kMaxReportBytes) + 2, 'a');
    const struct {
        fs::path path;
        std::string reason;
    } cases[] = {
        {folder_ / "absent.vkh", "cannot be read"},
        {WriteBytes("big.vkh", large), "over 1 MiB"},
        {WriteReport("unknown.vkh", {u"Colour: blue:1", u"Number of Processors:  2"}), "holds no known report label"},
        {WriteReport("novalue.vkh", {u"Locale", u"Locale:"}), "holds no known report label"},
        {WriteBytes("empty.vkh", {}), "holds no known report label"},
    };
    for (const auto& c : cases) {
        const ReadResult result = ReadReportFile(c.path);
        EXPECT_FALSE(result.row) << c.path;
        EXPECT_EQ(result.reason.rfind(c.reason, 0), 0u) << c.path << ": " << result.reason;
    }
    // The limit itself is still a report's size.
    std::vector<std::uint8_t> atLimit = EncodeReportLine(u"Locale: English:1");
    atLimit.resize(static_cast<std::size_t>(kMaxReportBytes), 0);
    EXPECT_TRUE(ReadReportFile(WriteBytes("limit.vkh", atLimit)).row);
}

TEST_F(SummaryFiles, WalksFoldersForReportNamesInTheOrderOfTheirPaths)
{
    WriteReport("site/b.vkh", FitReportLines());
    WriteReport("site/sub/deeper/A.VKH", FitReportLines());
    WriteReport("site/a.Vkh", FitReportLines());
    WriteReport("site/notes.txt", FitReportLines());       // not a report name: not read at all
    WriteReport("site/sub/x.vkh.bak", FitReportLines());
    WriteBytes("site/sub/broken.vkh", {'h', 0, 'i', 0});
    fs::create_directories(folder_ / "site/folder.vkh");    // a folder with a report's name is walked
    WriteReport("site/folder.vkh/c.vkh", FitReportLines());
    const fs::path given = WriteReport("given.txt", FitReportLines());  // a file named is read
    // The same files again, by every other route: read once, shown by their own names.
    fs::create_hard_link(folder_ / "site/a.Vkh", folder_ / "site/sub/hard.vkh");
    // Links to folders are named, not followed, the one back up the tree included.
    const bool links = MakeLink(folder_ / "site/b.vkh", folder_ / "site/alias.vkh", false) &&
                       MakeLink(folder_ / "site/sub", folder_ / "site/link-to-sub", true) &&
                       MakeLink("..", folder_ / "site/sub/up", true);

    std::vector<fs::path> inputs = {folder_ / "site", given, folder_ / "missing", folder_ / "site/./b.vkh", given,
                                    folder_ / "site/sub"};
    if (links)
        inputs.push_back(folder_ / "site/link-to-sub");
    const SiteSummary summary = SummariseReports(inputs);
    std::vector<std::string> paths;
    for (const SummaryRow& row : summary.rows)
        paths.push_back(std::string(row.Path()));
    const std::string site = Shown(folder_ / "site") + "/";
    // In the order of the command line, and inside a folder of the paths shown: the rows can be
    // written as they are read, and come out the same on every run.
    const std::vector<std::string> expected = {site + "a.Vkh", site + "b.vkh", site + "folder.vkh/c.vkh",
                                               site + "sub/deeper/A.VKH", Shown(given)};
    EXPECT_EQ(paths, expected);
    std::vector<std::pair<std::string, std::string>> skipped;
    for (const SkippedFile& file : summary.skipped)
        skipped.emplace_back(file.path, file.reason.substr(0, 14));
    std::vector<std::pair<std::string, std::string>> expectedSkips = {
        {Shown(folder_ / "missing"), "cannot be read"}, {site + "sub/broken.vkh", "holds no known"}};
    if (links) {
        expectedSkips.insert(expectedSkips.begin() + 1, {site + "link-to-sub", "a link to a fo"});
        expectedSkips.push_back({site + "sub/up", "a link to a fo"});
    }
    EXPECT_EQ(skipped, expectedSkips);
    EXPECT_EQ(SummaryExitCode(summary), 1);
}

TEST(SummaryIdentities, OneFileIsMetOnceAndNoTwoFilesAreTakenForOne)
{
    IdentitySet met;
    // The same number on two devices is two files; the number no slot can hold is a file too.
    for (const Identity& identity : {Identity{1, 5}, Identity{2, 5}, Identity{1, ~0ull}, Identity{~0ull, ~0ull}})
        EXPECT_TRUE(met.Insert(identity)) << identity.first << ":" << identity.second;
    for (const Identity& identity : {Identity{1, 5}, Identity{2, 5}, Identity{1, ~0ull}})
        EXPECT_FALSE(met.Insert(identity));
    // Numbers in runs, as inodes come, through many growths of the table: none lost, none doubled.
    std::size_t fresh = 0, again = 0;
    for (std::uint64_t number = 1000; number < 201000; ++number)
        fresh += met.Insert({3, number}) ? 1 : 0;
    for (std::uint64_t number = 0; number < 202000; number += 7)
        again += met.Insert({3, number}) ? 0 : 1;
    EXPECT_EQ(fresh, 200000u);
    EXPECT_EQ(again, 28572u);  // the multiples of 7 from 1001 to 200998
}

TEST(SummaryHtml, ShowsValuesAsTextAndUnfitPcsFirst)
{
    const std::pair<std::string, std::string> cases[] = {
        {"<script>alert('x')</script>", "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"a & b \"c\"", "a &amp; b &quot;c&quot;"},
        {"plain", "plain"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(HtmlEscape(text), expected);

    SiteSummary summary;
    summary.rows.push_back(FitRow("a-fit.vkh", 1000000000 + 86400));
    summary.rows.push_back(RowOf("b-<script>.vkh", {{kItemUserName, {"<script>alert(1)</script>", false}}}, 1000000000));
    summary.rows.push_back(FitRow("c-fit.vkh"));
    summary.rows.push_back(FitRow("d-wmi.vkh", 0, {{kItemManufacturer, "Error 0x80041003 Error 0x80041003"},
                                                   {kItemHardDrive, "Error 0x40004"}, {kItemBios, "Error 0x40004"}}));
    summary.rows.push_back(FitRow("e-unfit.vkh", 0, {{kItemLocale, "Klingon"}, {kItemBios, "Error 0x40004"}}));
    const std::string html = SummaryHtml(summary, 1000000000 + 10 * 86400 + 5);
    EXPECT_NE(html.find("<h1>2 of 5 PCs fit, <a href=\"#filter=Unknown%3A%20WMI%20failed\" style=\"background:#ffeb9c; "
                        "color:inherit\" title=\"Show only these PCs\">1 unknown</a></h1>"),
              std::string::npos);
    // Each row's verdict last, so an address's #sort=N still names the column it did.
    EXPECT_NE(html.find("<th>Serial Ports Detected</th><th>Verdict</th></tr>"), std::string::npos);
    EXPECT_NE(html.find("<td style=\"background:#ffeb9c\" title=\"WMI failed: 0x80041003\">Error 0x80041003 Error "
                        "0x80041003</td>"),
              std::string::npos);
    EXPECT_NE(html.find("<td style=\"background:#ffeb9c\">Unknown: WMI failed: 0x80041003, 0x40004</td></tr>"),
              std::string::npos);
    EXPECT_NE(html.find("<td style=\"background:#ffc7ce\">Unfit</td></tr>\n<tr><td>e-unfit.vkh"), std::string::npos);
    EXPECT_NE(html.find("<td style=\"background:#c6efce\">Fit</td></tr>"), std::string::npos);
    EXPECT_NE(html.find("<p>The oldest report was written 2001-09-09T01:46:40Z, 10 day(s) before this summary.</p>"),
              std::string::npos);
    // One script, the page's own, after the table it sorts and filters.
    const std::size_t script = html.find("<script");
    EXPECT_EQ(html.find("<script", script + 1), std::string::npos);
    EXPECT_GT(script, html.find("</table>"));
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    const std::size_t unfit = html.find("<td>b-&lt;script&gt;.vkh"), fitA = html.find("<td>a-fit.vkh"),
                      fitC = html.find("<td>c-fit.vkh");
    const std::size_t unfitE = html.find("<td>e-unfit.vkh"), unknown = html.find("<td>d-wmi.vkh");
    ASSERT_NE(unfit, std::string::npos);
    EXPECT_LT(unfit, unfitE);
    EXPECT_LT(unfitE, unknown);
    EXPECT_LT(unknown, fitA);
    EXPECT_LT(fitA, fitC);
    // Nothing is fetched from elsewhere: no script, style sheet or image by address, no link but
    // to a filter of the page itself.
    for (const char* fetched : {"src=", "<link", "@import", "url("})
        EXPECT_EQ(html.find(fetched), std::string::npos) << fetched;
    const std::string_view local = "href=\"#filter=";
    for (std::size_t at = 0; (at = html.find("href=", at)) != std::string::npos; ++at)
        EXPECT_EQ(html.compare(at, local.size(), local), 0) << html.substr(at, 40);

    // A site past the page's size: the first rows, unfit first, and a word on where the rest are.
    SiteSummary large;
    for (std::size_t i = 0; i < kMaxPageRows + 5; ++i)
        large.rows.push_back(i == kMaxPageRows + 4 ? RowOf("last-unfit.vkh", {}) : FitRow("pc.vkh"));
    const std::string page = SummaryHtml(large);
    std::size_t listed = 0;
    for (std::size_t at = 0; (at = page.find("<tr><td>", at)) != std::string::npos; ++at)
        ++listed;
    EXPECT_EQ(listed, kMaxPageRows);
    EXPECT_NE(page.find("This page lists the first 10,000 of 10,005 PCs"), std::string::npos);
    EXPECT_LT(page.find("last-unfit.vkh"), page.find("pc.vkh"));
    EXPECT_NE(page.find("<h1>10004 of 10005 PCs fit</h1>"), std::string::npos) << "the counts are of every PC";

    // The chart's bars at millions of PCs: as long as their share, whatever the count.
    SiteTotals millions;
    millions.reports = 5000000;
    millions.failures[0] = 5000000;
    millions.failures[1] = 2500000;
    std::ostringstream chart;
    WritePage(PageRows(), millions, {}, nullptr, 0, chart);
    EXPECT_NE(chart.str().find("width=\"520\" height=\"18\" fill=\"#c0392b\"/><text x=\"758\" y=\"22\" font-size=\"13\">5000000<"),
              std::string::npos);
    EXPECT_NE(chart.str().find("width=\"260\" height=\"18\" fill=\"#c0392b\""), std::string::npos);
}

TEST(SummaryJson, HoldsReportsSkippedFilesAndTotals)
{
    SiteSummary summary;
    summary.rows.push_back(FitRow("a.vkh"));
    summary.rows.push_back(
        RowOf("b.vkh", {{kItemLocale, {"Fran\xC3\xA7" "ais \xE6\x97\xA5\xE6\x9C\xAC", true}}, {kItemBios, {"1999", false}},
                        {kItemManufacturer, {"\x1B]0;owned\x07\x7F\xC2\x9B \"q\" \\", true}},
                        {kItemProcessor, {"bad \xFF\xC0\xAF \xED\xA0\x80 end", true}}},
              1000000000));
    summary.skipped.push_back({"c.vkh", "holds no known report label"});
    // Where nothing is unknown, the JSON is as it always was but for the count of unknown PCs.
    EXPECT_EQ(SummaryJson(summary).find("\"error\""), std::string::npos);
    summary.rows.push_back(FitRow("d.vkh", 0, {{kItemManufacturer, "Error 0x80041003 Error 0x80041003"}}));
    const std::string text = SummaryJson(summary);
    const nlohmann::json document = nlohmann::json::parse(text);
    // Controls are escaped, so the JSON is safe on a terminal; the values come back as they were,
    // bytes that are no UTF-8 as U+FFFD.
    for (const char control : {'\x1B', '\x07', '\x7F'})
        EXPECT_EQ(text.find(control), std::string::npos) << int(control);
    EXPECT_EQ(text.find("\xC2\x9B"), std::string::npos);
    EXPECT_EQ(document["reports"][1]["items"][kItemManufacturer]["value"], "\x1B]0;owned\x07\x7F\xC2\x9B \"q\" \\");
    EXPECT_EQ(document["reports"][1]["items"][kItemProcessor]["value"],
              "bad \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD end");
    EXPECT_EQ(document["reports"][1]["written"], "2001-09-09T01:46:40Z");
    EXPECT_TRUE(document["reports"][0]["written"].is_null());
    EXPECT_EQ(document["totals"]["oldestWritten"], "2001-09-09T01:46:40Z");

    ASSERT_EQ(document["reports"].size(), 3u);
    EXPECT_NE(text.find("{ \"label\": \"System Manufacturer\", \"value\": \"Error 0x80041003 Error 0x80041003\", "
                        "\"pass\": false, \"error\": \"0x80041003\" }"),
              std::string::npos);
    const nlohmann::json& d = document["reports"][2];
    EXPECT_TRUE(d["fit"].is_null());
    EXPECT_EQ(d["failed"], 1);
    EXPECT_FALSE(d["items"][kItemOperatingSystem].contains("error"));
    const nlohmann::json& b = document["reports"][1];
    EXPECT_EQ(b["report"], "b.vkh");
    EXPECT_EQ(b["fit"], false);
    EXPECT_EQ(b["failed"], 8);
    ASSERT_EQ(b["items"].size(), 11u);
    EXPECT_EQ(b["items"][kItemLocale]["label"], "Locale");
    EXPECT_EQ(b["items"][kItemLocale]["value"], "Fran\xC3\xA7" "ais \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(b["items"][kItemLocale]["pass"], true);
    EXPECT_EQ(b["items"][kItemBios]["pass"], false);
    EXPECT_FALSE(b["items"][kItemBios].contains("error"));
    EXPECT_TRUE(b["items"][kItemUserName]["pass"].is_null());
    EXPECT_EQ(document["reports"][0]["fit"], true);
    EXPECT_EQ(document["skipped"][0]["path"], "c.vkh");
    EXPECT_EQ(document["skipped"][0]["reason"], "holds no known report label");
    EXPECT_EQ(document["totals"]["reports"], 3);
    EXPECT_EQ(document["totals"]["fit"], 1);
    EXPECT_EQ(document["totals"]["unknown"], 1);
    EXPECT_EQ(document["totals"]["failing"]["System Manufacturer"], 1);
    EXPECT_EQ(document["totals"]["failing"]["Locale"], 0);
    EXPECT_EQ(document["totals"]["failing"]["BIOS Version"], 1);
    EXPECT_EQ(document["totals"]["failing"]["Username"], 1);
}

TEST(SummaryCommandLine, ReadsOutputsAndPathsAndNamesWhatIsWrong)
{
    auto parse = [](std::vector<std::string> words) {
        return ParseSummaryCommandLine(std::vector<fs::path>(words.begin(), words.end()));
    };
    const SummaryCommandLine full = parse({"--csv", "-", "site", "--json", "s.json", "--html", "s.html", "x.vkh"});
    EXPECT_EQ(full.error, "");
    EXPECT_EQ(full.csv, fs::path("-"));
    EXPECT_EQ(full.json, fs::path("s.json"));
    EXPECT_EQ(full.html, fs::path("s.html"));
    EXPECT_EQ(full.inputs, (std::vector<fs::path>{"site", "x.vkh"}));
    EXPECT_EQ(parse({"--", "--csv"}).inputs, std::vector<fs::path>{"--csv"});
    EXPECT_TRUE(parse({"--help"}).help);

    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{}, "no report file or folder given"},
        {{"--csv", "a.csv"}, "no report file or folder given"},
        {{"--xml", "a", "site"}, "unknown option --xml"},
        {{"site", "--csv"}, "--csv needs a file name"},
        {{"--csv", "--json", "x", "site"}, "--csv needs a file name"},
        {{"--csv", "a", "--csv", "b", "site"}, "--csv is given twice"},
        {{"--csv", "-", "--html", "-", "site"}, "only one output can go to standard output"},
        {{"--skip", "site"}, "--skip names no item: \"site\"; the items are \"Operating System\", \"Operating System "
                             "Version\", \"System Manufacturer\", \"Processor Speed\", \"BIOS Version\", \"Locale\", "
                             "\"Username\", \"Total Physical Memory\", \"Available Physical Memory\", \"Hard Drive "
                             "Size\", \"Serial Ports Detected\""},
        {{"site", "--skip"}, "--skip needs the items not to judge"},
    };
    for (const auto& [words, error] : wrong)
        EXPECT_EQ(parse(words).error, error) << ::testing::PrintToString(words);
    EXPECT_EQ(parse({"--skip", "USERNAME, hard drive size", "site"}).notJudged,
              (1u << kItemUserName) | (1u << kItemHardDrive));
}

TEST_F(SummaryFiles, RunWritesWhatWasAskedAndEndsWithTheExitCode)
{
    WriteReport("site/a.vkh", FitReportLines());
    WriteBytes("site/junk.vkh", {'x'});
    const std::string site = Shown(folder_ / "site");
    const fs::path csvFile = folder_ / "out.csv";
    const fs::path htmlFile = folder_ / "out.html";

    std::ostringstream out, err;
    EXPECT_EQ(RunSummary({folder_ / "site"}, out, err), 1);
    EXPECT_EQ(err.str(), "quor-kelvra-summary: skipped " + site + "/junk.vkh: holds no known report label\n");
    const std::string csv = out.str();
    EXPECT_NE(csv.find("\r\n" + site + "/a.vkh,1,0,value of Operating System,1,"), std::string::npos);

    std::ostringstream fileOut, fileErr;
    EXPECT_EQ(RunSummary({"--csv", csvFile, "--html", htmlFile, "--json", "-", folder_ / "site"}, fileOut, fileErr), 1);
    std::ifstream written(csvFile, std::ios::binary);
    const std::string fileText((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    written.close();  // Windows removes no file held open
    EXPECT_EQ(fileText, std::string(kUtf8ByteOrderMark) + csv);
    EXPECT_TRUE(fs::exists(htmlFile));
    EXPECT_EQ(nlohmann::json::parse(fileOut.str())["totals"]["fit"], 1);

    const struct {
        std::vector<fs::path> arguments;
        int code;
    } cases[] = {
        {{folder_ / "site" / "a.vkh"}, 0},
        {{folder_ / "site" / "junk.vkh"}, 2},
        {{folder_ / "nothing-here"}, 2},
        {{"--bogus", folder_ / "site"}, 2},
        {{"--csv", folder_ / "no-such-folder" / "x.csv", folder_ / "site" / "a.vkh"}, 2},
    };
    for (const auto& c : cases) {
        std::ostringstream caseOut, caseErr;
        EXPECT_EQ(RunSummary(c.arguments, caseOut, caseErr), c.code) << caseErr.str();
    }
    // Items the site does not judge: shown as skipped, counted against no PC, in every output.
    std::vector<CString> noUser = FitReportLines();
    noUser[kItemUserName] = u"Username: :0";
    noUser[kItemHardDrive] = u"Hard Drive Size: Error 0x80041003:0";
    WriteReport("skipping/b.vkh", noUser);
    std::ostringstream skipOut, skipErr;
    const fs::path skipHtml = folder_ / "skip.html", skipCsv = folder_ / "skip.csv";
    EXPECT_EQ(RunSummary({"--skip", "Username,Hard Drive Size", "--json", "-", "--csv", skipCsv, "--html", skipHtml,
                          folder_ / "skipping"},
                         skipOut, skipErr),
              0)
        << skipErr.str();
    const nlohmann::json skipping = nlohmann::json::parse(skipOut.str());
    EXPECT_EQ(skipping["reports"][0]["fit"], true);
    EXPECT_EQ(skipping["reports"][0]["failed"], 0);
    EXPECT_EQ(skipping["reports"][0]["items"][kItemUserName]["judged"], false);
    EXPECT_EQ(skipping["reports"][0]["items"][kItemUserName]["pass"], false) << "the report's own verdict";
    EXPECT_FALSE(skipping["reports"][0]["items"][kItemLocale].contains("judged"));
    EXPECT_EQ(skipping["totals"]["fit"], 1);
    EXPECT_EQ(skipping["totals"]["unknown"], 0);
    EXPECT_EQ(skipping["totals"]["failing"]["Username"], 0);
    const std::string skipRow = Contents(skipCsv);
    EXPECT_NE(skipRow.find("/b.vkh,1,0,"), std::string::npos) << skipRow;
    EXPECT_NE(skipRow.find("value of Locale,1,,skipped,"), std::string::npos) << skipRow;
    EXPECT_NE(skipRow.find(",Error 0x80041003,skipped,"), std::string::npos) << skipRow;
    EXPECT_EQ(skipRow.substr(skipRow.size() - 4), "Z,\r\n") << "a skipped item is not listed as judged on an error";
    const std::string page = Contents(skipHtml);
    EXPECT_NE(page.find("<h1>1 of 1 PCs fit</h1>"), std::string::npos);
    EXPECT_NE(page.find("Not judged at this site, so counted against no PC: Username, Hard Drive Size.</p>"),
              std::string::npos);
    EXPECT_NE(page.find("title=\"skipped: not judged\">Error 0x80041003 <i>(skipped)</i></td>"), std::string::npos);

    std::ostringstream usageOut, usageErr;
    RunSummary({"--bogus", "site"}, usageOut, usageErr);
    EXPECT_NE(usageErr.str().find("Usage: quor-kelvra-summary"), std::string::npos);
    EXPECT_EQ(usageOut.str(), "");

    // An output can never destroy an input, however it is named; nothing at all is written then.
    const fs::path report = folder_ / "site" / "a.vkh";
    std::ifstream before(report, std::ios::binary);
    const std::string reportBytes((std::istreambuf_iterator<char>(before)), std::istreambuf_iterator<char>());
    before.close();
    struct Refused {
        std::vector<fs::path> arguments;
        std::string message;
    };
    // "--csv PC-01.vkh PC-02.vkh", the output's name forgotten, and a report kept under another name.
    WriteReport("elsewhere/PC-01.vkh", FitReportLines());
    WriteReport("elsewhere/PC-02.vkh", FitReportLines());
    WriteReport("elsewhere/kept-report.txt", FitReportLines());
    const fs::path forgotten = folder_ / "elsewhere" / "PC-01.vkh";
    const fs::path keptReport = folder_ / "elsewhere" / "kept-report.txt";
    std::vector<Refused> refused = {
        {{"--csv", report, report}, "--csv " + Shown(report) + " has a report's name"},
        {{"--html", folder_ / "site" / "new.vkh", folder_ / "site"}, "has a report's name"},
        {{"--csv", csvFile, "--html", folder_ / "." / "out.csv", report}, "--csv and --html name the same file"},
        {{"--csv", forgotten, folder_ / "elsewhere" / "PC-02.vkh"}, "--csv " + Shown(forgotten) + " has a report's name"},
        {{"--json", keptReport, report}, "--json " + Shown(keptReport) + " is a report"},
    };
    if (MakeLink(folder_ / "site", folder_ / "site-link", true)) {
        refused.push_back({{"--json", folder_ / "site-link" / "a.vkh", "--csv", csvFile, report}, "has a report's name"});
        refused.push_back({{"--csv", folder_ / "site-link" / "a.txt", "--json", folder_ / "site" / "a.txt", report},
                           "--csv and --json name the same file"});
    }
    // Through a link, what it leads to decides: a damaged report in the site, a report's name not
    // there yet, one file not there yet by two links.
    if (MakeLink(folder_ / "site" / "junk.vkh", folder_ / "onto-junk.csv", false) &&
        MakeLink(folder_ / "site" / "new.vkh", folder_ / "dangling.csv", false) &&
        MakeLink(folder_ / "not-yet.txt", folder_ / "one.txt", false) &&
        MakeLink(folder_ / "not-yet.txt", folder_ / "two.txt", false)) {
        refused.push_back({{"--csv", folder_ / "onto-junk.csv", report}, "onto-junk.csv leads to a report's name"});
        refused.push_back({{"--html", folder_ / "dangling.csv", report}, "dangling.csv leads to a report's name"});
        refused.push_back({{"--csv", folder_ / "one.txt", "--json", folder_ / "two.txt", report},
                           "--csv and --json name the same file"});
    }
    fs::remove(csvFile);
    for (const auto& c : refused) {
        std::ostringstream caseOut, caseErr;
        EXPECT_EQ(RunSummary(c.arguments, caseOut, caseErr), 2);
        EXPECT_NE(caseErr.str().find(c.message), std::string::npos) << caseErr.str();
        EXPECT_NE(caseErr.str().find(": nothing was written"), std::string::npos) << caseErr.str();
    }
    std::ifstream after(report, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), std::istreambuf_iterator<char>()), reportBytes);
    for (const fs::path& kept : {forgotten, keptReport})
        EXPECT_EQ(ReadReportFile(kept).row->FailedCount(), 0) << Shown(kept) << " was written over";
    EXPECT_FALSE(fs::exists(csvFile));
    EXPECT_FALSE(fs::exists(folder_ / "site" / "new.vkh"));
    EXPECT_EQ(Contents(folder_ / "site" / "junk.vkh"), "x");
    EXPECT_FALSE(fs::exists(folder_ / "not-yet.txt"));
    // An output named by a link is replaced where the link leads, and the link stays a link.
    if (MakeLink(folder_ / "elsewhere" / "kept.csv", folder_ / "kept-link.csv", false)) {
        std::ostringstream linkOut, linkErr;
        EXPECT_EQ(RunSummary({"--csv", folder_ / "kept-link.csv", report}, linkOut, linkErr), 0) << linkErr.str();
        EXPECT_TRUE(fs::is_symlink(folder_ / "kept-link.csv"));
        EXPECT_NE(Contents(folder_ / "elsewhere" / "kept.csv").find("/a.vkh,1,0,"), std::string::npos);
    }

    // An output that cannot be written says why, in the system's words.
    std::ostringstream missingOut, missingErr;
    EXPECT_EQ(RunSummary({"--csv", folder_ / "no-such-folder" / "x.csv", report}, missingOut, missingErr), 2);
    const std::string noFolder = std::system_category().message(
#ifdef _WIN32
        ERROR_PATH_NOT_FOUND
#else
        ENOENT
#endif
    );
    EXPECT_NE(missingErr.str().find("x.csv could not be written: " + noFolder), std::string::npos) << missingErr.str();

    // Control characters from a report or a file name never reach a terminal raw; a file keeps them.
    std::vector<CString> lines = FitReportLines();
    lines[kItemUserName] = u"Username: \x1B[2J\x1B]0;owned\x07:1";
    WriteReport("odd/pc.vkh", lines);
#ifdef _WIN32
    const bool oddName = false;  // Windows names hold no control characters
#else
    const bool oddName = true;
    WriteBytes("odd/\x1B[31mred.vkh", {'x'});
#endif
    std::ostringstream terminalOut, terminalErr;
    EXPECT_EQ(RunSummary({folder_ / "odd"}, terminalOut, terminalErr, true), oddName ? 1 : 0);
    EXPECT_NE(terminalOut.str().find(",\\x1b[2J\\x1b]0;owned\\x07,1,"), std::string::npos) << terminalOut.str();
    if (oddName) {
        EXPECT_NE(terminalErr.str().find("/odd/\\x1b[31mred.vkh: holds no known report label"), std::string::npos);
    }
    for (const std::string& shown : {terminalOut.str(), terminalErr.str()})
        EXPECT_EQ(shown.find('\x1B'), std::string::npos);
    EXPECT_EQ(RunSummary({"--csv", csvFile, folder_ / "odd"}, terminalOut, terminalErr, true), oddName ? 1 : 0);
    std::ifstream kept(csvFile, std::ios::binary);
    EXPECT_NE(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()).find("\x1B[2J"),
              std::string::npos);
}

namespace {

// The system's files but for the one output whose name ends as given: its disk fills after
// `limit` bytes, or its process is killed there, or it takes its bytes a few at a time, as a slow
// share does, so that two runs at once interleave.
class FaultySinks : public OutputSinks {
public:
    enum class Fault { FullDisk, Kill, Slow };
    FaultySinks(std::string suffix, Fault fault, std::size_t limit = 0)
        : suffix_(std::move(suffix)), fault_(fault), limit_(limit)
    {
    }

    std::unique_ptr<OutputSink> Open(const fs::path& target, bool straight, std::string& why) override
    {
        std::unique_ptr<OutputSink> real = SystemOutputSinks().Open(target, straight, why);
        const std::string name = target.filename().string();
        if (!real || name.size() < suffix_.size() || name.compare(name.size() - suffix_.size(), suffix_.size(), suffix_) != 0)
            return real;
        return std::make_unique<Faulty>(std::move(real), fault_, limit_);
    }

private:
    class Faulty : public OutputSink {
    public:
        Faulty(std::unique_ptr<OutputSink> real, Fault fault, std::size_t limit)
            : real_(std::move(real)), fault_(fault), limit_(limit)
        {
        }
        bool Put(const char* data, std::size_t size, std::string& why) override
        {
            if (fault_ == Fault::Slow) {
                for (std::size_t at = 0; at < size; at += 64) {
                    if (!real_->Put(data + at, std::min<std::size_t>(64, size - at), why))
                        return false;
                }
                return true;
            }
            const std::size_t fits = std::min(size, limit_ - put_);
            put_ += fits;
            if (!real_->Put(data, fits, why) || fits == size)
                return fits == size;
#ifndef _WIN32
            if (fault_ == Fault::Kill)
                _exit(9);
#endif
            why = "No space left on device";
            return false;
        }
        bool Finish(std::string& why) override { return real_->Finish(why); }
        bool Commit(std::string& why) override { return real_->Commit(why); }
        void Abandon() override { real_->Abandon(); }

    private:
        std::unique_ptr<OutputSink> real_;
        Fault fault_;
        std::size_t limit_;
        std::size_t put_ = 0;
    };

    std::string suffix_;
    Fault fault_;
    std::size_t limit_;
};

std::vector<std::string> PartialsIn(const fs::path& folder)
{
    std::vector<std::string> partials;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".partial")
            partials.push_back(entry.path().filename().string());
    }
    return partials;
}

}  // namespace

TEST_F(SummaryFiles, EachEarlierOutputSurvivesWhatAnyOutputMeetsAndEachNewOneIsWhole)
{
    for (int pc = 0; pc < 40; ++pc)
        WriteReport("site/PC-" + std::to_string(pc) + ".vkh", FitReportLines());
    const fs::path outputs = folder_ / "out";
    fs::create_directories(outputs);
    const fs::path csv = outputs / "s.csv", json = outputs / "s.json", html = outputs / "s.html";
    const std::vector<fs::path> all = {"--csv", csv, "--json", json, "--html", html, folder_ / "site"};
    std::ostringstream out, err;
    ASSERT_EQ(RunSummary(all, out, err), 0) << err.str();
    const std::map<fs::path, std::string> earlier = {{csv, Contents(csv)}, {json, Contents(json)}, {html, Contents(html)}};
    WriteReport("site/PC-new.vkh", FitReportLines());
    const auto expectEarlierKept = [&](const std::string& why) {
        for (const auto& [path, bytes] : earlier)
            EXPECT_EQ(Contents(path), bytes) << Shown(path) << " after " << why;
        EXPECT_EQ(PartialsIn(outputs), std::vector<std::string>()) << why;
    };

    // An output that cannot be made stops the run before anything is written.
    std::ostringstream noFolderOut, noFolderErr;
    EXPECT_EQ(RunSummary({"--csv", csv, "--json", json, "--html", folder_ / "no-such-folder" / "s.html", folder_ / "site"},
                         noFolderOut, noFolderErr),
              2);
    EXPECT_NE(noFolderErr.str().find("s.html could not be written: "), std::string::npos) << noFolderErr.str();
    EXPECT_NE(noFolderErr.str().find("; no other output was replaced\n"), std::string::npos) << noFolderErr.str();
    expectEarlierKept("an output that cannot be made");

    // A disk that fills part-way through one output: every earlier output kept, the reason said.
    for (const std::string full : {"s.json", "s.csv", "s.html"}) {
        FaultySinks sinks(full, FaultySinks::Fault::FullDisk, 1000);
        std::ostringstream fullOut, fullErr;
        EXPECT_EQ(RunSummary(all, fullOut, fullErr, false, sinks), 2);
        EXPECT_NE(fullErr.str().find(full + " could not be written completely: No space left on device; the earlier " +
                                     Shown(outputs / full) + " was kept, and no other output was replaced"),
                  std::string::npos)
            << fullErr.str();
        expectEarlierKept("a full disk on " + full);
    }

#ifndef _WIN32
    // A run killed part-way: the names hold the earlier files; only its partial files are left.
    const pid_t child = fork();
    if (child == 0) {
        FaultySinks sinks("s.json", FaultySinks::Fault::Kill, 1000);
        std::ostringstream killedOut, killedErr;
        RunSummary(all, killedOut, killedErr, false, sinks);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 9) << "killed while it wrote";
    for (const auto& [path, bytes] : earlier)
        EXPECT_EQ(Contents(path), bytes) << Shown(path) << " after a kill";
    EXPECT_EQ(PartialsIn(outputs).size(), 3u);
    for (const std::string& partial : PartialsIn(outputs))
        fs::remove(outputs / partial);
#endif

    // Two runs at once on the same outputs, their writes interleaved: both end well, and each
    // output is one run's whole.
    int codes[2] = {-1, -1};
    std::ostringstream firstErr, secondErr;
    FaultySinks slow("", FaultySinks::Fault::Slow);
    ForEachInParallel(2, [&](std::size_t run) {
        std::ostringstream runOut;
        codes[run] = RunSummary(all, runOut, run == 0 ? firstErr : secondErr, false, slow);
    });
    EXPECT_EQ(codes[0], 0) << firstErr.str();
    EXPECT_EQ(codes[1], 0) << secondErr.str();
    EXPECT_EQ(nlohmann::json::parse(Contents(json))["totals"]["reports"], 41);
    const std::string csvText = Contents(csv);
    EXPECT_EQ(std::count(csvText.begin(), csvText.end(), '\n'), 42);
    EXPECT_EQ(csvText.rfind(kUtf8ByteOrderMark, 0), 0u) << "one byte-order mark, at the start";
    EXPECT_EQ(csvText.find(kUtf8ByteOrderMark, 1), std::string::npos);
    EXPECT_NE(Contents(html).find("41 of 41 PCs fit"), std::string::npos);
    EXPECT_EQ(PartialsIn(outputs), std::vector<std::string>());

#ifndef _WIN32
    // What is not a regular file is written straight through, never read or replaced: a FIFO,
    // and a pipe as a shell's ">(gzip > s.csv.gz)" names it. In the site, it is skipped unopened.
    const fs::path fifo = outputs / "s.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string fromFifo;
    std::thread reader([&] { fromFifo = Contents(fifo); });
    std::ostringstream fifoOut, fifoErr;
    EXPECT_EQ(RunSummary({"--csv", fifo, folder_ / "site"}, fifoOut, fifoErr), 0) << fifoErr.str();
    reader.join();
    EXPECT_EQ(fromFifo, csvText);
    EXPECT_TRUE(fs::is_fifo(fifo));
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::ostringstream pipeOut, pipeErr;
    EXPECT_EQ(RunSummary({"--json", "/dev/fd/" + std::to_string(ends[1]), folder_ / "site" / "PC-1.vkh"}, pipeOut, pipeErr), 0)
        << pipeErr.str();
    close(ends[1]);
    std::string fromPipe(65536, '\0');
    fromPipe.resize(static_cast<std::size_t>(std::max<ssize_t>(0, read(ends[0], &fromPipe[0], fromPipe.size()))));
    close(ends[0]);
    EXPECT_EQ(nlohmann::json::parse(fromPipe)["totals"]["reports"], 1);

    ASSERT_EQ(mkfifo((folder_ / "site" / "waits.vkh").c_str(), 0600), 0);
    std::ostringstream siteOut, siteErr;
    EXPECT_EQ(RunSummary({"--csv", csv, folder_ / "site"}, siteOut, siteErr), 1);
    EXPECT_NE(siteErr.str().find("skipped " + Shown(folder_ / "site" / "waits.vkh") + ": cannot be read: not a regular file"),
              std::string::npos)
        << siteErr.str();
    EXPECT_EQ(Contents(csv), csvText);
#endif
}

TEST_F(SummaryFiles, ASecondSummaryNamesWhatChangedSinceTheFirst)
{
    // The site a week ago: four PCs, one with a small disk.
    std::vector<CString> smallDisk = FitReportLines();
    smallDisk[kItemHardDrive] = u"Hard Drive Size: 120 GB:0";
    std::vector<CString> brokenWmi = FitReportLines();
    brokenWmi[kItemProcessor] = u"Processor Speed: Error 0x80041003:0";
    brokenWmi[kItemHardDrive] = u"Hard Drive Size: Error 0x80041003:0";
    WriteReport("week1/PC-01.vkh", FitReportLines());
    WriteReport("week1/PC-02.vkh", smallDisk);
    WriteReport("week1/floor 2/PC-03.vkh", FitReportLines());
    WriteReport("week1/PC-04.vkh", FitReportLines());
    const fs::path first = folder_ / "first.json";
    std::ostringstream out, err;
    ASSERT_EQ(RunSummary({"--json", first, folder_ / "week1"}, out, err), 0) << err.str();

    // A week on, named by another folder: PC-02's disk replaced, PC-03 renamed in another case and
    // its WMI broken, PC-04 gone, PC-05 new and PC-01 as it was.
    WriteReport("week2/PC-01.vkh", FitReportLines());
    WriteReport("week2/PC-02.vkh", FitReportLines());
    WriteReport("week2/FLOOR 2/pc-03.VKH", brokenWmi);
    WriteReport("week2/PC-05.vkh", smallDisk);
    const fs::path csv = folder_ / "second.csv";
    const fs::path json = folder_ / "second.json";
    const fs::path html = folder_ / "second.html";
    ASSERT_EQ(RunSummary({"--since", first, "--csv", csv, "--json", json, "--html", html, folder_ / "week2"}, out, err),
              0)
        << err.str();

    const nlohmann::json second = nlohmann::json::parse(std::ifstream(json));
    std::map<std::string, std::pair<std::string, std::vector<std::string>>> changes;
    for (const auto& report : second["reports"])
        changes[PcKey(report["pc"].get<std::string>())] = {report["change"],
                                                           report["changedItems"].get<std::vector<std::string>>()};
    using Changed = std::pair<std::string, std::vector<std::string>>;
    EXPECT_EQ(changes[PcKey("pc-01.vkh")], Changed("unchanged", {}));
    EXPECT_EQ(changes[PcKey("pc-02.vkh")], Changed("became fit", {"Hard Drive Size: fail -> pass"}));
    EXPECT_EQ(changes[PcKey("floor 2/pc-03.vkh")],
              Changed("became unknown", {"Processor Speed: pass -> unknown", "Hard Drive Size: pass -> unknown"}));
    EXPECT_EQ(changes[PcKey("pc-05.vkh")], Changed("new", {}));
    ASSERT_EQ(second["gone"].size(), 1u);
    EXPECT_EQ(second["gone"][0]["pc"], "PC-04.vkh");
    EXPECT_EQ(second["gone"][0]["fit"], true);
    EXPECT_EQ(second["since"]["totals"], nlohmann::json({{"reports", 4}, {"fit", 3}, {"unknown", 0}}));
    EXPECT_EQ(second["since"]["date"].get<std::string>().size(), 20u) << "the first summary's own date";
    EXPECT_EQ(second["since"]["new"], 1);
    EXPECT_EQ(second["since"]["gone"], 1);
    EXPECT_EQ(second["since"]["becameFit"], 1);
    EXPECT_EQ(second["since"]["becameUnknown"], 1);

    // The CSV: two columns after every one a script reads today, and the gone PC's last state.
    std::ifstream csvFile(csv, std::ios::binary);
    const std::string csvText((std::istreambuf_iterator<char>(csvFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(csvText.find(",Written,Judged on errors,Change,Changed items\r\n"), std::string::npos);
    EXPECT_NE(csvText.find(",became fit,Hard Drive Size: fail -> pass\r\n"), std::string::npos) << csvText;
    EXPECT_NE(csvText.find(",became unknown,Processor Speed: pass -> unknown; Hard Drive Size: pass -> unknown\r\n"),
              std::string::npos);
    EXPECT_NE(csvText.find("/PC-04.vkh,1,"), std::string::npos);
    EXPECT_NE(csvText.find(",gone,\r\n"), std::string::npos);

    // The page: the panel's counts link to their PCs, and each row says its change.
    std::ifstream htmlFile(html, std::ios::binary);
    const std::string page((std::istreambuf_iterator<char>(htmlFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(page.find("<a href=\"#change=new\" title=\"Show only these PCs\">1 new</a>"), std::string::npos);
    EXPECT_NE(page.find("<a href=\"#change=became%20fit\""), std::string::npos);
    EXPECT_NE(page.find("<a href=\"#change=gone\""), std::string::npos);
    EXPECT_NE(page.find("0 became unfit"), std::string::npos);
    EXPECT_NE(page.find("Fit then: 75 % (3 of 4); now: 50 % (2 of 4)."), std::string::npos);
    EXPECT_NE(page.find("<tr data-change=\"gone\">"), std::string::npos);
    EXPECT_NE(page.find("<td>became fit: Hard Drive Size: fail -&gt; pass</td>"), std::string::npos);

    // Earlier files that cannot be compared with end with 2 and write nothing; their values are
    // data like a report's.
    const std::string notOurs = "is not a summary written by quor-kelvra-summary --json";
    const std::string broken = "is truncated or no JSON";
    const std::string empty = R"(, "reports": [], "totals": {}})";
    std::string thousandsOfNothing = R"({"format": 1, "reports": [)";
    for (int i = 0; i < 200000; ++i)
        thousandsOfNothing += "{},";
    thousandsOfNothing += R"({}], "totals": {}})";
    const std::vector<std::pair<std::string, std::string>> hostile = {
        {"[1, 2]", notOurs},
        {"{\"reports\": [{\"report\": \"a\"", broken},
        {"{\"format\": 99, \"reports\": [], \"totals\": {}}", "comes from a newer quor-kelvra-summary (format 99)"},
        {"{\"totals\": {}}", notOurs},
        {"not json at all", broken},
        // Each entry names its PC once, by a text of a path's length, and says whether it was fit.
        {thousandsOfNothing, "holds an entry of \"reports\" that names no PC"},
        {R"({"format": 1, "reports": [{"pc": "a.vkh", "fit": true}, {"pc": "A.VKH", "fit": false}], "totals": {}})",
         "names one PC twice: A.VKH and a.vkh"},
        {R"({"format": 1, "reports": [{"pc": "a.vkh"}], "totals": {}})", "does not say whether a.vkh was fit"},
        {R"({"format": 1, "reports": [{"pc": 7, "fit": true}], "totals": {}})", notOurs},
        {R"({"format": 1, "reports": [{"pc": "a", "report": {}, "fit": true}], "totals": {}})", notOurs},
        {R"({"format": 1, "reports": [{"pc": "a", "fit": true}, {"report": "b", "fit": true}], "totals": {}})",
         "names some PCs by \"pc\" and others by their report alone"},
        {R"({"format": 1, "reports": [{"pc": ")" + std::string(200000, 'x') + R"(", "fit": true}], "totals": {}})",
         "longer than any report's path"},
        // Whose summary, of which format, written whole.
        {R"({"format": 2.0)" + empty, notOurs},
        {R"({"format": "2")" + empty, notOurs},
        {R"({"format": 3)" + empty, "comes from a newer quor-kelvra-summary (format 3)"},
        {R"({"program": "quor-kelvra-summary")" + empty, notOurs},
        {R"({"program": "another-summary", "format": 1)" + empty, notOurs},
        {R"({"format": 1, "reports": []})", notOurs},
        {R"({"format": 1, "totals": {}, "totals": {}, "reports": []})", notOurs},
        // What no JSON parser would take.
        {R"({"format": 1, "reports": [], "totals": {}} x)", broken + " (at byte 43)"},
        {R"({"format": 1, "date": "\x")" + empty, broken + " (at byte 23)"},
        {"{\"format\": 1, \"date\": \"\x01\"" + empty, broken},
        {"{\"format\": 1, \"date\": \"caf\xE9\"" + empty, broken},
        {R"({"format": 1, "date": "\ud800")" + empty, broken},
        {R"({"format": 1, "x": 01)" + empty, broken},
        {R"({"format": 1, "x": 1.)" + empty, broken},
        {R"({"format": 1, "x": )" + std::string(16, '[') + std::string(16, ']') + empty, notOurs},
    };
    for (const auto& [text, why] : hostile) {
        const fs::path earlier = folder_ / "earlier.json";
        std::ofstream(earlier, std::ios::binary) << text;
        const fs::path untouched = folder_ / "untouched.csv";
        std::ostringstream caseOut, caseErr;
        EXPECT_EQ(RunSummary({"--since", earlier, "--csv", untouched, folder_ / "week2"}, caseOut, caseErr), 2) << text;
        EXPECT_NE(caseErr.str().find(why), std::string::npos) << caseErr.str();
        EXPECT_FALSE(fs::exists(untouched)) << text;
    }
    std::ofstream(folder_ / "edited.json", std::ios::binary)
        << "{\"format\": 1, \"reports\": [{\"report\": \"=cmd|' /C calc'!A0\\u001b[2J\", \"pc\": \"x\", \"fit\": true}], \"totals\": {}}";
    std::ostringstream editedOut, editedErr;
    EXPECT_EQ(RunSummary({"--since", folder_ / "edited.json", "--csv", "-", folder_ / "week2"}, editedOut, editedErr), 0);
    EXPECT_NE(editedOut.str().find("\"'=cmd|' /C calc'!A0"), std::string::npos) << "a gone PC's name is neutralised";

    // Read soundly: a value as long as a report holds, totals counted from the entries whatever the
    // file says, a summary from before PCs had names (keyed by their reports), and the first
    // summary itself, alike in blocks of any size.
    const std::string longValue(200000, 'x');
    const struct {
        std::string text;
        long long reports, fit, unknown;
        bool keyedByReport;
        std::string key, pc, report;
        ItemVerdict userName;
    } sound[] = {
        {R"({"format": 1, "reports": [{"pc": "a.vkh", "report": "w/a.vkh", "fit": true, "items": [{"label": "Username", "value": ")" +
             longValue + R"(", "pass": true}]}], "totals": {}})",
         1, 1, 0, false, "A.VKH", "a.vkh", "w/a.vkh", ItemVerdict::Pass},
        {R"({"format": 1, "reports": [{"pc": "b\u00e9.vkh", "report": "elsewhere", "fit": null}, {"pc": "a", "fit": true}],
            "totals": {"reports": 9223372036854775807, "fit": 9223372036854775807}})",
         2, 1, 1, false, "A", "a", "a", ItemVerdict::Missing},
        {R"({"reports": [{"report": "w\\A.vkh", "fit": false, "items": []}], "skipped": [], "totals": {}})", 1, 0, 0, true,
         "W/A.VKH", "w\\A.vkh", "w\\A.vkh", ItemVerdict::Missing},
    };
    for (const auto& c : sound) {
        std::istringstream in(c.text);
        PreviousSummary previous;
        std::string why;
        ASSERT_TRUE(ReadPreviousSummary(in, previous, why, 7)) << why;
        EXPECT_EQ(std::make_tuple(previous.reports, previous.fit, previous.unknown, previous.keyedByReport),
                  std::make_tuple(c.reports, c.fit, c.unknown, c.keyedByReport));
        EXPECT_EQ(previous.pcs.front().Key(), c.key);
        EXPECT_EQ(previous.pcs.front().Pc(), c.pc);
        EXPECT_EQ(previous.pcs.front().Report(), c.report);
        EXPECT_EQ(previous.pcs.front().items[kItemUserName], c.userName);
    }
    std::ifstream whole(first, std::ios::binary), inBlocks(first, std::ios::binary);
    PreviousSummary fromWhole, fromBlocks;
    std::string wholeWhy, blocksWhy;
    ASSERT_TRUE(ReadPreviousSummary(whole, fromWhole, wholeWhy));
    ASSERT_TRUE(ReadPreviousSummary(inBlocks, fromBlocks, blocksWhy, 5)) << blocksWhy;
    ASSERT_EQ(fromWhole.pcs.size(), 4u);
    ASSERT_EQ(fromBlocks.pcs.size(), 4u);
    for (std::size_t p = 0; p < 4; ++p) {
        EXPECT_EQ(fromBlocks.pcs[p].Report(), fromWhole.pcs[p].Report());
        EXPECT_EQ(fromBlocks.pcs[p].Pc(), fromWhole.pcs[p].Pc());
        EXPECT_EQ(fromBlocks.pcs[p].items, fromWhole.pcs[p].items);
    }
    EXPECT_EQ(fromWhole.pcs[2].Pc(), "PC-02.vkh");
    EXPECT_EQ(fromWhole.pcs[2].items[kItemHardDrive], ItemVerdict::Fail);
    // The earlier summary is never an output.
    std::ostringstream overOut, overErr;
    EXPECT_EQ(RunSummary({"--since", first, "--json", first, folder_ / "week2"}, overOut, overErr), 2);
    EXPECT_NE(overErr.str().find("is the earlier summary to compare with"), std::string::npos) << overErr.str();
}

TEST_F(SummaryFiles, APcNamedInAnotherCaseOrNotInUtf8IsTheSameNextWeek)
{
#ifndef _WIN32
    // Under Wine the suite's own files beyond ASCII are not kept by MinGW's library, and Windows
    // names are always Unicode: the walk's names are compared through their keys below there.
    WriteReport("week1/étage/PC.vkh", FitReportLines());
    WriteReport("week2/ÉTAGE/pc.VKH", FitReportLines());
    // A Linux name of Latin-1 bytes: the JSON holds U+FFFD for its 'é', and today's walk the byte.
    WriteReport("week1/caf\xE9.vkh", FitReportLines());
    WriteReport("week2/caf\xE9.vkh", FitReportLines());
    const fs::path first = folder_ / "first.json";
    const fs::path second = folder_ / "second.json";
    std::ostringstream out, err;
    ASSERT_EQ(RunSummary({"--json", first, folder_ / "week1"}, out, err), 0) << err.str();
    ASSERT_EQ(RunSummary({"--since", first, "--json", second, folder_ / "week2"}, out, err), 0) << err.str();
    const nlohmann::json since = nlohmann::json::parse(std::ifstream(second))["since"];
    EXPECT_EQ(since["unchanged"], 2);
    EXPECT_EQ(since["new"], 0);
    EXPECT_EQ(since["gone"], 0);
#endif

    // Letter by letter as Windows folds them: the same name, and names that stay apart.
    const std::pair<std::string, std::string> same[] = {
        {"ÿ/ž/ł/ā", "Ÿ/Ž/Ł/Ā"}, {"σας/ά/ύ", "ΣΑΣ/Ά/Ύ"}, {"щука/ё/ѣ/ӂ", "ЩУКА/Ё/Ѣ/Ӂ"}, {"a\\b", "A/B"},
        {"caf\xE9", "caf\xEF\xBF\xBD"},
    };
    for (const auto& [a, b] : same)
        EXPECT_EQ(PcKey(a), PcKey(b)) << a;
    const std::pair<std::string, std::string> apart[] = {{"ß", "ss"}, {"ß", "SS"}, {"ı", "i"}, {"ſ", "s"}};
    for (const auto& [a, b] : apart)
        EXPECT_NE(PcKey(a), PcKey(b)) << a;
}

TEST_F(SummaryFiles, APcWhoseReportOrFolderCannotBeReadTodayIsNotGone)
{
    for (const char* name : {"PC-01.vkh", "PC-02.vkh", "floor 2/PC-03.vkh", "floor 2/PC-04.vkh"})
        WriteReport(std::string("site/") + name, FitReportLines());
    const fs::path first = folder_ / "first.json";
    std::ostringstream out, err;
    ASSERT_EQ(RunSummary({"--json", first, folder_ / "site"}, out, err), 0) << err.str();

    // A week on, PC-02's report is damaged and PC-01 gone; the floor's folder is unreadable where
    // the system lets it be so (not for the superuser).
    fs::remove(folder_ / "site" / "PC-01.vkh");
    WriteBytes("site/PC-02.vkh", {'x'});
    const fs::path floor = folder_ / "site" / "floor 2";
    fs::permissions(floor, fs::perms::none);
    const bool floorUnreadable = !std::ifstream(floor / "PC-03.vkh");
    WriteReport("site/PC-05.vkh", FitReportLines());
    const fs::path csv = folder_ / "second.csv", json = folder_ / "second.json", html = folder_ / "second.html";
    std::ostringstream secondOut, secondErr;
    EXPECT_EQ(RunSummary({"--since", first, "--csv", csv, "--json", json, "--html", html, folder_ / "site"}, secondOut,
                         secondErr),
              1);
    fs::permissions(floor, fs::perms::owner_all);
    const nlohmann::json second = nlohmann::json::parse(std::ifstream(json));
    EXPECT_EQ(second["since"]["gone"], 1);
    EXPECT_EQ(second["since"]["notRead"], floorUnreadable ? 3 : 1);
    EXPECT_EQ(second["since"]["unchanged"], floorUnreadable ? 0 : 2);
    ASSERT_EQ(second["gone"].size(), 1u);
    EXPECT_EQ(second["gone"][0]["pc"], "PC-01.vkh");
    std::vector<std::string> notRead;
    for (const auto& pc : second["notRead"])
        notRead.push_back(pc["pc"]);
    const std::vector<std::string> expected =
        floorUnreadable ? std::vector<std::string>{"floor 2/PC-03.vkh", "floor 2/PC-04.vkh", "PC-02.vkh"}
                        : std::vector<std::string>{"PC-02.vkh"};
    EXPECT_EQ(notRead, expected);
    EXPECT_NE(Contents(csv).find("/PC-02.vkh,1,,,1,"), std::string::npos);
    EXPECT_NE(Contents(csv).find(",not read,\r\n"), std::string::npos);
    EXPECT_NE(Contents(html).find("<a href=\"#change=not%20read\" title=\"Show only these PCs\">" +
                                  std::string(floorUnreadable ? "3" : "1") + " not read</a>"),
              std::string::npos);
    EXPECT_NE(Contents(html).find("<tr data-change=\"not read\">"), std::string::npos);

    // A summary from before PCs had names knows each by its report's path as it was shown.
    const fs::path old = folder_ / "old.json";
    std::ofstream(old, std::ios::binary) << "{\"reports\": [{\"report\": " << JsonString(Shown(folder_ / "site" / "PC-05.vkh"))
                                         << ", \"fit\": true}], \"skipped\": [], \"totals\": {}}";
    std::ostringstream oldOut, oldErr;
    EXPECT_EQ(RunSummary({"--since", old, "--json", json, folder_ / "site" / "PC-05.vkh"}, oldOut, oldErr), 0) << oldErr.str();
    EXPECT_EQ(nlohmann::json::parse(std::ifstream(json))["reports"][0]["change"], "unchanged");
}
