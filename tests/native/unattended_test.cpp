// The unattended run and its JSON, against the fake platform.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/unattended.h"
#include "check/run_texts.h"
#include "platform/device_names.h"
#include "report/json_report.h"
#include "report/outcome_line.h"
#include "probes/os_identification.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_surface.h"

namespace {

class UnattendedTest : public ::testing::Test {
protected:
    UnattendedTest() : platform(log)
    {
        platform.ShapeAsWindowsXp(u"\"Q\" \\ 9\t\u00e9");
        platform.registryNames = {u"\\Device\\Serial0"};
    }

    int Run(std::initializer_list<const char16_t*> words)
    {
        std::vector<CString> arguments(words.begin(), words.end());
        return RunUnattended(platform, ParseCommandLine(arguments));
    }

    // The report a dialog run writes on the same machine.
    std::vector<std::uint8_t> DialogReport()
    {
        EventLog otherLog;
        FakePlatform other(otherLog);
        other.version = platform.version;
        other.nativeSystem = platform.nativeSystem;
        other.registryNames = platform.registryNames;
        other.wmi.instances = platform.wmi.instances;
        FakeSurface surface(otherLog);
        CheckRun run(other, surface);
        run.RunChecks();
        return other.report.bytes;
    }

    EventLog log;
    FakePlatform platform;
};

std::vector<std::string> Utf8Lines(const std::vector<std::uint8_t>& bytes)
{
    CString text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; (end = text.find(u"\r\n", start)) != CString::npos; start = end + 2)
        lines.push_back(ToUtf8(text.substr(start, end - start)));
    return lines;
}

}  // namespace

