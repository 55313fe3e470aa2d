// The site summary: reading report files, walking folders, the three writers and the program's
// command line and exit codes. Report files are written into a folder of the test's own.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "report/report_writer.h"
#include "summary/site_summary.h"
#include "summary/summary_command_line.h"
#include "summary/summary_writers.h"

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

SummaryRow RowOf(const std::string& path, const std::vector<std::pair<ResultItem, std::pair<std::string, bool>>>& items)
{
    SummaryRow row;
    row.path = path;
    for (const auto& [item, value] : items)
        row.items[item] = {true, value.first, value.second};
    return row;
}

SummaryRow FitRow(const std::string& path)
{
    SummaryRow row;
    row.path = path;
    for (SummaryItem& item : row.items)
        item = {true, "ok", true};
    return row;
}

}  // namespace

TEST(SummaryCsv, QuotesOnlyFieldsThatNeedIt)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"Windows 7 Professional", "Windows 7 Professional"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"line\r\nend", "\"line\r\nend\""},
        {"Fran\xC3\xA7" "ais", "Fran\xC3\xA7" "ais"},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(CsvField(value), expected) << value;
}

TEST(SummaryCsv, HeaderAndRowsFollowTheReportOrder)
{
    SiteSummary summary;
    summary.rows.push_back(FitRow("site/a.vkh"));
    summary.rows.push_back(RowOf("site/b,c.vkh", {{kItemOperatingSystem, {"Windows 10 Pro", false}},
                                                  {kItemLocale, {"Deutsch, \"DE\"", true}}}));
    const std::string csv = SummaryCsv(summary);
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = csv.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(csv.substr(start, end - start));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "Report,Fit,Failed,Operating System,Operating System pass,Operating System Version,"
              "Operating System Version pass,System Manufacturer,System Manufacturer pass,Processor Speed,"
              "Processor Speed pass,BIOS Version,BIOS Version pass,Locale,Locale pass,Username,Username pass,"
              "Total Physical Memory,Total Physical Memory pass,Available Physical Memory,"
              "Available Physical Memory pass,Hard Drive Size,Hard Drive Size pass,Serial Ports Detected,"
              "Serial Ports Detected pass");
    EXPECT_EQ(lines[1], "site/a.vkh,1,0,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1,ok,1");
    // One failing, one passing, nine missing: missing items count as not passing and stay empty.
    EXPECT_EQ(lines[2], "\"site/b,c.vkh\",0,10,Windows 10 Pro,0,,,,,,,,,\"Deutsch, \"\"DE\"\"\",1,,,,,,,,,,");
    EXPECT_EQ(csv.rfind(kUtf8ByteOrderMark, 0), std::string::npos);
}

