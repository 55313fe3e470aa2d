// The program as a fleet tool starts it: switches, exit codes, the report where it is told, JSON.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include "tests/e2e/wine_session.h"

namespace {

// A report's lines with the available memory's figure left out: it moves between two runs.
std::vector<std::string> Steady(std::vector<std::string> lines)
{
    for (std::string& line : lines) {
        if (line.rfind("Available Physical Memory: ", 0) == 0)
            line = "Available Physical Memory";
    }
    return lines;
}

std::vector<std::string> DialogRunReport(const TempFolder& folder)
{
    RunningProgram program(folder.path());
    EXPECT_TRUE(DumpDialog().found);
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000));
    return ReportLinesOf(folder.File("Quor-kelvra.vkh"));
}

void ExpectJsonHoldsTheReport(const nlohmann::json& json, const std::vector<std::string>& lines)
{
    ASSERT_EQ(lines.size(), 28u);
    ASSERT_EQ(json["items"].size(), 11u);
    ASSERT_EQ(json["system"].size(), 17u);
    EXPECT_EQ(json["program"], "Quor-kelvra");
    int failed = 0;
    for (std::size_t i = 0; i < 11; ++i) {
        const nlohmann::json& item = json["items"][i];
        failed += item["pass"].get<bool>() ? 0 : 1;
        EXPECT_EQ(item["label"].get<std::string>() + ": " + item["value"].get<std::string>() +
                      (item["pass"].get<bool>() ? ":1" : ":0"),
                  lines[17 + i]);
    }
    for (std::size_t i = 0; i < 17; ++i)
        EXPECT_EQ(json["system"][i]["label"].get<std::string>() + ":  " + json["system"][i]["value"].get<std::string>(),
                  lines[i]);
    EXPECT_EQ(json["failed"], failed);
    EXPECT_EQ(json["fit"], failed == 0);
}

}  // namespace

TEST(Unattended, SilentEndsByItselfWithOneAndWritesWhatTheDialogWrites)
{
    // Nobody presses anything: a window of any kind would hold the run until the time runs out.
    TempFolder silent;
    EXPECT_EQ(RunProgramToEnd(silent.path(), {"/silent"}), 1) << "the test machine fails some items";
    TempFolder dialog;
    EXPECT_EQ(Steady(ReportLinesOf(silent.File("Quor-kelvra.vkh"))), Steady(DialogRunReport(dialog)));
}