TEST_F(UnattendedTest, RunsTheDialogsCheckAndHoldsTheSameResultsInReportAndJson)
{
    // As the program starts: COM's security set once, before any window, so every WMI worker
    // after it is told it is too late and reads all the same. Only the dialog's thread joins a
    // single-threaded apartment: the unattended run owns no window that needs one.
    std::vector<std::string> dialogLog;
    FakePlatform dialogProcess(dialogLog);
    PrepareProcess(dialogProcess, false);
    EXPECT_EQ(dialogProcess.suppressedDialogs, "dialog");
    EXPECT_EQ(dialogProcess.wmi.calls, (std::vector<std::string>{"CoInitializeEx apartment", "CoInitializeSecurity"}));
    PrepareProcess(platform, true);
    EXPECT_EQ(platform.suppressedDialogs, "unattended");
    ASSERT_EQ(platform.wmi.calls, (std::vector<std::string>{"CoInitializeEx multithreaded", "CoInitializeSecurity"}));
    platform.wmi.laterSecurityStatus = kRpcETooLate;
    EXPECT_EQ(Run({u"/silent", u"/report", u"D:\\out\\PC.vkh", u"/json", u"-"}), 1);
    EXPECT_EQ(platform.reportName, u"D:\\out\\PC.vkh");
    EXPECT_EQ(platform.report.bytes, DialogReport());
    EXPECT_TRUE(platform.report.closed);

    const std::vector<std::string> lines = Utf8Lines(platform.report.bytes);
    ASSERT_EQ(lines.size(), 28u);
    const nlohmann::json json = nlohmann::json::parse(platform.standardOutputBytes);
    EXPECT_EQ(json["program"], "Quor-kelvra");
    EXPECT_EQ(json["version"], QK_VERSION_TEXT);  // from the file VERSION, as the version resources are
    EXPECT_EQ(json["computer"], "SITE-PC-07");
    ASSERT_EQ(json["items"].size(), 11u);
    ASSERT_EQ(json["system"].size(), 17u);
    int failed = 0;
    for (std::size_t i = 0; i < 11; ++i) {
        const nlohmann::json& item = json["items"][i];
        const std::string verdict = item["pass"].get<bool>() ? ":1" : ":0";
        failed += item["pass"].get<bool>() ? 0 : 1;
        EXPECT_EQ(lines[17 + i], item["label"].get<std::string>() + ": " + item["value"].get<std::string>() + verdict);
        EXPECT_EQ(item.size(), 3u) << "a run whose WMI answered marks no item as timed out";
    }
    for (std::size_t i = 0; i < 17; ++i) {
        const nlohmann::json& line = json["system"][i];
        EXPECT_EQ(lines[i], line["label"].get<std::string>() + ":  " + line["value"].get<std::string>());
    }
    EXPECT_EQ(json["failed"], failed);
    EXPECT_EQ(json["fit"], failed == 0);

    // The line for a console, last on standard output, and nothing on standard error.
    platform.standardOutputBytes.clear();
    platform.standardErrorBytes.clear();
    EXPECT_EQ(Run({u"/silent", u"/json", u"-", u"/line", u"-"}), 1);
    EXPECT_TRUE(platform.standardErrorBytes.empty()) << platform.standardErrorBytes;
    // The line is last on standard output, after a JSON there.
    const auto lastLine = [](const std::string& out) { return out.substr(out.rfind("\n", out.size() - 2) + 1); };
    const auto leadingJson = [](const std::string& out) { return nlohmann::json::parse(out.substr(0, out.rfind("\n}") + 2)); };
    EXPECT_EQ(lastLine(platform.standardOutputBytes),
              "Unfit: Processor Speed ?; BIOS Version ?; Username PC\\user; Hard Drive Size ?; Serial Ports Detected 1\r\n");

    // Items the site does not judge: the report stays the dialog's, the exit code, "fit" and the
    // line leave them out, and the JSON names them.
    platform.standardOutputBytes.clear();
    platform.report = {};
    EXPECT_EQ(Run({u"/silent", u"/json", u"-", u"/skip", u"processor speed,BIOS Version , Username,Hard Drive Size",
                   u"/line", u"-", u"/skip", u"Processor Speed,BIOS Version,username,HARD DRIVE SIZE,Serial Ports Detected"}),
              0);
    EXPECT_EQ(platform.report.bytes, DialogReport());
    EXPECT_EQ(lastLine(platform.standardOutputBytes),
              "Fit: all 6 items judged pass; not judged: Processor Speed, BIOS Version, Username, Hard Drive Size, "
              "Serial Ports Detected\r\n");
    const nlohmann::json skippedJson = leadingJson(platform.standardOutputBytes);
    EXPECT_EQ(skippedJson["fit"], true);
    EXPECT_EQ(skippedJson["failed"], 0);
    EXPECT_EQ(skippedJson["items"][kItemUserName]["judged"], false);
    EXPECT_EQ(skippedJson["items"][kItemUserName]["pass"], false) << "the report's own verdict";
    EXPECT_FALSE(skippedJson["items"][kItemLocale].contains("judged"));
    EXPECT_FALSE(skippedJson.contains("windowsPe"));

    // In Windows PE the running system's items are not judged as well as those the site skips.
    platform.existingKeys = {kWindowsPeKey};
    platform.standardOutputBytes.clear();
    platform.report = {};
    EXPECT_EQ(Run({u"/silent", u"/json", u"-", u"/line", u"-", u"/skip", u"Processor Speed,BIOS Version,Hard Drive Size"}), 1);
    EXPECT_EQ(platform.report.bytes, DialogReport());
    EXPECT_EQ(lastLine(platform.standardOutputBytes),
              "Unfit: Serial Ports Detected 1; not judged: Operating System, Operating System Version, Processor Speed, BIOS Version, "
              "Locale, Username, Hard Drive Size (Windows PE)\r\n");
    const nlohmann::json peJson = leadingJson(platform.standardOutputBytes);
    EXPECT_EQ(peJson["windowsPe"], true);
    EXPECT_EQ(peJson["failed"], 1);
    EXPECT_EQ(peJson["items"][kItemOperatingSystem]["judged"], false);
    EXPECT_EQ(peJson["items"][kItemLocale]["judged"], false);
    EXPECT_FALSE(peJson["items"][kItemManufacturer].contains("judged"));
    platform.existingKeys.clear();

    // The same outcome as values an inventory tool lists, the time set last and deleted first.
    platform.writtenValues[kRunTimeValue] = u"an earlier run's";
    platform.standardErrorBytes.clear();
    EXPECT_EQ(Run({u"/silent", u"/registry", u"/skip", u"Username"}), 1);
    EXPECT_TRUE(platform.standardErrorBytes.empty()) << platform.standardErrorBytes;
    ASSERT_EQ(platform.valueOrder.size(), 5u + 2 * kResultItemCount + 1);
    EXPECT_EQ(platform.valueOrder.back(), CString(kRunTimeValue));
    EXPECT_EQ(platform.writtenValues[kRunTimeValue], u"2026-12-10T13:57:21Z");
    EXPECT_EQ(platform.writtenValues[u"Fitness"], u"unfit");
    EXPECT_EQ(platform.writtenValues[u"Failing"], u"Processor Speed; BIOS Version; Hard Drive Size; Serial Ports Detected");
    EXPECT_EQ(platform.writtenValues[u"Not Judged"], u"Username");
    EXPECT_EQ(platform.writtenValues[u"Version"], CString(kProgramVersion));
    EXPECT_EQ(platform.writtenValues[u"Username Verdict"], u"not judged");
    EXPECT_EQ(platform.writtenValues[u"Locale Verdict"], u"pass");
    EXPECT_EQ(platform.writtenValues[u"System Manufacturer"], u"Dell Inc. \"Q\" \\ 9\t\u00e9");
    EXPECT_EQ(ToUtf8(platform.writtenValues[u"Line"]).rfind("Unfit: Processor Speed ?; BIOS Version ?; ", 0), 0u);
    EXPECT_LE(ToUtf8(platform.writtenValues[u"Line"]).size(), kRegistryValueLimit);
    // Not elevated: said on standard error; the report and the exit code as without the switch.
    platform.registryWriteError = 5;
    platform.report = {};
    EXPECT_EQ(Run({u"/silent", u"/registry"}), 1);
    EXPECT_EQ(platform.report.bytes, DialogReport());
    EXPECT_EQ(platform.standardErrorBytes.rfind("The outcome was not written under HKEY_LOCAL_MACHINE\\SOFTWARE\\Quor-kelvra: ", 0), 0u)
        << platform.standardErrorBytes;
    EXPECT_NE(platform.standardErrorBytes.find(". It takes a run as SYSTEM or as an elevated administrator.\r\n"),
              std::string::npos) << platform.standardErrorBytes;

    // One event a run, its ID telling the outcome, its texts as insertion strings; the source
    // names the program's message table where it may (here it may not: nothing else changes).
    platform.standardErrorBytes.clear();
    EXPECT_EQ(Run({u"/silent", u"/eventlog"}), 1);
    EXPECT_TRUE(platform.standardErrorBytes.empty()) << platform.standardErrorBytes;
    ASSERT_EQ(platform.events.size(), 1u);
    EXPECT_EQ(platform.events[0].id, kEventUnfit);
    EXPECT_EQ(platform.events[0].type, 1) << "a warning";
    EXPECT_EQ(platform.events[0].strings,
              (std::vector<CString>{u"Unfit: Processor Speed ?; BIOS Version ?; Username PC\\user; Hard Drive Size ?; Serial Ports Detected 1",
                                    u"Processor Speed; BIOS Version; Username; Hard Drive Size; Serial Ports Detected", u""}));
    platform.registryWriteError = 0;
    EXPECT_EQ(Run({u"/silent", u"/eventlog", u"/skip", u"Processor Speed,BIOS Version,Username,Hard Drive Size,Serial Ports Detected"}), 0);
    EXPECT_EQ(platform.writtenValues[u"EventMessageFile"], u"C:\\Tools\\Quor-kelvra.exe");
    ASSERT_EQ(platform.events.size(), 2u);
    EXPECT_EQ(platform.events[1].id, kEventFit);
    EXPECT_EQ(platform.events[1].type, 0);
    EXPECT_EQ(platform.events[1].strings[2], u"Processor Speed; BIOS Version; Username; Hard Drive Size; Serial Ports Detected");
    platform.eventError = 1502;  // ERROR_LOG_FILE_FULL
    EXPECT_EQ(Run({u"/silent", u"/eventlog"}), 1);
    EXPECT_EQ(platform.standardErrorBytes.rfind("The event was not written to the Application log: ", 0), 0u)
        << platform.standardErrorBytes;
    // Quotes, backslashes, a tab and non-ASCII text come back as they went in.
    EXPECT_EQ(json["items"][2]["value"], "Dell Inc. \"Q\" \\ 9\t\u00e9");
}

