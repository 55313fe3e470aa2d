// The hardware probes under Wine against Wine's own WMI, read independently with wmic.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "tests/e2e/wine_session.h"

namespace {

constexpr unsigned long WS_DISABLED_BIT = 0x08000000;

std::string ResultLine(const std::vector<std::string>& lines, const std::string& label)
{
    for (const std::string& line : lines) {
        if (line.rfind(label + ": ", 0) == 0)
            return line.substr(label.size() + 2);
    }
    return "<missing>";
}

std::vector<std::string> RunAndClose(const TempFolder& folder, const std::vector<std::string>& environment,
                                     DialogDump* dump = nullptr)
{
    RunningProgram program(folder.path(), environment);
    DialogDump seen = DumpDialog();
    EXPECT_TRUE(seen.found);
    if (dump)
        *dump = seen;
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000));
    return ReportLinesOf(folder.File("Quor-kelvra.vkh"));
}

// Wine's WMI made to never answer, for the object's lifetime: the WMI locator's class is registered
// to a DLL whose class factory never comes (tests/e2e/hung_wmi.cpp), in the registry view the
// program reads, and given back its own server afterwards.
class HungWmi {
public:
    HungWmi()
    {
        const std::string answer = RunCommand("wine reg query '" + Key() + "' /ve " + View() + " 2>/dev/null");
        const std::size_t type = answer.find("REG_SZ");
        if (type != std::string::npos)
            original_ = answer.substr(answer.find_first_not_of(' ', type + 6));
        original_.erase(original_.find_last_not_of("\r\n ") + 1);
        EXPECT_FALSE(original_.empty()) << "Wine's WMI locator is not registered: " << answer;
        Register(WindowsPath(Win32Dir() + "/qk-hung-wmi.dll"));
    }
    ~HungWmi() { Register(original_); }

private:
    static std::string Key() { return "HKLM\\Software\\Classes\\CLSID\\{CB8555CC-9128-11D1-AD9B-00C04FD8FDFF}\\InprocServer32"; }
    static std::string View()
    {
        const char* bits = std::getenv("QK_WINE_BITS");
        return bits && std::string(bits) == "64" ? "/reg:64" : "/reg:32";
    }
    void Register(const std::string& server)
    {
        int code = -1;
        RunCommand("wine reg add '" + Key() + "' /ve /d '" + server + "' /f " + View() + " >/dev/null 2>&1", &code);
        EXPECT_EQ(code, 0) << "could not register " << server;
    }
    std::string original_;
};

// The items that do not come from WMI all pass: then a failing WMI leaves the verdict open.
bool EveryLocalItemPasses(const std::vector<std::string>& lines)
{
    for (const char* label : {"Operating System", "Operating System Version", "Locale", "Total Physical Memory",
                              "Available Physical Memory", "Serial Ports Detected"}) {
        const std::string value = ResultLine(lines, label);
        if (value.size() < 2 || value.substr(value.size() - 2) != ":1")
            return false;
    }
    return true;
}

// 1460 (not known) when every item that fails was failed by WMI, 1 when another fails on its value;
// Wine's exit status keeps the low byte of 1460, 180.
int ExpectedCodeOnFailedWmi(const std::vector<std::string>& lines)
{
    return EveryLocalItemPasses(lines) ? 1460 % 256 : 1;
}

// An environment variable set for the object's lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        setenv(name, value, 1);
    }
    ~ScopedEnvironment()
    {
        if (old_.empty())
            unsetenv(name_);
        else
            setenv(name_, old_.c_str(), 1);
    }

private:
    const char* name_;
    std::string old_;
};

// The program alone told by Wine that it runs on another Windows version, for the object's lifetime.
class ProgramVersion {
public:
    explicit ProgramVersion(const std::string& version)
    {
        int code = -1;
        RunCommand("wine reg add '" + Key() + "' /v Version /d " + version + " /f >/dev/null 2>&1", &code);
        EXPECT_EQ(code, 0);
    }
    ~ProgramVersion() { RunCommand("wine reg delete '" + Key() + "' /f >/dev/null 2>&1"); }

private:
    static std::string Key() { return "HKCU\\Software\\Wine\\AppDefaults\\Quor-kelvra.exe"; }
};

