// The check run's order and failure paths, against a fake platform, a fake dialog and probes that
// deliver a chosen machine's results.
#include <gtest/gtest.h>

#include <algorithm>

#include "check/check_run.h"
#include "check/listing.h"
#include "check/run_texts.h"
#include "probes/os_identification.h"
#include "report/labels.h"
#include "report/report_writer.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_surface.h"

namespace {

// What the probes report for one machine.
struct ProbeResults {
    bool supportedOs = true;
    bool recognisedOs = true;
    CString operatingSystem = u"Microsoft Windows 7 Professional, 32-bit";
    bool solidState = false;
    std::uint64_t driveSizeGb = 150;
    CString hardDrive = u"150 GB";
    CString manufacturer = u"Dell Inc.";
    CString model = u"OptiPlex 780";
    CString userName = u"PC\\BRQ7";
    std::int32_t biosYear = 2010;
    CString biosVersion = u"2010/05/24";
    std::int32_t serialPorts = 3;
    std::int32_t totalMb = 4096;
    std::int32_t availableMb = 2048;
    CString totalMemory = u"4,096 MB";
    CString availableMemory = u"2,048 MB";
    double speedGhz = 2.394;
    CString processor = u"2.394 GHz";
    CString locale = u"English";
};

class ScriptedCheckRun : public CheckRun {
public:
    ScriptedCheckRun(Platform& platform, DialogSurface& surface, EventLog& log,
                     const ProbeResults& results)
        : CheckRun(platform, surface), log_(log), results_(results)
    {
    }

    bool GetOperatingSystemName(SystemRecord system, VersionRecord, bool* recognisedOs) override
    {
        log_.push_back("GetOperatingSystemName");
        seenSystem = system;
        *recognisedOs = results_.recognisedOs;
        m_strOperatingSystem = results_.operatingSystem;
        return results_.supportedOs;
    }
    bool GetHardDriveInfo() override
    {
        log_.push_back("GetHardDriveInfo");
        m_nHardDriveSizeGB = results_.driveSizeGb;
        m_strHardDrive = results_.hardDrive;
        return results_.solidState;
    }
    void GetComputerSystemInfo() override
    {
        log_.push_back("GetComputerSystemInfo");
        m_strManufacturer = results_.manufacturer;
        m_strModel = results_.model;
        m_strUserName = results_.userName;
    }
    void GetBiosReleaseDate() override
    {
        log_.push_back("GetBiosReleaseDate");
        m_nBiosYear = results_.biosYear;
        m_strBiosVersion = results_.biosVersion;
    }
    void GetSerialPortCount(std::int32_t* count) override
    {
        log_.push_back("GetSerialPortCount");
        *count = results_.serialPorts;
    }
    void GetPhysicalMemory() override
    {
        log_.push_back("GetPhysicalMemory");
        m_nTotalMemoryMB = results_.totalMb;
        m_nAvailableMemoryMB = results_.availableMb;
        m_strTotalMemory = results_.totalMemory;
        m_strAvailableMemory = results_.availableMemory;
    }
    void GetProcessorSpeed(double* speedGhz) override
    {
        log_.push_back("GetProcessorSpeed");
        speedOnEntry = *speedGhz;
        *speedGhz = results_.speedGhz;
        m_strProcessor = results_.processor;
    }
    void GetLocaleLanguage() override
    {
        log_.push_back("GetLocaleLanguage");
        m_strLocale = results_.locale;
    }