TEST_F(UnattendedTest, AnythingNotWrittenCompletelyEndsWithThree)
{
    platform.reportCanBeCreated = false;
    EXPECT_EQ(Run({u"/silent"}), 3);
    EXPECT_EQ(platform.standardErrorBytes, "Quor-kelvra.vkh could not be created in D:\\: Access is denied.\r\n");
    platform.standardErrorBytes.clear();
    // Its event says so before any verdict, with the same reason, as an error.
    EXPECT_EQ(Run({u"/silent", u"/eventlog"}), 3);
    ASSERT_EQ(platform.events.size(), 1u);
    EXPECT_EQ(platform.events[0].id, kEventNoReport);
    EXPECT_EQ(platform.events[0].type, 2);
    EXPECT_EQ(platform.events[0].strings[1], u"Quor-kelvra.vkh could not be created in D:\\: Access is denied.");
    platform.standardErrorBytes.clear();

    FakePlatform jsonRefused(log);
    jsonRefused.version = platform.version;
    jsonRefused.uncreatable = {u"C:\\r.json"};
    EXPECT_EQ(RunUnattended(jsonRefused, ParseCommandLine({u"/silent", u"/json", u"C:\\r.json"})), 3);

    FakePlatform fileWritten(log);
    fileWritten.version = platform.version;
    fileWritten.wmi.instances = platform.wmi.instances;
    EXPECT_EQ(RunUnattended(fileWritten, ParseCommandLine({u"/silent", u"/json", u"C:\\r.json"})), 1);
    EXPECT_EQ(nlohmann::json::parse(fileWritten.createdFiles[u"C:\\r.json"].bytes)["items"].size(), 11u);

    // A write that fails says why in the system's words, never "completed successfully"; a finished
    // file that could not be put in place is kept, and the message says where.
    fileWritten.standardErrorBytes.clear();
    fileWritten.jsonFailWritesFrom = 0;
    fileWritten.reportCommitError = 32;
    fileWritten.report.keptName = u"D:\\Quor-kelvra.vkh.partial";
    EXPECT_EQ(RunUnattended(fileWritten, ParseCommandLine({u"/silent", u"/json", u"C:\\r.json"})), 3);
    EXPECT_EQ(fileWritten.standardErrorBytes,
              "Quor-kelvra.vkh could not be created in D:\\: The process cannot access the file because it is being "
              "used by another process. The finished file was kept as D:\\Quor-kelvra.vkh.partial.\r\n"
              "C:\\r.json could not be written: There is not enough space on the disk.\r\n");

    // The session ends while WMI is waited for: the last line says the run was stopped, not what it
    // waited for, and nothing more is begun.
    FakePlatform ending(log);
    ending.version = platform.version;
    ending.wmi.hang = FakeWmi::Hang{-1, FakeWmi::Step::CreateLocator};
    int asked = 0;
    // Asked every 10 ms of a wait: the session ends once the run has said it waits for WMI.
    const auto sessionEnds = [&asked] { return ++asked > static_cast<int>(kSlowWaitMs / 10) + 5; };
    EXPECT_EQ(RunUnattended(ending, ParseCommandLine({u"/silent", u"/json", u"C:\\r.json"}), sessionEnds),
              ExitCode(RunOutcome::CheckCouldNotRun));
    EXPECT_EQ(ending.standardErrorBytes, "The run was stopped as the session ended; no report was written.\r\n");
    EXPECT_EQ(ending.createdFiles.count(u"C:\\r.json"), 0u);
    ending.FinishAbandonedTasks();

    // Started from Explorer there is no standard output: nothing to write, and no failure.
    platform.reportCanBeCreated = true;
    platform.standardOutputResult = OutputResult::NoOutput;
    EXPECT_EQ(Run({u"/silent", u"/json", u"-"}), 1);
    platform.standardOutputResult = OutputResult::Failed;
    EXPECT_EQ(Run({u"/silent", u"/json", u"-"}), 3);
    EXPECT_EQ(platform.standardErrorBytes, "Standard output could not be written.\r\n");

    // A device takes the bytes and keeps none: refused, and the reason on standard error.
    platform.standardOutputResult = OutputResult::Written;
    platform.standardErrorBytes.clear();
    EXPECT_EQ(Run({u"/silent", u"/report", u"NUL", u"/json", u"C:\\out\\com5.json"}), 3);
    EXPECT_EQ(platform.standardErrorBytes,
              "NUL could not be created: the name is a device's, not a file's\r\n"
              "C:\\out\\com5.json could not be written: the name is a device's, not a file's\r\n");
}