TEST(Unattended, ReportAndJsonGoWhereTheyAreToldAndHoldTheSameResults)
{
    TempFolder folder;
    ASSERT_EQ(mkdir(folder.File("site").c_str(), 0755), 0);
    std::string output;
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"-SILENT", "/Report", "site\\PC 7.vkh", "/json", "-"}, &output), 1);
    EXPECT_FALSE(FileExists(folder.File("Quor-kelvra.vkh")));
    const std::vector<std::string> lines = ReportLinesOf(folder.File("site/PC 7.vkh"));
    ExpectJsonHoldsTheReport(nlohmann::json::parse(output), lines);

    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/json", WindowsPath(folder.File("r.json"))}), 1);
    const std::vector<unsigned char> bytes = ReadBytes(folder.File("r.json"));
    ASSERT_GE(bytes.size(), 3u);
    EXPECT_NE(bytes[0], 0xEF) << "no byte-order mark";
    ExpectJsonHoldsTheReport(nlohmann::json::parse(bytes.begin(), bytes.end()),
                             ReportLinesOf(folder.File("Quor-kelvra.vkh")));

    // The console's line: one line, verdict first, nothing of the program's on standard error; and
    // with every failing item not judged, a fit PC that ends with 0.
    std::string errors;
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/line", "-"}, &output, &errors), 1);
    const auto programErrors = [&errors] {
        std::string kept;
        std::istringstream in(errors);
        for (std::string line; std::getline(in, line);)
            kept += line.rfind("wine: ", 0) == 0 ? "" : line + "\n";
        return kept;
    };
    EXPECT_EQ(programErrors(), "");
    ASSERT_GE(output.size(), 2u);
    EXPECT_EQ(output.find('\n'), output.size() - 1) << output;
    EXPECT_EQ(output.rfind("Unfit: ", 0), 0u) << output;
    EXPECT_LE(output.size(), 2048u + 2);
    std::string failing;
    for (const std::string& line : ReportLinesOf(folder.File("Quor-kelvra.vkh"))) {
        if (line.size() > 2 && line.compare(line.size() - 2, 2, ":0") == 0)
            failing += (failing.empty() ? "" : ",") + line.substr(0, line.find(':'));
    }
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/skip", failing, "/line:255", "-"}, &output, &errors), 0)
        << failing;
    EXPECT_EQ(output.rfind("Fit: all ", 0), 0u) << output;
    EXPECT_EQ(programErrors(), "");
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/skip", "Usrname"}), 87);

    // Booted into Windows PE (its registry says so): the same report, and the running system's
    // items not judged.
    const std::vector<std::string> installedReport = ReportLinesOf(folder.File("Quor-kelvra.vkh"));
    const std::string miniNt = "'HKLM\\SYSTEM\\CurrentControlSet\\Control\\MiniNT'";
    ASSERT_EQ(std::system(("wine reg add " + miniNt + " /f >/dev/null 2>&1").c_str()), 0);
    const int peExit = RunProgramToEnd(folder.path(), {"/silent", "/line", "-"}, &output, &errors);
    std::system(("wine reg delete " + miniNt + " /f >/dev/null 2>&1").c_str());
    EXPECT_EQ(peExit, 1);
    EXPECT_NE(output.find("; not judged: Operating System, Operating System Version, Locale, Username (Windows PE)\r\n"),
              std::string::npos) << output;
    EXPECT_EQ(Steady(ReportLinesOf(folder.File("Quor-kelvra.vkh"))), Steady(installedReport));

    // The outcome where inventory tools read it: the 64-bit view, whichever program wrote it.
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/registry"}, &output, &errors), 1);
    EXPECT_EQ(programErrors(), "");
    const std::string values = RunCommand("wine reg query 'HKLM\\SOFTWARE\\Quor-kelvra' /reg:64 2>/dev/null");
    EXPECT_NE(values.find("Fitness    REG_SZ    unfit"), std::string::npos) << values;
    EXPECT_NE(values.find("Run Time    REG_SZ    20"), std::string::npos) << values;
    EXPECT_NE(values.find("Username Verdict    REG_SZ    "), std::string::npos) << values;

    // One event, a warning with the unfit PC's ID (1001) and the line as its first string, as
    // Wine's event log (which keeps no events) traces it.
    const std::string trace =
        RunCommand("cd " + ShellQuote(folder.path()) + " && WINEDEBUG=fixme+advapi,warn+eventlog timeout 60 wine " +
                   ShellQuote(Win32Dir() + "/Quor-kelvra.exe") + " /silent /eventlog 2>&1 >/dev/null");
    EXPECT_NE(trace.find("RegisterEventSourceW ((null),L\"Quor-kelvra\")"), std::string::npos) << trace;
    EXPECT_NE(trace.find(",0x0002,0x0000,0x000003e9,"), std::string::npos) << trace;
    EXPECT_NE(trace.find("warn:eventlog:ReportEventW L\"Unfit: "), std::string::npos) << trace;

    // A capture holds the report its run wrote, line for line (the native suite replays one made so).
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/capture", "pc.capture", "/capture-user"}), 1);
    std::ifstream capture(folder.File("pc.capture"), std::ios::binary);
    std::vector<std::string> captured;
    for (std::string line; std::getline(capture, line);) {
        if (line.rfind("report \"", 0) == 0)
            captured.push_back(line.substr(8, line.size() - 9));
    }
    const std::vector<std::string> reported = ReportLinesOf(folder.File("Quor-kelvra.vkh"));
    ASSERT_EQ(captured.size(), reported.size());
    for (std::size_t i = 0; i < reported.size(); ++i) {
        std::string unescaped;
        for (std::size_t k = 0; k < captured[i].size(); ++k)
            unescaped += captured[i][k] == '\\' ? captured[i][++k] : captured[i][k];
        EXPECT_EQ(unescaped, reported[i]);
    }

    // A folder that does not exist is not created: the report cannot be written.
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/report", "missing\\r.vkh"}), 3);
    EXPECT_FALSE(FileExists(folder.File("missing")));
}