    SystemRecord seenSystem;
    double speedOnEntry = -1.0;

private:
    EventLog& log_;
    const ProbeResults& results_;
};

bool IsProbe(const std::string& event)
{
    return event.rfind("Get", 0) == 0 && event.find("Record") == std::string::npos;
}

// Splits a report into its lines; fails the test when the bytes are not CR LF terminated UTF-16LE.
std::vector<CString> ReportLines(const std::vector<std::uint8_t>& bytes)
{
    std::vector<CString> lines;
    EXPECT_EQ(bytes.size() % 2, 0u);
    CString text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(u"\r\n", start)) != CString::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

class CheckRunTest : public ::testing::Test {
protected:
    CheckRunTest() : platform(log), surface(log)
    {
        platform.version.osVersionInfoSize = 284;
        platform.version.majorVersion = 6;
        platform.version.minorVersion = 1;
        platform.version.buildNumber = 7601;
        platform.version.platformId = 2;
        platform.version.csdVersion = u"Service Pack 1";
        platform.nativeSystem.numberOfProcessors = 2;
        platform.nativeSystem.processorArchitecture = 0;
        platform.nativeSystem.pageSize = 4096;
        platform.system = platform.nativeSystem;
        platform.system.numberOfProcessors = 1;
    }

    void Run()
    {
        ScriptedCheckRun run(platform, surface, log, results);
        run.RunChecks();
        seenSystem = run.seenSystem;
        speedOnEntry = run.speedOnEntry;
        strOsVersion = run.m_strOsVersion;
        strSerialPorts = run.m_strSerialPorts;
        runResults = run.Results();
    }

    CString Text(ResultItem item) const
    {
        auto found = surface.values.find(item);
        return found == surface.values.end() ? u"<unset>" : found->second;
    }
    std::string MarkOf(ResultItem item) const
    {
        auto found = surface.marks.find(item);
        if (found == surface.marks.end())
            return "unset";
        return found->second == Mark::Pass ? "pass" : found->second == Mark::Fail ? "fail" : "blank";
    }
    std::vector<std::string> Probes() const
    {
        std::vector<std::string> probes;
        std::copy_if(log.begin(), log.end(), std::back_inserter(probes), IsProbe);
        return probes;
    }
    std::ptrdiff_t Position(const std::string& event) const
    {
        return std::find(log.begin(), log.end(), event) - log.begin();
    }

    EventLog log;
    FakePlatform platform;
    FakeSurface surface;
    ProbeResults results;
    RunResults runResults;  // what the last run gathered and judged
    SystemRecord seenSystem;
    double speedOnEntry = -1.0;
    CString strOsVersion;
    CString strSerialPorts;
};

TEST_F(CheckRunTest, CallsTheProbesInTheirOrder)
{
    Run();
    const std::vector<std::string> expected = {
        "GetOperatingSystemName", "GetHardDriveInfo",  "GetComputerSystemInfo",
        "GetBiosReleaseDate",     "GetSerialPortCount", "GetPhysicalMemory",
        "GetProcessorSpeed",      "GetLocaleLanguage",
    };
    EXPECT_EQ(Probes(), expected);
    // The report is created before the version record is read.
    EXPECT_LT(Position("CreateReportFile"), Position("GetVersionRecord"));
    // The processor is probed once items 1 to 3 are shown, the locale once item 5 is.
    EXPECT_GT(Position("GetProcessorSpeed"), Position("ShowItemMark " + std::to_string(kItemManufacturer)));
    EXPECT_LT(Position("GetProcessorSpeed"), Position("ShowItemValue " + std::to_string(kItemProcessor)));
    EXPECT_GT(Position("GetLocaleLanguage"), Position("ShowItemMark " + std::to_string(kItemBios)));
    EXPECT_LT(Position("GetLocaleLanguage"), Position("ShowItemValue " + std::to_string(kItemLocale)));
    EXPECT_EQ(speedOnEntry, 0.0);
    // A WMI probe's values are shown as soon as it has answered, before the next probe runs.
    EXPECT_LT(Position("ShowItemValue " + std::to_string(kItemHardDrive)), Position("GetComputerSystemInfo"));
    EXPECT_LT(Position("ShowItemValue " + std::to_string(kItemUserName)), Position("GetBiosReleaseDate"));
    EXPECT_LT(Position("ShowItemValue " + std::to_string(kItemBios)), Position("GetSerialPortCount"));
    // The report is closed at the end of the run; only the line under the list follows.
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "CloseReportFile");
    EXPECT_EQ(log.back(), "ShowStatus");
}