TEST(DeviceNames, AreKnownInAnyFolderWithAnyExtensionAndOnlyWhole)
{
    for (const char16_t* device : {u"NUL", u"nul", u"C:\\out\\nul.vkh", u"con", u"PRN.txt", u"aux", u"COM5",
                                   u"com0", u"LPT9.json", u"c:nul", u"d:/x/Nul .vkh", u"COM\u00B9", u"conout$",
                                   u"\\\\.\\COM5", u"\\\\?\\GLOBALROOT\\Device\\Null", u"nul:"})
        EXPECT_TRUE(NamesADevice(device)) << ToUtf8(device);
    for (const char16_t* file : {u"Quor-kelvra.vkh", u"null", u"nul-report.vkh", u"COM10", u"com", u"LPT",
                                 u"console.vkh", u"C:\\nul\\report.vkh", u"\\\\?\\C:\\out\\r.vkh",
                                 u"\\\\?\\UNC\\srv\\share\\r.vkh", u"\\\\.\\C:\\r.vkh", u"", u"-"})
        EXPECT_FALSE(NamesADevice(file)) << ToUtf8(file);
    // The limit's prefix goes on once, whichever way the path was given.
    const std::pair<const char16_t*, const char16_t*> longForms[] = {
        {u"C:\\out", u"\\\\?\\C:\\out"},
        {u"\\\\srv\\share\\out", u"\\\\?\\UNC\\srv\\share\\out"},
        {u"\\\\?\\C:\\out", u"\\\\?\\C:\\out"},
        {u"\\\\?\\UNC\\srv\\share", u"\\\\?\\UNC\\srv\\share"},
        {u"\\\\.\\C:\\out", u"\\\\?\\C:\\out"},
    };
    for (const auto& [full, prefixed] : longForms)
        EXPECT_EQ(ToUtf8(ExtendedLengthPath(full)), ToUtf8(prefixed)) << ToUtf8(full);
}