// A fixed drive A: of its own block device (a loop-mounted file system), listed before C: by
// Wine's WMI, which numbers one disk per fixed drive letter in letter order.
class DriveBeforeC {
public:
    explicit DriveBeforeC(const std::string& mountPoint) : mountPoint_(mountPoint), image_(mountPoint + ".img")
    {
        int code = -1;
        RunCommand("truncate -s 2G " + ShellQuote(image_) + " && mkfs.ext2 -q -F " + ShellQuote(image_) +
                       " >/dev/null 2>&1 && mount -o loop " + ShellQuote(image_) + " " + ShellQuote(mountPoint_) +
                       " 2>/dev/null && chmod 777 " + ShellQuote(mountPoint_),
                   &code);
        mounted_ = code == 0;
        if (!mounted_)
            return;
        link_ = std::string(std::getenv("WINEPREFIX")) + "/dosdevices/a:";
        std::remove(link_.c_str());
        EXPECT_EQ(symlink(mountPoint_.c_str(), link_.c_str()), 0);
        RunCommand("wine reg add 'HKLM\\Software\\Wine\\Drives' /v a: /d hd /f >/dev/null 2>&1");
        // A running Wine keeps the drives it knew at its start, and the type a letter was given.
        RunCommand("wineserver -k; wineserver -w");
    }
    ~DriveBeforeC()
    {
        if (mounted_) {
            std::remove(link_.c_str());
            RunCommand("wine reg delete 'HKLM\\Software\\Wine\\Drives' /v a: /f >/dev/null 2>&1");
            RunCommand("wineserver -k; wineserver -w");
            RunCommand("umount " + ShellQuote(mountPoint_));
        }
        std::remove(image_.c_str());
    }
    bool mounted() const { return mounted_; }

private:
    std::string mountPoint_, image_, link_;
    bool mounted_ = false;
};

// A column of every instance of a wmic alias, in WMI's order.
std::vector<std::string> WmicColumn(const std::string& alias, const std::string& property)
{
    std::vector<std::string> values;
    const std::string text =
        RunCommand("wine wmic " + alias + " get " + property + " 2>/dev/null | iconv -f UTF-16LE -t UTF-8 | tr -d '\\r'");
    std::size_t start = text.find('\n');
    while (start != std::string::npos && start + 1 < text.size()) {
        const std::size_t end = text.find('\n', start + 1);
        std::string value = text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
        value.erase(value.find_last_not_of(' ') + 1);
        if (!value.empty())
            values.push_back(value);
        start = end;
    }
    return values;
}

}  // namespace

TEST(WmiProbes, ReportWhatWinesWmiReports)
{
    TempFolder folder;
    const std::vector<std::string> lines = RunAndClose(folder, {});
    ASSERT_EQ(lines.size(), 28u);

    const std::string manufacturer = WmicValue("computersystem", "Manufacturer");
    const std::string model = WmicValue("computersystem", "Model");
    const std::string user = WmicValue("computersystem", "UserName");
    EXPECT_EQ(ResultLine(lines, "System Manufacturer"),
              manufacturer + " " + model +
                  (manufacturer == "Dell Inc." || model == "QBOX-2060" ? ":1" : ":0"));
    EXPECT_EQ(ResultLine(lines, "Username").substr(0, user.size() + 1), user + ":");

    const int megahertz = std::stoi(WmicValue("cpu", "MaxClockSpeed"));
    char speed[32];
    std::snprintf(speed, sizeof speed, "%d.%03d GHz", megahertz / 1000, megahertz % 1000);
    const std::string processor = ResultLine(lines, "Processor Speed");
    EXPECT_EQ(processor.substr(0, processor.size() - 2), speed);

    const std::string date = WmicValue("bios", "ReleaseDate");
    ASSERT_GE(date.size(), 8u);
    const int year = std::stoi(date.substr(0, 4));
    EXPECT_EQ(ResultLine(lines, "BIOS Version"), date.substr(0, 4) + "/" + date.substr(4, 2) + "/" +
                                                     date.substr(6, 2) + (year >= 2005 ? ":1" : ":0"));

    const long long units = std::stoll(WmicValue("diskdrive", "Size")) / 1073741824LL;
    const bool ssd = WmicValue("diskdrive", "Model").find("SSD") != std::string::npos;
    const std::string size = (units >= 1 ? std::to_string(units) + " GB" : "< 1 GB") + (ssd ? " SSD" : "");
    EXPECT_EQ(ResultLine(lines, "Hard Drive Size"),
              size + (units >= 140 || (ssd && units >= 58) ? ":1" : ":0"));
}