TEST_F(CheckRunTest, ListsTwentyEightEntriesWithoutVerdicts)
{
    Run();
    ASSERT_EQ(surface.list.size(), 28u);
    // The list holds the report's lines, each item's without its verdict. (The order is the list
    // box's own, tested on the real one.)
    std::vector<CString> reported = ReportLines(platform.report.bytes);
    ASSERT_EQ(reported.size(), 28u);
    for (std::size_t i = 17; i < reported.size(); ++i)
        reported[i].erase(reported[i].size() - 2);
    std::sort(reported.begin(), reported.end());
    EXPECT_EQ(surface.list, reported);
    for (const CString& entry : surface.list) {
        const CString tail = entry.substr(entry.size() - 2);
        EXPECT_TRUE(tail != u":1" && tail != u":0") << ToUtf8(entry);
    }
    const auto listing = SystemInformationLines(seenSystem, platform.version);
    for (const CString& line : listing)
        EXPECT_NE(std::find(surface.list.begin(), surface.list.end(), line), surface.list.end());
    EXPECT_NE(std::find(surface.list.begin(), surface.list.end(),
                        u"System Manufacturer: Dell Inc. OptiPlex 780"),
              surface.list.end());
}

TEST_F(CheckRunTest, WritesTwentyEightLinesInRunOrder)
{
    Run();
    const std::vector<CString> lines = ReportLines(platform.report.bytes);
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(platform.report.writeCalls, 28);
    EXPECT_EQ(platform.reportName, u"Quor-kelvra.vkh");
    EXPECT_TRUE(platform.report.closed);
    const auto listing = SystemInformationLines(seenSystem, platform.version);
    for (std::size_t i = 0; i < listing.size(); ++i)
        EXPECT_EQ(lines[i], listing[i]);
    const std::vector<CString> expected = {
        u"Operating System: Microsoft Windows 7 Professional, 32-bit:1",
        u"Operating System Version: 6.1.7601 Service Pack 1:1",
        u"System Manufacturer: Dell Inc. OptiPlex 780:1",
        u"Processor Speed: 2.394 GHz:1",
        u"BIOS Version: 2010/05/24:1",
        u"Locale: English:1",
        u"Username: PC\\BRQ7:1",
        u"Total Physical Memory: 4,096 MB:1",
        u"Available Physical Memory: 2,048 MB:1",
        u"Hard Drive Size: 150 GB:1",
        u"Serial Ports Detected: 3:1",
    };
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[17 + i], expected[i]) << ToUtf8(lines[17 + i]);
}

TEST_F(CheckRunTest, ShowsEachValueAndMark)
{
    results.model = u"";
    results.manufacturer = u"Acme 100%";
    Run();
    EXPECT_EQ(surface.status, u"");
    EXPECT_EQ(Text(kItemOsVersion), u"6.1.7601 Service Pack 1");
    EXPECT_EQ(strOsVersion, u"6.1.7601 Service Pack 1");
    EXPECT_EQ(Text(kItemManufacturer), u"Acme 100% ");
    EXPECT_EQ(Text(kItemSerialPorts), u"3");
    EXPECT_EQ(strSerialPorts, u"3");
    EXPECT_EQ(Text(kItemLocale), u"English");
    EXPECT_EQ(MarkOf(kItemManufacturer), "fail");
    for (ResultItem item : {kItemOperatingSystem, kItemOsVersion, kItemProcessor, kItemBios,
                            kItemLocale, kItemUserName, kItemTotalMemory, kItemAvailableMemory,
                            kItemHardDrive, kItemSerialPorts})
        EXPECT_EQ(MarkOf(item), "pass") << ToUtf8(kResultRows[item].label);
}