TEST_F(UnattendedTest, AFailingWmiLeavesFitnessUnknownUnlessAnItemFailsOnItsValue)
{
    // Three serial ports: every item that does not come from WMI passes.
    platform.registryNames = {u"\\Device\\Serial0", u"\\Device\\Serial1", u"\\Device\\Serial2"};
    platform.wmi.hang = FakeWmi::Hang{-1, FakeWmi::Step::CreateLocator};
    FakeSurface surface(log);
    CheckRun run(platform, surface);
    run.m_wmiDeadlineMs = 20;
    run.RunChecks();
    const RunResults& results = run.Results();
    EXPECT_EQ(ExitCode(OutcomeOf(results, true)), 1460);
    // A report or JSON not written says more: do not trust the files.
    EXPECT_EQ(ExitCode(OutcomeOf(results, false)), 3);
    EXPECT_EQ(Utf8Lines(platform.report.bytes).size(), 28u);

    const std::vector<std::string> wmiItems = {"System Manufacturer", "Processor Speed", "BIOS Version", "Username",
                                               "Hard Drive Size"};
    const auto judgedOnErrors = [](const nlohmann::json& json, const char* key, const std::string& value) {
        std::vector<std::string> labels;
        for (const auto& item : json["items"]) {
            if (item.contains(key)) {
                EXPECT_EQ(item[key].dump(), value) << item["label"];
                EXPECT_EQ(item["pass"], false) << item["label"];
                labels.push_back(item["label"]);
            }
        }
        return labels;
    };
    nlohmann::json json = nlohmann::json::parse(ResultsJson(u"PC", results));
    EXPECT_EQ(judgedOnErrors(json, "timedOut", "true"), wmiItems);
    EXPECT_EQ(judgedOnErrors(json, "error", "\"0x40004\""), wmiItems);
    EXPECT_TRUE(json["fit"].is_null());
    EXPECT_EQ(json["failed"], 5);
    platform.FinishAbandonedTasks();

    // Any other failure of WMI (here its class not registered) leaves fitness as unknown as a
    // time-out does; an item that fails on its value makes the PC unfit whatever WMI did.
    for (const bool serialPortsFail : {false, true}) {
        EventLog otherLog;
        FakePlatform other(otherLog);
        other.ShapeAsWindowsXp(u"OptiPlex 780");
        other.registryNames = platform.registryNames;
        if (serialPortsFail)
            other.registryNames.pop_back();
        other.wmi.failures = {{-1, FakeWmi::Step::CreateLocator, static_cast<HResult>(0x80040154)}};
        FakeSurface otherSurface(otherLog);
        CheckRun failing(other, otherSurface);
        failing.RunChecks();
        EXPECT_EQ(ExitCode(OutcomeOf(failing.Results(), true)), serialPortsFail ? 1 : 1460);
        json = nlohmann::json::parse(ResultsJson(u"PC", failing.Results()));
        EXPECT_EQ(judgedOnErrors(json, "error", "\"0x80040154\""), wmiItems);
        EXPECT_EQ(judgedOnErrors(json, "timedOut", "true"), std::vector<std::string>{});
        EXPECT_EQ(json["fit"], serialPortsFail ? nlohmann::json(false) : nlohmann::json(nullptr));
        EXPECT_EQ(json["failed"], serialPortsFail ? 6 : 5);
        // The console's line: the verdict, what fails on its value, then what WMI could not say.
        const std::string wmiFailures =
            "WMI failed for System Manufacturer (0x80040154); WMI failed for Processor Speed (0x80040154); "
            "WMI failed for BIOS Version (0x80040154); WMI failed for Username (0x80040154); "
            "WMI failed for Hard Drive Size (0x80040154)";
        EXPECT_EQ(OutcomeEventOf(failing.Results(), u"").id, serialPortsFail ? kEventUnfit : kEventUnknown);
        EXPECT_EQ(OutcomeLine(failing.Results(), u""),
                  serialPortsFail ? "Unfit: Serial Ports Detected " + json["items"][10]["value"].get<std::string>() + "; " + wmiFailures
                                  : "Unknown: " + wmiFailures);
    }
    EXPECT_EQ(OutcomeLine(results, u"").rfind("Unknown: WMI gave no answer in time for System Manufacturer; ", 0), 0u);
}