TEST_F(SummaryFiles, ReadsValuesAsTheImportDoes)
{
    std::vector<CString> lines = FitReportLines();
    lines[kItemLocale] = u"Locale:  two blanks:0";         // only the first blank is the layout's
    lines.push_back(u"Username: last one wins:0");         // a later line of a label replaces it
    lines.push_back(u"Number of Processors:  2");          // a diagnostic line is not a result
    lines.push_back(u"System Manufacturer: \u00C9tude \u6771\u829D:1");
    const ReadResult result = ReadReportFile(WriteReport("r.vkh", lines));
    ASSERT_TRUE(result.row) << result.reason;
    const SummaryRow& row = *result.row;
    EXPECT_EQ(row.items[kItemOperatingSystem].value, "value of Operating System");
    EXPECT_EQ(row.items[kItemLocale].value, " two blanks");
    EXPECT_FALSE(row.items[kItemLocale].pass);
    EXPECT_EQ(row.items[kItemUserName].value, "last one wins");
    EXPECT_FALSE(row.items[kItemUserName].pass);
    EXPECT_EQ(row.items[kItemManufacturer].value, "\xC3\x89tude \xE6\x9D\xB1\xE8\x8A\x9D");
    EXPECT_EQ(row.FailedCount(), 2);
    EXPECT_FALSE(row.Fit());
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

TEST_F(SummaryFiles, WalksFoldersForReportNamesAndOrdersByPath)
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

    const SiteSummary summary = SummariseReports({folder_ / "site", given, folder_ / "missing"});
    std::vector<std::string> paths;
    for (const SummaryRow& row : summary.rows)
        paths.push_back(row.path);
    const std::string site = Shown(folder_ / "site") + "/";
    const std::vector<std::string> expected = {site + "a.Vkh", site + "b.vkh", site + "folder.vkh/c.vkh",
                                               site + "sub/deeper/A.VKH", Shown(given)};
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(paths, sorted);
    ASSERT_EQ(summary.skipped.size(), 2u);
    EXPECT_EQ(summary.skipped[0].path, Shown(folder_ / "missing"));
    EXPECT_EQ(summary.skipped[1].path, site + "sub/broken.vkh");
    EXPECT_EQ(SummaryExitCode(summary), 1);
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
    summary.rows.push_back(FitRow("a-fit.vkh"));
    summary.rows.push_back(RowOf("b-<script>.vkh", {{kItemUserName, {"<script>alert(1)</script>", false}}}));
    summary.rows.push_back(FitRow("c-fit.vkh"));
    const std::string html = SummaryHtml(summary);
    EXPECT_NE(html.find("<h1>2 of 3 PCs fit</h1>"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    const std::size_t unfit = html.find("<td>b-&lt;script&gt;.vkh"), fitA = html.find("<td>a-fit.vkh"),
                      fitC = html.find("<td>c-fit.vkh");
    ASSERT_NE(unfit, std::string::npos);
    EXPECT_LT(unfit, fitA);
    EXPECT_LT(fitA, fitC);
    // Nothing is fetched from elsewhere: no script, style sheet or image by address.
    for (const char* fetched : {"src=", "href=", "<link", "@import", "url("})
        EXPECT_EQ(html.find(fetched), std::string::npos) << fetched;
}

TEST(SummaryJson, HoldsReportsSkippedFilesAndTotals)
{
    SiteSummary summary;
    summary.rows.push_back(FitRow("a.vkh"));
    summary.rows.push_back(
        RowOf("b.vkh", {{kItemLocale, {"Fran\xC3\xA7" "ais \xE6\x97\xA5\xE6\x9C\xAC", true}}, {kItemBios, {"1999", false}}}));
    summary.skipped.push_back({"c.vkh", "holds no known report label"});
    const nlohmann::json document = nlohmann::json::parse(SummaryJson(summary));

    ASSERT_EQ(document["reports"].size(), 2u);
    const nlohmann::json& b = document["reports"][1];
    EXPECT_EQ(b["report"], "b.vkh");
    EXPECT_EQ(b["fit"], false);
    EXPECT_EQ(b["failed"], 10);
    ASSERT_EQ(b["items"].size(), 11u);
    EXPECT_EQ(b["items"][kItemLocale]["label"], "Locale");
    EXPECT_EQ(b["items"][kItemLocale]["value"], "Fran\xC3\xA7" "ais \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(b["items"][kItemLocale]["pass"], true);
    EXPECT_EQ(b["items"][kItemBios]["pass"], false);
    EXPECT_TRUE(b["items"][kItemUserName]["pass"].is_null());
    EXPECT_EQ(document["reports"][0]["fit"], true);
    EXPECT_EQ(document["skipped"][0]["path"], "c.vkh");
    EXPECT_EQ(document["skipped"][0]["reason"], "holds no known report label");
    EXPECT_EQ(document["totals"]["reports"], 2);
    EXPECT_EQ(document["totals"]["fit"], 1);
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
    };
    for (const auto& [words, error] : wrong)
        EXPECT_EQ(parse(words).error, error) << ::testing::PrintToString(words);
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
    std::ostringstream usageOut, usageErr;
    RunSummary({"--bogus", "site"}, usageOut, usageErr);
    EXPECT_NE(usageErr.str().find("Usage: quor-kelvra-summary"), std::string::npos);
    EXPECT_EQ(usageOut.str(), "");
}