// A boot stick's system, locale and user are not the PC's: in Windows PE those items show no mark
// and say why, count for neither verdict, and keep the rule's verdict in the report; the hardware
// is judged as usual.
TEST_F(CheckRunTest, InWindowsPeTheRunningSystemsItemsAreNotJudgedAndSayWhy)
{
    results.supportedOs = false;
    results.userName = u"MININT-1\\SYSTEM";
    results.totalMb = 1024;
    Run();
    const std::vector<std::uint8_t> installedReport = platform.report.bytes;
    EXPECT_EQ(runResults.PcFitness(), Fitness::Unfit);
    EXPECT_FALSE(runResults.windowsPe);

    platform.existingKeys = {kWindowsPeKey};
    platform.report = {};
    Run();
    EXPECT_TRUE(runResults.windowsPe);
    EXPECT_EQ(surface.status, kWindowsPeStatusText);
    EXPECT_EQ(platform.report.bytes, installedReport) << "the report's lines are the same either way";
    for (ResultItem item : {kItemOperatingSystem, kItemOsVersion, kItemLocale, kItemUserName}) {
        EXPECT_EQ(MarkOf(item), "blank") << ToUtf8(kResultRows[item].label);
        EXPECT_TRUE(runResults.skipped[item]) << ToUtf8(kResultRows[item].label);
        EXPECT_EQ(ToUtf8(surface.explanations[item]).rfind("Not judged: Windows PE is running", 0), 0u)
            << ToUtf8(surface.explanations[item]);
    }
    EXPECT_EQ(MarkOf(kItemTotalMemory), "fail");
    EXPECT_EQ(MarkOf(kItemProcessor), "pass");
    EXPECT_EQ(runResults.PcFitness(), Fitness::Unfit) << "the memory still fails";
    results.totalMb = 4096;
    Run();
    EXPECT_EQ(runResults.PcFitness(), Fitness::Fit);
}

TEST_F(CheckRunTest, EmptyServicePackLeavesOneBlankAfterTheBuild)
{
    platform.version.csdVersion.clear();
    Run();
    EXPECT_EQ(Text(kItemOsVersion), u"6.1.7601 ");
    EXPECT_EQ(ReportLines(platform.report.bytes)[16], u"CSD Version:  ");
}

TEST_F(CheckRunTest, BothOperatingSystemRowsFollowOneVerdict)
{
    results.supportedOs = false;
    Run();
    EXPECT_EQ(MarkOf(kItemOperatingSystem), "fail");
    EXPECT_EQ(MarkOf(kItemOsVersion), "fail");
}

TEST_F(CheckRunTest, FallsBackToTheSystemRecordWithoutNativeInfo)
{
    results.speedGhz = 1.7;  // passes with two processors, fails with one
    Run();
    EXPECT_EQ(seenSystem.numberOfProcessors, 2u);
    EXPECT_EQ(Position("GetSystemRecord"), static_cast<std::ptrdiff_t>(log.size()));
    EXPECT_EQ(MarkOf(kItemProcessor), "pass");

    log.clear();
    surface.marks.clear();
    platform.hasNativeSystemInfo = false;
    Run();
    EXPECT_EQ(seenSystem.numberOfProcessors, 1u);
    EXPECT_LT(Position("GetNativeSystemRecord"), Position("GetSystemRecord"));
    EXPECT_EQ(MarkOf(kItemProcessor), "fail");
}

TEST_F(CheckRunTest, FailedVersionQueryListsOneLineAndWritesNothing)
{
    platform.versionSucceeds = false;
    Run();
    EXPECT_EQ(surface.list, std::vector<CString>{kVersionErrorText});
    EXPECT_TRUE(Probes().empty());
    EXPECT_TRUE(platform.report.bytes.empty());
    EXPECT_EQ(platform.report.writeCalls, 0);
    EXPECT_TRUE(platform.report.closed);
    EXPECT_TRUE(platform.report.committed) << "an empty report in place of any earlier one";
    EXPECT_TRUE(surface.marks.empty());
    // Only the line under the list was touched, and it was emptied before the query.
    EXPECT_TRUE(surface.values.empty());
    EXPECT_EQ(surface.status, u"");
    // A screen reader is told why nothing was judged.
    EXPECT_EQ(RunOutcomeText(runResults, surface.status), kVersionErrorText);
}