TEST(WmiProbes, DisabledWmiStillShowsTheDialogWithItsErrors)
{
    TempFolder folder;
    DialogDump dump;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> lines =
        RunAndClose(folder, {"WINEDLLOVERRIDES=mscoree,mshtml,wbemprox="}, &dump);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30);
    ASSERT_EQ(lines.size(), 28u);
    for (const char* label : {"Processor Speed", "BIOS Version", "Username", "Hard Drive Size"}) {
        const std::string value = ResultLine(lines, label);
        EXPECT_EQ(value.rfind("Error 0x", 0), 0u) << label << ": " << value;
        EXPECT_EQ(value.substr(value.size() - 2), ":0") << label;
    }
    EXPECT_EQ(ResultLine(lines, "System Manufacturer").rfind("Error 0x", 0), 0u);
    EXPECT_EQ(dump.controls[1019].text.rfind("Error 0x", 0), 0u);
    EXPECT_EQ(dump.list.size(), 28u);
}

TEST(WmiProbes, AFailingWmiLeavesTheVerdictOpenUnlessAnItemFailsOnItsValue)
{
    ScopedEnvironment noWmi("WINEDLLOVERRIDES", "mscoree,mshtml,wbemprox=");
    TempFolder folder;
    std::string output;
    const int code = RunProgramToEnd(folder.path(), {"/silent", "/json", "-"}, &output);
    const std::vector<std::string> lines = ReportLinesOf(folder.File("Quor-kelvra.vkh"));
    ASSERT_EQ(lines.size(), 28u);
    // The 32-bit Windows XP profile with three serial ports passes every item WMI does not give.
    const char* profile = std::getenv("QK_PROFILE");
    if (profile && std::string(profile) == "xp-32") {
        EXPECT_TRUE(EveryLocalItemPasses(lines));
    }
    EXPECT_EQ(code, ExpectedCodeOnFailedWmi(lines));
    const nlohmann::json json = nlohmann::json::parse(output);
    int judgedOnErrors = 0;
    for (const auto& item : json["items"]) {
        if (!item.contains("error"))
            continue;
        ++judgedOnErrors;
        EXPECT_EQ(ResultLine(lines, item["label"]).rfind("Error " + item["error"].get<std::string>(), 0), 0u)
            << item["label"];
        EXPECT_FALSE(item.contains("timedOut")) << "WMI failed at once";
    }
    EXPECT_EQ(judgedOnErrors, 5);
    EXPECT_EQ(json["fit"].is_null(), EveryLocalItemPasses(lines));
    // The console's line says the same, verdict first, with WMI's status for each item it failed.
    std::string line;
    EXPECT_EQ(RunProgramToEnd(folder.path(), {"/silent", "/line", "-"}, &line), code);
    EXPECT_EQ(line.rfind(EveryLocalItemPasses(lines) ? "Unknown: " : "Unfit: ", 0), 0u) << line;
    EXPECT_NE(line.find("WMI failed for System Manufacturer (0x"), std::string::npos) << line;
    EXPECT_EQ(line.find('\n'), line.size() - 1) << line;

    // The same PC on a system that fails its own rule is unfit, whatever WMI did.
    ProgramVersion vista("vista");
    TempFolder unfit;
    EXPECT_EQ(RunProgramToEnd(unfit.path(), {"/silent", "/json", "-"}, &output), 1);
    EXPECT_EQ(ResultLine(ReportLinesOf(unfit.File("Quor-kelvra.vkh")), "Operating System").rfind(
                  "Microsoft Windows Vista ", 0),
              0u);
    EXPECT_EQ(nlohmann::json::parse(output)["fit"], false);

    // The site summary reads both reports as the program judged them: not known, and unfit.
    const std::string summary = RunCommand("'" + std::filesystem::current_path().string() +
                                           "/build/native/quor-kelvra-summary' --json - '" +
                                           folder.File("Quor-kelvra.vkh") + "' '" + unfit.File("Quor-kelvra.vkh") +
                                           "' 2>/dev/null");
    const nlohmann::json site = nlohmann::json::parse(summary);
    ASSERT_EQ(site["reports"].size(), 2u) << summary;
    // Rows come in path order, and the folders' names are random.
    for (const auto& report : site["reports"]) {
        if (report["report"].get<std::string>().rfind(folder.path(), 0) == 0) {
            EXPECT_EQ(report["fit"].is_null(), EveryLocalItemPasses(lines)) << report["report"];
        } else {
            EXPECT_EQ(report["fit"], false) << report["report"];
        }
    }
    EXPECT_EQ(site["totals"]["unknown"], EveryLocalItemPasses(lines) ? 1 : 0);
    EXPECT_EQ(site["totals"]["fit"], 0);
}