TEST_F(UnattendedTest, AWrongCommandLineOrAFailedVersionQueryRunsNothing)
{
    // On standard error, so a JSON read from standard output is never mistaken for it.
    EXPECT_EQ(Run({u"/silent", u"/bogus"}), 87);
    EXPECT_EQ(platform.standardErrorBytes.rfind("Unknown switch \"/bogus\".\r\nUsage: Quor-kelvra.exe", 0), 0u);
    EXPECT_TRUE(platform.standardOutputBytes.empty());
    EXPECT_EQ(std::count(log.begin(), log.end(), "CreateReportFile"), 0);
    platform.standardOutputBytes.clear();
    EXPECT_EQ(Run({u"/silent", u"/?"}), 0);
    EXPECT_EQ(platform.standardOutputBytes.rfind("Usage:", 0), 0u);

    // Two spellings of one file, as Windows resolves them, are one file named twice.
    platform.oneFile = {{u"C:\\r\\pc.vkh", u"sub\\..\\pc.vkh"}};
    platform.standardErrorBytes.clear();
    CommandLine line = ParseCommandLine({u"/silent", u"/report", u"C:\\r\\pc.vkh", u"/json", u"sub\\..\\pc.vkh"});
    ASSERT_TRUE(line.error.empty()) << "the names alone differ";
    RefuseOneFileForBoth(platform, line);
    EXPECT_EQ(RunUnattended(platform, line), 87);
    EXPECT_EQ(platform.standardErrorBytes.rfind(
                  "/report and /json name the same file, \"sub\\..\\pc.vkh\"; each needs its own.\r\n", 0),
              0u);
    EXPECT_EQ(std::count(log.begin(), log.end(), "CreateReportFile"), 0);
    // Standard output and a line already wrong are left as they are.
    line = ParseCommandLine({u"/silent", u"/report", u"C:\\r\\pc.vkh", u"/json", u"-"});
    RefuseOneFileForBoth(platform, line);
    EXPECT_TRUE(line.error.empty());
    line = ParseCommandLine({u"/silent", u"/x", u"/report", u"C:\\r\\pc.vkh", u"/json", u"sub\\..\\pc.vkh"});
    RefuseOneFileForBoth(platform, line);
    EXPECT_EQ(line.error, u"Unknown switch \"/x\".");
    // A check that does not answer (a share whose server is gone) holds nothing up for long.
    platform.nameCheckHangs = true;
    platform.wmiDeadlines.clear();
    line = ParseCommandLine({u"/silent", u"/report", u"C:\\r\\pc.vkh", u"/json", u"sub\\..\\pc.vkh"});
    RefuseOneFileForBoth(platform, line);
    EXPECT_TRUE(line.error.empty());
    EXPECT_EQ(platform.wmiDeadlines, std::vector<std::uint32_t>{kNameCheckMs});
    platform.FinishAbandonedTasks();
    platform.nameCheckHangs = false;

    platform.versionSucceeds = false;
    platform.standardOutputBytes.clear();
    EXPECT_EQ(Run({u"/silent", u"/json", u"-"}), 2);
    EXPECT_TRUE(platform.standardOutputBytes.empty()) << "no results to write";
}