TEST_F(CheckRunTest, ReportThatCannotBeCreatedShowsEverythingAndSaysWhyUnderTheList)
{
    platform.reportCanBeCreated = false;
    Run();
    EXPECT_EQ(surface.list.size(), 28u);
    EXPECT_EQ(surface.marks.size(), 11u);
    EXPECT_EQ(platform.report.writeCalls, 0);
    EXPECT_EQ(surface.status, u"Quor-kelvra.vkh could not be created in D:\\: Access is denied.");
    // Told to a screen reader at the end: how many items fail, and why there is no report.
    EXPECT_EQ(RunOutcomeText(runResults, surface.status), u"All 11 items pass. " + surface.status);
    runResults.reportWritten = true;
    runResults.items[kItemLocale].pass = false;
    runResults.items[kItemHardDrive].pass = false;
    EXPECT_EQ(RunOutcomeText(runResults, surface.status), u"2 of 11 items fail");

    // Held open by another program; a folder the system could not name; a reason it has no words for.
    EXPECT_EQ(ReportNotCreatedText(u"C:\\Site check", platform.SystemErrorMessage(32), 32),
              u"Quor-kelvra.vkh could not be created in C:\\Site check: The process cannot access the file "
              u"because it is being used by another process.");
    EXPECT_EQ(ReportNotCreatedText(u"", u"", 1234),
              u"Quor-kelvra.vkh could not be created in the current folder: system error 1234");
}

TEST_F(CheckRunTest, LineBreaksInsideValuesNeverSplitTheReport)
{
    // A firmware string that tries to forge a passing line of its own.
    results.manufacturer = u"Evil\r\nLocale: English:1\r\nCorp";
    results.model = u"M\n1";
    results.userName = u"PC\\BRQ7\r";
    Run();
    const std::vector<CString> lines = ReportLines(platform.report.bytes);
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(lines[17 + kItemManufacturer],
              u"System Manufacturer: Evil  Locale: English:1  Corp M 1:0");
    EXPECT_EQ(lines[17 + kItemUserName], u"Username: PC\\BRQ7 :1");
    EXPECT_EQ(Text(kItemManufacturer), u"Evil  Locale: English:1  Corp M 1");
    for (const CString& entry : surface.list)
        EXPECT_EQ(entry.find_first_of(u"\r\n"), CString::npos) << ToUtf8(entry);
    // Nothing else in a value changes.
    EXPECT_EQ(OneLine(u"a\tb%s:1"), u"a\tb%s:1");
}

TEST_F(CheckRunTest, AReportThatCannotBeWrittenWholeIsNeverPutInPlace)
{
    platform.failWritesFrom = 20;
    Run();
    EXPECT_EQ(platform.report.writeCalls, 28);
    EXPECT_FALSE(platform.report.committed) << "half a report under the report's name";
    EXPECT_TRUE(platform.report.closed);
    EXPECT_EQ(surface.list.size(), 28u);
    EXPECT_EQ(surface.marks.size(), 11u);
    EXPECT_EQ(surface.status, kReportNotWrittenText);
    // The message comes once the file is closed, as the run's last act.
    EXPECT_EQ(log.back(), "ShowStatus");

    // Written whole, but it cannot replace the earlier one (held open since the run began): said
    // as when it cannot be created.
    platform.failWritesFrom = -1;
    platform.reportCommitError = 32;
    platform.report = FakeFileContents();
    Run();
    EXPECT_EQ(platform.report.writeCalls, 28);
    EXPECT_FALSE(platform.report.committed);
    EXPECT_EQ(surface.status, u"Quor-kelvra.vkh could not be created in D:\\: The process cannot access the "
                              u"file because it is being used by another process.");
}