TEST(WmiProbes, TheDriveMeasuredIsTheSystemDisksWhicheverDiskWmiListsFirst)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "a drive of its own block device needs mount -o loop, which needs root";
    TempFolder mountPoint;
    DriveBeforeC drive(mountPoint.path());
    if (!drive.mounted())
        GTEST_SKIP() << "no loop device can be mounted here; the system disk's choice is tested natively";
    const std::vector<std::string> letters = WmicColumn("logicaldisk", "DeviceID");
    const std::vector<std::string> sizes = WmicColumn("logicaldisk", "Size");
    const std::vector<std::string> disks = WmicColumn("diskdrive", "Size");
    ASSERT_EQ(letters.size(), sizes.size());
    ASSERT_GE(letters.size(), 2u);
    ASSERT_EQ(letters[0], "A:") << "the small drive is listed first";
    ASSERT_EQ(letters[1], "C:");
    ASSERT_GE(disks.size(), 2u);
    const long long units = std::stoll(sizes[1]) / 1073741824LL;
    ASSERT_NE(std::stoll(disks[0]) / 1073741824LL, units) << "the disk listed first must not look like C:'s";

    TempFolder folder;
    RunProgramToEnd(folder.path(), {"/silent"});
    const std::vector<std::string> lines = ReportLinesOf(folder.File("Quor-kelvra.vkh"));
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(ResultLine(lines, "Hard Drive Size"),
              (units >= 1 ? std::to_string(units) + " GB" : "< 1 GB") + (units >= 140 ? ":1" : ":0"));
}

TEST(WmiProbes, AWmiThatNeverAnswersCostsOneDeadlineAndTheRunEndsAsUsual)
{
    HungWmi hung;
    const char* wmiLabels[] = {"System Manufacturer", "Processor Speed", "BIOS Version", "Username", "Hard Drive Size"};

    // The dialog and a silent run side by side, so the test waits for one deadline, not two.
    TempFolder dialog;
    RunningProgram shown(dialog.path());
    TempFolder silent;
    std::string output;
    const auto start = std::chrono::steady_clock::now();
    const int code = RunProgramToEnd(silent.path(), {"/silent", "/json", "-"}, &output);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30) << "one deadline of 15 s, and a margin";
    const std::vector<std::string> lines = ReportLinesOf(silent.File("Quor-kelvra.vkh"));
    ASSERT_EQ(lines.size(), 28u);
    // Not known where only WMI's items fail; unfit where another fails on its value (64-bit Windows 7).
    EXPECT_EQ(code, ExpectedCodeOnFailedWmi(lines));
    const nlohmann::json json = nlohmann::json::parse(output);
    for (const char* label : wmiLabels) {
        const std::string value = ResultLine(lines, label);
        EXPECT_EQ(value.rfind("Error 0x40004", 0), 0u) << label << ": " << value;
        EXPECT_EQ(value.substr(value.size() - 2), ":0") << label;
    }
    int timedOut = 0;
    for (const auto& item : json["items"])
        timedOut += item.value("timedOut", false) ? 1 : 0;
    EXPECT_EQ(timedOut, 5);
    EXPECT_EQ(ResultLine(lines, "Locale"), "English:1");

    // The dialog has completed with the same rows, and OK ends it.
    const DialogDump dump = DumpDialog();
    ASSERT_TRUE(dump.found);
    EXPECT_EQ(dump.list.size(), 28u);
    EXPECT_EQ(dump.controls.at(1019).text, "Error 0x40004");
    EXPECT_EQ(dump.controls.at(1033).text, "Error 0x40004");
    RunDriver("press 1");
    EXPECT_TRUE(shown.WaitForExit(15000));
    const std::vector<std::string> dialogLines = ReportLinesOf(dialog.File("Quor-kelvra.vkh"));
    ASSERT_EQ(dialogLines.size(), 28u);
    for (std::size_t i = 17; i < 28; ++i) {
        if (lines[i].rfind("Available Physical Memory", 0) != 0) {
            EXPECT_EQ(dialogLines[i], lines[i]);
        }
    }
}

