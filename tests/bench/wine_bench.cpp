// Benchmarks of the real program under Wine: the check run beside its floor, and imports of large
// reports. Prints a Markdown table of medians.
//
// The check run is timed from the process start until its report holds all 28 lines (the file is
// closed right after the last one); the program is then ended. The floor does the same platform
// calls in the same order and nothing else.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/e2e/wine_session.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int CountLineEnds(const std::string& path)
{
    const std::vector<unsigned char> bytes = ReadBytes(path);
    int count = 0;
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 2) {
        if (bytes[i] == '\r' && bytes[i + 1] == 0 && bytes[i + 2] == '\n' && bytes[i + 3] == 0)
            ++count;
    }
    return count;
}

using Arguments = std::vector<std::string>;

// Starts `exe` with `arguments` in `folder`, its output thrown away.
pid_t Start(const std::string& folder, const std::string& exe, const Arguments& arguments)
{
    std::vector<char*> argv = {const_cast<char*>("wine"), const_cast<char*>(exe.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0 || !std::freopen("/dev/null", "w", stdout))
            _exit(127);
        execvp("wine", argv.data());
        _exit(127);
    }
    return pid;
}

// Milliseconds from starting `exe` in a fresh folder until its report has 28 lines.
double TimeRun(const std::string& exe)
{
    TempFolder folder;
    const std::string report = folder.File("Quor-kelvra.vkh");
    const auto start = Clock::now();
    const pid_t pid = Start(folder.path(), exe, {});
    double ms = -1;
    while (Clock::now() - start < std::chrono::seconds(60)) {
        if (CountLineEnds(report) >= 28) {
            ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    // The program waits in its dialog; the floor has ended already.
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return ms;
}

// Milliseconds from starting `exe` with `arguments` in a fresh folder until the process has ended.
double TimeToExit(const std::string& exe, const Arguments& arguments)
{
    TempFolder folder;
    const auto start = Clock::now();
    const pid_t pid = Start(folder.path(), exe, arguments);
    int status = 0;
    waitpid(pid, &status, 0);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double TimeSilentRun(const std::string& exe)
{
    return TimeToExit(exe, {"/silent"});
}

// Milliseconds from starting `exe` with `arguments` until its dialog is on the screen and painted,
// it and every control, as the driver, already waiting under the same wineserver, sees it; the
// process is then ended.
double TimeToFirstPaint(const std::string& exe, const Arguments& arguments)
{
    TempFolder folder;
    FILE* watch = popen(("wine " + ShellQuote(Win32Dir() + "/qk-driver.exe") + " first-paint 60000 2>/dev/null").c_str(), "r");
    if (watch == nullptr)
        return -1;
    char line[128] = {};
    if (std::fgets(line, sizeof line, watch) == nullptr || std::string(line).rfind("ready", 0) != 0) {
        pclose(watch);
        return -1;
    }
    const auto start = std::chrono::system_clock::now();
    const pid_t pid = Start(folder.path(), exe, arguments);
    double ms = -1;
    unsigned long long paintedUs = 0;
    if (std::fgets(line, sizeof line, watch) != nullptr && std::sscanf(line, "painted %llu", &paintedUs) == 1) {
        const auto startUs =
            std::chrono::duration_cast<std::chrono::microseconds>(start.time_since_epoch()).count();
        ms = (static_cast<double>(paintedUs) - static_cast<double>(startUs)) / 1000.0;
    }
    pclose(watch);
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return ms;
}

// A report of about `bytes` bytes made of short result lines, as many as fit.
int WriteReport(const std::string& path, std::size_t bytes)
{
    std::ofstream out(path, std::ios::binary);
    std::size_t size = 0;
    int lines = 0;
    for (;; ++lines) {
        // Short result lines, so a 1 MiB file holds about 25,000 of them, each one distinct.
        char number[16];
        std::snprintf(number, sizeof number, "%06d", lines);
        const std::string line = std::string(lines % 2 ? "Username" : "Locale") + ": v" + number +
                                 (lines % 3 ? ":1" : ":0") + "\r\n";
        if (size + line.size() * 2 > bytes)
            break;
        for (char c : line) {
            out.put(c);
            out.put('\0');
        }
        size += line.size() * 2;
    }
    return lines;
}

// The orders of one-character lines the sorted list is worst at.
enum class Shape { Ascending, Descending, AllEqual, Random };

// As many one-character lines as a 1 MiB report holds (262,144: a character and a line feed each),
// drawn from digits and small letters, which the list box orders as their code units do.
int WriteOneCharacterLines(const std::string& path, Shape shape)
{
    const std::string alphabet = "0123456789abcdefghijklmnopqrstuvwxyz";
    const int lines = 1024 * 1024 / 4;
    std::ofstream out(path, std::ios::binary);
    unsigned random = 12345;
    for (int i = 0; i < lines; ++i) {
        const std::size_t step = static_cast<std::size_t>(i) * alphabet.size() / lines;
        std::size_t pick = 0;
        switch (shape) {
        case Shape::Ascending: pick = step; break;
        case Shape::Descending: pick = alphabet.size() - 1 - step; break;
        case Shape::AllEqual: pick = 0; break;
        case Shape::Random:
            random = random * 1103515245u + 12345u;
            pick = (random >> 16) % alphabet.size();
            break;
        }
        out.put(alphabet[pick]);
        out.put('\0');
        out.put('\n');
        out.put('\0');
    }
    return lines;
}

// The times a driver loop printed as "<kind>-ms N", and its "<kind>-units N" line if any.
std::vector<double> LoopTimes(const std::string& arguments, const std::string& kind, long* units = nullptr)
{
    std::vector<double> times;
    std::istringstream lines(RunDriver(arguments));
    for (std::string line; std::getline(lines, line);) {
        double ms;
        if (std::sscanf(line.c_str(), (kind + "-ms %lf").c_str(), &ms) == 1)
            times.push_back(ms);
        if (units != nullptr)
            std::sscanf(line.c_str(), (kind + "-units %ld").c_str(), units);
    }
    return times;
}

// Ctrl+C on the dialog until the clipboard holds the text; the text's length in UTF-16 units.
std::vector<double> CopyTimes(int runs, long* units)
{
    return LoopTimes("copy-loop " + std::to_string(runs), "copy", units);
}

std::vector<double> ImportTimes(const std::string& windowsPath, int runs)
{
    return LoopTimes("import-loop " + std::to_string(runs) + " 0 '" + windowsPath + "'", "import");
}

}  // namespace

int main()
{
    const int runs = std::getenv("QK_BENCH_RUNS") ? std::atoi(std::getenv("QK_BENCH_RUNS")) : 9;
    const std::string program = Win32Dir() + "/Quor-kelvra.exe";
    const std::string floor = Win32Dir() + "/qk-floor.exe";

    // Warm up Wine's server and the disk cache for both.
    TimeRun(floor);
    TimeRun(program);
    std::vector<double> programTimes, floorTimes;
    for (int i = 0; i < runs; ++i) {
        programTimes.push_back(TimeRun(program));
        floorTimes.push_back(TimeRun(floor));
    }
    const double programMs = Median(programTimes), floorMs = Median(floorTimes);
    TimeSilentRun(floor);
    TimeSilentRun(program);
    std::vector<double> silentTimes, silentFloorTimes;
    for (int i = 0; i < runs; ++i) {
        silentTimes.push_back(TimeSilentRun(program));
        silentFloorTimes.push_back(TimeSilentRun(floor));
    }
    const double silentMs = Median(silentTimes), silentFloorMs = Median(silentFloorTimes);

    // Where start-up time goes: starting a process under Wine, then the program's own image, its
    // runtime and static initialisers (its usage text, printed at once), then the dialog until it
    // is shown and painted (resources, images, the dialog), then the run to its report.
    TimeToFirstPaint(floor, {"/show"});
    TimeToFirstPaint(program, {});
    std::vector<double> processTimes, usageTimes, shownTimes, shownFloorTimes;
    for (int i = 0; i < runs; ++i) {
        processTimes.push_back(TimeToExit(floor, {"/exit"}));
        usageTimes.push_back(TimeToExit(program, {"/silent", "/?"}));
        shownTimes.push_back(TimeToFirstPaint(program, {}));
        shownFloorTimes.push_back(TimeToFirstPaint(floor, {"/show"}));
    }
    const double processMs = Median(processTimes), usageMs = Median(usageTimes);
    // The unattended run ends by TerminateProcess rather than by returning (a worker may be held).
    std::vector<double> terminatedTimes;
    for (int i = 0; i < runs; ++i)
        terminatedTimes.push_back(TimeToExit(floor, {"/exit-terminate"}));
    const double terminatedMs = Median(terminatedTimes);
    // Each call the program makes beyond what its answer needs, timed alone inside the floor.
    const std::string pieces = RunCommand("wine " + ShellQuote(floor) + " /pieces 2>/dev/null");
    const double shownMs = Median(shownTimes), shownFloorMs = Median(shownFloorTimes);

    TempFolder folder;
    const std::string large = folder.File("large.vkh"), quarter = folder.File("quarter.vkh");
    const int largeLines = WriteReport(large, 1024 * 1024);
    const int quarterLines = WriteReport(quarter, 256 * 1024);
    RunningProgram running(folder.path());
    DumpDialog();
    long resultUnits = 0;
    const double copyResultsMs = Median(CopyTimes(runs, &resultUnits));
    const double largeMs = Median(ImportTimes(WindowsPath(large), runs));
    const double quarterMs = Median(ImportTimes(WindowsPath(quarter), runs));
    const double cancelMs = Median(ImportTimes("-", runs));
    const struct {
        Shape shape;
        const char* name;
    } shapes[] = {{Shape::Ascending, "ascending"},
                  {Shape::Descending, "descending"},
                  {Shape::AllEqual, "all equal"},
                  {Shape::Random, "in random order"}};
    std::vector<double> shapeMs;
    int shortLines = 0;
    for (const auto& shape : shapes) {
        const std::string path = folder.File("short.vkh");
        shortLines = WriteOneCharacterLines(path, shape.shape);
        shapeMs.push_back(Median(ImportTimes(WindowsPath(path), runs)));
    }
    // The list as the last import left it: a quarter of a million lines in random order.
    long listUnits = 0;
    const double copyListMs = Median(CopyTimes(runs, &listUnits));
    RunDriver("press 1");
    running.WaitForExit(15000);

    std::printf("| figure | median of %d | goal |\n|---|---|---|\n", runs);
    std::printf("| check run under Wine, start to report closed | %.0f ms | |\n", programMs);
    std::printf("| its floor: the same platform calls alone | %.0f ms | |\n", floorMs);
    std::printf("| ratio program / floor | %.2f | at most 1.10 |\n", programMs / floorMs);
    std::printf("| unattended run (/silent), start to exit | %.0f ms | |\n", silentMs);
    std::printf("| its floor: the check run's calls alone, no window | %.0f ms | |\n", silentFloorMs);
    std::printf("| ratio unattended run / floor | %.2f | at most 1.10 |\n", silentMs / silentFloorMs);
    std::printf("| start to the dialog's first paint | %.0f ms | |\n", shownMs);
    std::printf("| its floor: the same template shown and painted, nothing else | %.0f ms | |\n", shownFloorMs);
    std::printf("| ratio first paint / floor | %.2f | at most 1.2 |\n", shownMs / shownFloorMs);
    std::printf("| phase: a process started and ended under Wine (the floor, /exit) | %.0f ms | |\n", processMs);
    std::printf("| phase: + the program's image, runtime and static initialisers (/silent /? printed) | %+.0f ms | |\n",
                usageMs - processMs);
    std::printf("| phase: + resources, images and the dialog, to its first paint | %+.0f ms | |\n",
                shownMs - usageMs);
    std::printf("| phase: + the check run, to its report in place | %+.0f ms | |\n", programMs - shownMs);
    std::printf("| the same ended by TerminateProcess, as an unattended run ends | %.0f ms | |\n", terminatedMs);
    std::istringstream pieceLines(pieces);
    for (std::string kind, name, microseconds; pieceLines >> kind >> name >> microseconds;) {
        if (kind == "piece")
            std::printf("| piece alone: %s | %s us | |\n", name.c_str(), microseconds.c_str());
    }
    std::printf("| import of a 1 MiB report (%d lines), OK to shown | %.0f ms | under 1000 ms |\n", largeLines,
                largeMs);
    std::printf("| import of a 256 KiB report (%d lines) | %.0f ms | |\n", quarterLines, quarterMs);
    for (std::size_t i = 0; i < shapeMs.size(); ++i)
        std::printf("| import of %d one-character lines (1 MiB), %s | %.0f ms | under 1000 ms |\n", shortLines,
                    shapes[i].name, shapeMs[i]);
    std::printf("| the open-file dialog alone (Cancel) | %.0f ms | |\n", cancelMs);
    std::printf("| Ctrl+C after a run (28 lines, %ld characters), key to clipboard | %.0f ms | |\n", resultUnits,
                copyResultsMs);
    std::printf("| Ctrl+C after importing %d one-character lines (%ld characters) | %.0f ms | under 1000 ms |\n",
                shortLines, listUnits, copyListMs);
    std::printf("| import time per line beyond the dialog: 1 MiB / 256 KiB | %.1f / %.1f us | equal: linear |\n",
                1000.0 * (largeMs - cancelMs) / largeLines, 1000.0 * (quarterMs - cancelMs) / quarterLines);
    return 0;
}