TEST_F(CheckRunTest, UnrecognisedSystemSkipsHardwareAndSerialProbes)
{
    results.recognisedOs = false;
    results.supportedOs = false;
    results.operatingSystem = u"";
    Run();
    const std::vector<std::string> expected = {"GetOperatingSystemName", "GetPhysicalMemory",
                                               "GetProcessorSpeed", "GetLocaleLanguage"};
    EXPECT_EQ(Probes(), expected);
    EXPECT_EQ(Text(kItemManufacturer), u"? ");
    EXPECT_EQ(Text(kItemBios), u"?");
    EXPECT_EQ(Text(kItemUserName), u"?");
    EXPECT_EQ(Text(kItemHardDrive), u"?");
    EXPECT_EQ(Text(kItemSerialPorts), u"0");
    for (ResultItem item : {kItemOperatingSystem, kItemOsVersion, kItemManufacturer, kItemBios,
                            kItemUserName, kItemHardDrive, kItemSerialPorts})
        EXPECT_EQ(MarkOf(item), "fail") << ToUtf8(kResultRows[item].label);
    for (ResultItem item : {kItemProcessor, kItemLocale, kItemTotalMemory, kItemAvailableMemory})
        EXPECT_EQ(MarkOf(item), "pass") << ToUtf8(kResultRows[item].label);
    const std::vector<CString> lines = ReportLines(platform.report.bytes);
    EXPECT_EQ(lines[17], u"Operating System: :0");
    EXPECT_EQ(lines[19], u"System Manufacturer: ? :0");
    EXPECT_EQ(lines[27], u"Serial Ports Detected: 0:0");
}

}  // namespace

TEST_F(CheckRunTest, ExplainsEachItemWithTheFigureItsRuleJudged)
{
    results.totalMb = 1024;
    results.totalMemory = u"1,024 MB";
    results.userName = u"PC\\jdoe\r\nforged";
    Run();
    ASSERT_EQ(surface.explanations.size(), 11u);
    EXPECT_EQ(ToUtf8(surface.explanations[kItemTotalMemory]), "Passes with 1,901 MB or more. This PC: 1,024 MB.");
    EXPECT_EQ(MarkOf(kItemTotalMemory), "fail");
    // The processor count is the native record's, the one the verdict used.
    EXPECT_NE(ToUtf8(surface.explanations[kItemProcessor]).find("This PC: 2 processors at 2.394 GHz."),
              std::string::npos);
    EXPECT_NE(ToUtf8(surface.explanations[kItemHardDrive]).find("This PC: 150 GB."), std::string::npos);
    // A tooltip keeps to the lines it is given: a line break from the machine becomes a blank.
    EXPECT_NE(ToUtf8(surface.explanations[kItemUserName]).find("This PC: PC\\jdoe  forged."), std::string::npos);
}

TEST_F(CheckRunTest, AFailedVersionQueryLeavesEveryRuleExplainedWithoutFigures)
{
    platform.versionSucceeds = false;
    Run();
    ASSERT_EQ(surface.explanations.size(), 11u);
    for (const auto& [item, text] : surface.explanations)
        EXPECT_EQ(ToUtf8(text).find("This PC"), std::string::npos) << ToUtf8(text);
}

// Copy puts on the clipboard exactly what the report file holds, also when the report could not be
// written at all.
TEST_F(CheckRunTest, CopiedLinesAreTheReportFilesLines)
{
    results.manufacturer = u"Acme\r\nCorp";
    ScriptedCheckRun run(platform, surface, log, results);
    run.RunChecks();
    const std::vector<CString> copied = ReportLines(run.Results());
    EXPECT_EQ(copied, ReportLines(platform.report.bytes));
    const CString text = LinesText(copied);
    EXPECT_EQ(std::vector<std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()),
                                        reinterpret_cast<const std::uint8_t*>(text.data() + text.size())),
              platform.report.bytes);

    platform.reportCanBeCreated = false;
    ScriptedCheckRun unwritten(platform, surface, log, results);
    unwritten.RunChecks();
    EXPECT_EQ(ReportLines(unwritten.Results()), copied);
}