TEST(WmiProbes, TheSessionsEndStopsARunWaitingForWmiAndLeavesNothingHalfWritten)
{
    HungWmi hung;
    // The dialog and a silent run, which has no window of its own to be told by.
    for (const bool silent : {true, false}) {
        TempFolder folder;
        const std::vector<std::string> arguments =
            silent ? std::vector<std::string>{"/silent"} : std::vector<std::string>{};
        RunningProgram program(folder.path(), {}, arguments);
        const std::string partial = folder.File("Quor-kelvra.vkh.partial");
        for (int waited = 0; waited < 100 && !FileExists(partial); ++waited)
            usleep(50000);
        ASSERT_TRUE(FileExists(partial)) << "the run is under way, waiting for WMI";
        // The silent run makes its window only once it has gone on for a quarter of a second.
        usleep(500000);
        const auto start = std::chrono::steady_clock::now();
        // Wine's own end of the session: WM_QUERYENDSESSION and WM_ENDSESSION to every window.
        RunCommand("wine wineboot --end-session >/dev/null 2>&1");
        EXPECT_TRUE(program.WaitForExit(10000)) << (silent ? "silent" : "dialog");
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 10) << "long before the 15 s deadline";
        EXPECT_FALSE(FileExists(partial)) << (silent ? "silent" : "dialog");
        EXPECT_FALSE(FileExists(folder.File("Quor-kelvra.vkh"))) << "a stopped run puts no report in place";
    }
}

TEST(WmiProbes, TheDialogShowsAtOnceAndClosingItDuringTheRunLeavesTheEarlierReport)
{
    HungWmi hung;
    TempFolder folder;
    const std::string report = folder.File("Quor-kelvra.vkh");
    WriteUtf16(report, "An earlier report:  1\r\n");
    const std::vector<unsigned char> earlier = ReadBytes(report);

    RunningProgram program(folder.path());
    // Long before the WMI deadline: on the screen, painted, saying what it does, Import File off.
    const DialogDump dump = DumpDialog(10000, "Quor-kelvra", /*duringRun=*/true);
    ASSERT_TRUE(dump.found);
    EXPECT_EQ(dump.controls.at(1031).text.rfind("Checking this PC", 0), 0u) << dump.controls.at(1031).text;
    EXPECT_TRUE(dump.list.empty());
    EXPECT_NE(dump.controls.at(3).style & WS_DISABLED_BIT, 0u) << "Import File waits for the run";
    EXPECT_EQ(dump.background, "153,186,190") << "the dialog paints while the run goes on";
    // No item is judged yet: no mark may show a verdict.
    int marks = 0;
    for (const auto& [id, control] : dump.controls) {
        if (control.mark.empty() || control.mark == "other")  // the logo
            continue;
        ++marks;
        EXPECT_EQ(control.mark, "blank") << "mark " << id;
    }
    EXPECT_EQ(marks, 11);
    SaveScreenshot("during-a-wmi-wait");

    // Closed by its OK button in the middle of the run: the program ends at once.
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(5000)) << "the program waited for WMI after its dialog was closed";
    EXPECT_EQ(ReadBytes(report), earlier);
    EXPECT_FALSE(FileExists(report + ".partial"));
}
