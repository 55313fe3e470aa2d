// Sweeps over the real program: many imports in one run must not pile up handles or memory, and
// each fault of the machine must still end in a complete run, a dialog and a clear word.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tests/e2e/wine_session.h"

namespace {

struct Resources {
    long gdi = -1, user = -1, handles = -1, keys = -1, privateKb = -1;
};

std::map<int, Resources> ParseResources(const std::string& output)
{
    std::map<int, Resources> byImports;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        int imports = 0;
        Resources r;
        if (std::sscanf(line.c_str(), "resources imports=%d gdi=%ld user=%ld handles=%ld keys=%ld private-kb=%ld",
                        &imports, &r.gdi, &r.user, &r.handles, &r.keys, &r.privateKb) == 6)
            byImports[imports] = r;
    }
    return byImports;
}

std::string ResultValue(const std::vector<std::string>& lines, const std::string& label)
{
    for (const std::string& line : lines) {
        if (line.rfind(label + ": ", 0) == 0)
            return line.substr(label.size() + 2);
    }
    return "<missing>";
}

bool DefaultProfile()
{
    const char* profile = std::getenv("QK_PROFILE");
    return profile == nullptr || std::string(profile) == "win7-64";
}

}  // namespace

TEST(LeakSweep, TwoHundredImportsLeaveHandlesAndMemoryFlat)
{
    if (!DefaultProfile())
        GTEST_SKIP() << "swept on the default profile";
    TempFolder folder;
    RunningProgram program(folder.path());
    ASSERT_TRUE(DumpDialog().found);
    const std::string output =
        RunDriver("import-loop 200 50 '" + WindowsPath(folder.File("Quor-kelvra.vkh")) + "'");
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000));

    const auto counts = ParseResources(output);
    ASSERT_EQ(counts.size(), 5u) << output;
    for (const auto& [imports, r] : counts)
        std::printf("after %d imports: gdi %ld, user %ld, handles %ld, keys %ld, private %ld KiB\n", imports,
                    r.gdi, r.user, r.handles, r.keys, r.privateKb);
    // The first imports load the file dialog's libraries; from then on nothing may grow.
    const Resources& warm = counts.at(50);
    const Resources& last = counts.at(200);
    EXPECT_LE(last.gdi, warm.gdi);
    EXPECT_LE(last.user, warm.user);
    EXPECT_EQ(last.handles, warm.handles);
    EXPECT_LT(last.privateKb - warm.privateKb, 512) << "private memory grew";
    // Wine's open-file dialog keeps one registry key (its LastVisitedMRU list) per confirmed
    // choice; the import itself opens none.
    EXPECT_LE(last.keys - warm.keys, 150);
}

namespace {

// Another process, the driver, holds `path` open without sharing for `milliseconds`.
pid_t HoldFile(const std::string& path, int milliseconds)
{
    const pid_t holder = fork();
    if (holder == 0) {
        const std::string command = "wine '" + Win32Dir() + "/qk-driver.exe' hold '" + WindowsPath(path) + "' " +
                                    std::to_string(milliseconds) + " >/dev/null 2>&1";
        _exit(std::system(command.c_str()) == 0 ? 0 : 1);
    }
    return holder;
}

}  // namespace