TEST(Unattended, TwoRunsOnOneReportAtOnceEndAsDocumentedEveryTime)
{
    // A logon script started twice: one run writes, the other waits for it and writes after it, or
    // ends with 3 naming the other run; neither leaves half a report or truncates the other's.
    TempFolder folder;
    const std::string run = "timeout 60 wine " + ShellQuote(Win32Dir() + "/Quor-kelvra.exe") + " /silent /report pc.vkh";
    const std::string both = "cd " + ShellQuote(folder.path()) + " && { (" + run + " 2>e1; echo $? >c1) & (" + run +
                             " 2>e2; echo $? >c2) & wait; }";
    int written = 0;
    for (int round = 0; round < 24; ++round) {
        RunCommand(both);
        for (const char* which : {"1", "2"}) {
            const std::string code = RunCommand("cat " + ShellQuote(folder.File(std::string("c") + which)));
            const std::string errors = RunCommand("cat " + ShellQuote(folder.File(std::string("e") + which)));
            if (code == "3\n") {
                EXPECT_NE(errors.find("pc.vkh could not be created: another run of Quor-kelvra is writing it"),
                          std::string::npos)
                    << errors;
            } else {
                // 1460 keeps its low byte, 180.
                EXPECT_TRUE(code == "0\n" || code == "1\n" || code == "180\n") << "round " << round << ": " << code;
                ++written;
            }
        }
        EXPECT_EQ(ReportLinesOf(folder.File("pc.vkh")).size(), 28u) << "round " << round;
        EXPECT_FALSE(FileExists(folder.File("pc.vkh.partial"))) << "round " << round;
    }
    EXPECT_GE(written, 24) << "every round wrote its report";
}

TEST(Unattended, AReadOnlyFolderEndsWithThree)
{
    TempFolder folder;
    ASSERT_TRUE(folder.MakeReadOnly());
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent"}), 3);
}

TEST(Unattended, AWrongCommandLineEndsWithEightySevenAndSaysWhyOnlyWhenNotSilent)
{
    TempFolder folder;
    std::string output, errors;
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/bogus"}, &output, &errors), 87);
    EXPECT_EQ(output, "");
    EXPECT_NE(errors.find("Unknown switch \"/bogus\"."), std::string::npos) << errors;
    EXPECT_NE(errors.find("Usage: Quor-kelvra.exe"), std::string::npos) << errors;
    // Lines that once opened a window nobody would click: /silent after the mistake, a switch
    // where a PATH should be, an empty PATH. A window would hold them to the minute's time-out.
    for (const std::vector<std::string>& line : std::vector<std::vector<std::string>>{
             {"/silent", "/report"}, {"/bogus", "/silent"}, {"/report", "/silent"}, {"/json", "", "/silent"},
             {"/report", "/json", "x.json", "/silent"}})
        EXPECT_EQ(RunProgramToEnd(folder.path(), line), 87) << line[0] << " " << line[1];
    EXPECT_FALSE(FileExists(folder.File("Quor-kelvra.vkh")));
    EXPECT_FALSE(FileExists(folder.File("\\silent")));
    // Two spellings of one file, resolved as Windows resolves them: the folder's full name, a way
    // through a subfolder and back, a trailing dot Windows drops, another case.
    const std::string full = WindowsPath(folder.File("pc.vkh"));
    for (const std::string& json : {std::string("pc.vkh"), std::string("sub\\..\\pc.vkh"), std::string("pc.vkh."),
                                    std::string("PC.VKH")}) {
        EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/report", full, "/json", json}, &output, &errors), 87)
            << json;
        EXPECT_NE(errors.find("/report and /json name the same file"), std::string::npos) << errors;
    }
    EXPECT_FALSE(FileExists(folder.File("pc.vkh")));
    EXPECT_FALSE(FileExists(folder.File("pc.vkh.partial")));

    // Typed in cmd, where the backslash before the quote swallows /silent into the PATH.
    int exitCode = -1;
    RunCommand("cd " + ShellQuote(folder.path()) + " && timeout 60 wine cmd /c '" +
                   WindowsPath(Win32Dir() + "/Quor-kelvra.exe") + " /report \"C:\\out\\\" /silent' 2>/dev/null",
               &exitCode);
    EXPECT_EQ(exitCode, 87);

    // A device takes the bytes and keeps none: nothing is written, and the reason is given.
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/report", "NUL", "/json", "com5.json"}, &output, &errors), 3);
    EXPECT_NE(errors.find("NUL could not be created: the name is a device's, not a file's"), std::string::npos)
        << errors;
    EXPECT_NE(errors.find("com5.json could not be written: the name is a device's, not a file's"), std::string::npos)
        << errors;

    // Plain: one message box naming the problem and the usage.
    for (const char* argument : {"/bogus", "/?"}) {
        RunningProgram program(folder.path(), {}, {argument});
        const MessageBoxInfo box = ReadMessageBox();
        ASSERT_TRUE(box.found) << argument;
        EXPECT_NE(box.text.find("Usage: Quor-kelvra.exe [/silent] [/report PATH] [/json PATH] [/line[:N] PATH]"),
                  std::string::npos);
        ASSERT_TRUE(program.WaitForExit(15000)) << argument;
        EXPECT_EQ(program.exitStatus(), std::string(argument) == "/?" ? 0 : 87);
    }
    EXPECT_FALSE(FileExists(folder.File("Quor-kelvra.vkh")));
}