TEST(OutcomeLine, StaysOneSafeLineWithinItsLimitCutOnAnItem)
{
    RunResults results;
    results.ran = true;
    for (RunResults::Item& item : results.items)
        item = {u"ok", true, false, std::nullopt};
    EXPECT_EQ(OutcomeLine(results, u""), "Fit: all 11 items pass");
    results.items[kItemUserName] = {u"", false, false, std::nullopt};
    results.skipped[kItemUserName] = true;
    EXPECT_EQ(OutcomeLine(results, u""), "Fit: all 10 items judged pass; not judged: Username");
    results.skipped = {};

    // Terminal-hostile values: an escape sequence, line ends, DEL and a C1 control stay visible
    // and harmless, and the line stays one line.
    results.items[kItemUserName] = {u"PC\\x\u001b[2J\r\nrm\u007f\u009b", false, false, std::nullopt};
    EXPECT_EQ(OutcomeLine(results, u""), "Unfit: Username PC\\x\\x1b[2J\\x0d\\x0arm\\x7f\\x9b");

    // Eleven failing items of 200 characters each: cut on an item, the rest counted.
    for (std::size_t item = 0; item < kResultItemCount; ++item)
        results.items[item] = {CString(200, u'\u00e9'), false, false, std::nullopt};
    for (const std::size_t limit : {kLineLimit, std::size_t{255}, kShortestLineLimit}) {
        const std::string line = OutcomeLine(results, u"", limit);
        EXPECT_LE(line.size(), limit);
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
        EXPECT_EQ(line.rfind("Unfit: Operating System ", 0), 0u) << line;
        const std::size_t more = line.rfind("; and ");
        ASSERT_NE(more, std::string::npos) << line;
        const int rest = std::stoi(line.substr(more + 6));
        // Every item shown is whole but a first one too long for the line, which ends in "...".
        const std::size_t shown = static_cast<std::size_t>(std::count(line.begin(), line.begin() + more, ';')) + 1;
        EXPECT_EQ(shown + rest, kResultItemCount) << line;
        EXPECT_EQ(line.substr(more), "; and " + std::to_string(rest) + " more");
        if (limit == kLineLimit)
            EXPECT_EQ(rest, 7) << "four items of 200 two-byte characters (and their labels) fit in 2,048 bytes";
        else
            EXPECT_EQ(line.substr(more - 3, 3), "...") << line;
    }
    EXPECT_EQ(OutcomeLine(RunResults{}, u"ERROR - GetVersionEx(): Failed"),
              "Unknown: the check could not run: ERROR - GetVersionEx(): Failed");
}

TEST(ResultsJson, WritesEveryValueAsValidUtf8)
{
    RunResults results;
    results.ran = true;
    results.systemLines = {u"CSD Version:  ", u"OS Major Version:  10"};
    results.items[kItemLocale] = {u"a\u0001b\r\n\"\\", true, false, std::nullopt};
    results.items[kItemUserName] = {CString(u"PC\\x") + char16_t(0xD800) + u"y" + char16_t(0xDC00), false, false, std::nullopt};
    results.items[kItemManufacturer] = {u"\U0001F600 \u00e9", false, false, std::nullopt};
    const nlohmann::json json = nlohmann::json::parse(ResultsJson(u"PC\u00e9", results));
    EXPECT_EQ(json["items"][kItemLocale]["value"], "a\u0001b\r\n\"\\");
    // Halves of surrogate pairs have no UTF-8 form: each becomes U+FFFD.
    EXPECT_EQ(json["items"][kItemUserName]["value"], "PC\\x\uFFFDy\uFFFD");
    EXPECT_EQ(json["items"][kItemManufacturer]["value"], "\U0001F600 \u00e9");
    EXPECT_EQ(json["computer"], "PC\u00e9");
    EXPECT_EQ(json["system"][0], (nlohmann::json{{"label", "CSD Version"}, {"value", ""}}));
    EXPECT_EQ(json["system"][1]["value"], "10");
    EXPECT_EQ(json["failed"], 10);
    EXPECT_EQ(json["fit"], false);
}