TEST(FaultSweep, ReportHeldOpenByAnotherProcessIsLeftAloneAndNamedUnderTheList)
{
    if (!DefaultProfile())
        GTEST_SKIP() << "swept on the default profile";
    TempFolder folder;
    const std::string report = folder.File("Quor-kelvra.vkh");
    std::FILE* previous = std::fopen(report.c_str(), "wb");
    ASSERT_NE(previous, nullptr);
    std::fputs("another program's data", previous);
    std::fclose(previous);

    // The driver holds the file without sharing while the program runs.
    const pid_t holder = HoldFile(report, 6000);
    ASSERT_EQ(RunDriver("wait-held '" + WindowsPath(report) + "' 10000"), "held\n");
    {
        RunningProgram program(folder.path());
        const DialogDump dump = DumpDialog();
        ASSERT_TRUE(dump.found);
        EXPECT_EQ(dump.list.size(), 28u);
        // The old bytes stay, and the dialog says that today's report is not among them.
        const std::string said = dump.controls.at(1031).text;
        const std::string expected = "Quor-kelvra.vkh could not be created in " + WindowsPath(folder.path()) + ": ";
        EXPECT_EQ(said.rfind(expected, 0), 0u) << said;
        EXPECT_GT(said.size(), expected.size()) << "no reason given";
        RunDriver("press 1");
        EXPECT_TRUE(program.WaitForExit(15000));
    }
    int status = 0;
    waitpid(holder, &status, 0);
    const std::vector<unsigned char> bytes = ReadBytes(report);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "another program's data");
    EXPECT_FALSE(FileExists(report + ".partial"));

    // Held for a second only, as an antivirus or a collector holds it: waited out, and the new
    // report is in place, whole.
    const pid_t briefly = HoldFile(report, 1000);
    ASSERT_EQ(RunDriver("wait-held '" + WindowsPath(report) + "' 10000"), "held\n");
    const int code = RunProgramToEnd(folder.path(), {"/silent"});
    EXPECT_TRUE(code == 0 || code == 1 || code == 1460 % 256) << code;
    waitpid(briefly, &status, 0);
    EXPECT_EQ(ReportLinesOf(report).size(), 28u);
    EXPECT_FALSE(FileExists(report + ".partial"));
}

TEST(FaultSweep, FullDiskLeavesNoHalfReportAndSaysSo)
{
    if (!DefaultProfile())
        GTEST_SKIP() << "swept on the default profile";
    TempFolder folder;
    // A filesystem of one page, nearly filled, so the report runs out of room part-way.
    const std::string disk = folder.path() + "/disk";
    ASSERT_EQ(std::system(("mkdir -p '" + disk + "'").c_str()), 0);
    if (std::system(("mount -t tmpfs -o size=4k tmpfs '" + disk + "' 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "no small filesystem can be mounted here; the seam's write failure is tested natively";
    std::system(("head -c 3072 /dev/zero > '" + disk + "/filler'").c_str());
    DialogDump dump;
    {
        RunningProgram program(disk);
        dump = DumpDialog();
        RunDriver("press 1");
        EXPECT_TRUE(program.WaitForExit(15000));
    }
    const std::vector<unsigned char> bytes = ReadBytes(disk + "/Quor-kelvra.vkh");
    const bool partialLeft = FileExists(disk + "/Quor-kelvra.vkh.partial");
    std::system(("umount '" + disk + "'").c_str());
    ASSERT_TRUE(dump.found);
    EXPECT_EQ(dump.list.size(), 28u);
    EXPECT_EQ(dump.controls.at(1031).text,
              "Quor-kelvra.vkh was not written: writing it failed part-way, and any earlier report was left as it was.");
    // tmpfs hands out whole pages, and the filler holds the only one: nothing of the report fits,
    // and what did is removed with its partial file.
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(partialLeft);
}

TEST(FaultSweep, MissingSerialMapCountsNoPorts)
{
    if (!DefaultProfile())
        GTEST_SKIP() << "swept on the default profile";
    // The map is volatile: Wine rebuilds it when the prefix next starts.
    ASSERT_EQ(std::system("wine reg delete 'HKLM\\Hardware\\DeviceMap\\SerialComm' /f >/dev/null 2>&1"), 0);
    TempFolder folder;
    RunningProgram program(folder.path());
    const DialogDump dump = DumpDialog();
    ASSERT_TRUE(dump.found);
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000));
    EXPECT_EQ(dump.controls.at(1037).text, "0");
    EXPECT_EQ(ResultValue(ReportLinesOf(folder.File("Quor-kelvra.vkh")), "Serial Ports Detected"), "0:0");
}
