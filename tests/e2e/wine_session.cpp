#include "tests/e2e/wine_session.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "text/text.h"

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char next = text[++i];
            out += next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Win32Dir()
{
    const char* dir = std::getenv("QK_WIN32_DIR");
    return dir ? dir : "build/win32";
}

std::string WindowsPath(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    return path;
}

TempFolder::TempFolder()
{
    const char* base = std::getenv("QK_TEST_TMP");
    std::string pattern = std::string(base ? base : "/tmp") + "/qk-e2e-XXXXXX";
    if (mkdtemp(&pattern[0]) != nullptr)
        path_ = pattern;
}

TempFolder::~TempFolder()
{
    if (readOnly_)
        std::system(("chattr -i " + ShellQuote(path_)).c_str());
    if (!path_.empty())
        std::system(("rm -rf " + ShellQuote(path_)).c_str());
}

bool TempFolder::MakeReadOnly()
{
    // Root may write anywhere, so permissions cannot make the folder read-only, but the immutable
    // attribute can. Wine's server creates files itself, so it must hold for every process.
    readOnly_ = std::system(("chattr +i " + ShellQuote(path_) + " 2>/dev/null").c_str()) == 0;
    return readOnly_;
}

RunningProgram::RunningProgram(const std::string& folder, const std::vector<std::string>& environment,
                               const std::vector<std::string>& arguments)
{
    const std::string exe = Win32Dir() + "/Quor-kelvra.exe";
    std::vector<char*> argv = {const_cast<char*>("wine"), const_cast<char*>(exe.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        for (const std::string& setting : environment)
            putenv(const_cast<char*>(setting.c_str()));
        execvp("wine", argv.data());
        _exit(127);
    }
}

std::string RunCommand(const std::string& command, int* exitCode)
{
    std::string output;
    int status = -1;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t count;
        while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, count);
        status = pclose(pipe);
    }
    if (exitCode)
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

int RunProgramToEnd(const std::string& folder, const std::vector<std::string>& arguments, std::string* output,
                    std::string* errors)
{
    std::string command = "cd " + ShellQuote(folder) + " && timeout 60 wine " + ShellQuote(Win32Dir() + "/Quor-kelvra.exe");
    for (const std::string& argument : arguments)
        command += " " + ShellQuote(argument);
    // Wine's own messages go to standard error too; only the program's lines are kept.
    // Beside the folder, not in it: the folder may be read-only.
    const std::string errorFile = folder + ".stderr";
    int exitCode = -1;
    const std::string captured = RunCommand(command + " 2>" + ShellQuote(errorFile), &exitCode);
    if (output)
        *output = captured;
    if (errors) {
        std::ifstream in(errorFile, std::ios::binary);
        errors->clear();
        for (std::string line; std::getline(in, line);) {
            if (line.find("fixme:") == std::string::npos && line.find("err:") == std::string::npos)
                *errors += line + "\n";
        }
    }
    std::remove(errorFile.c_str());
    return exitCode;
}

RunningProgram::~RunningProgram()
{
    if (pid_ > 0 && status_ == -1) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool RunningProgram::WaitForExit(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

std::string RunningProgram::State()
{
    if (status_ == -1) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) != pid_)
            return "running";
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    }
    return "ended with " + std::to_string(status_);
}

std::string RunDriver(const std::string& arguments, int* exitCode)
{
    const std::string command =
        "wine " + ShellQuote(Win32Dir() + "/qk-driver.exe") + " " + arguments + " 2>/dev/null";
    const std::string output = RunCommand(command, exitCode);
    std::string clean;
    for (char c : output) {
        if (c != '\r')
            clean += c;
    }
    return clean;
}

DialogDump DumpDialog(int timeoutMs, const std::string& title, bool duringRun)
{
    DialogDump dump;
    std::istringstream lines(RunDriver((duringRun ? "dump-running " : "dump ") + std::to_string(timeoutMs) + " " +
                                       ShellQuote(title)));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "error") {
            dump.missing = line;
        } else if (kind == "dialog") {
            dump.found = true;
            const std::size_t title = line.find("title=");
            dump.title = title == std::string::npos ? "" : line.substr(title + 6);
        } else if (kind == "control") {
            int id = 0;
            std::string className, visible, style, rect;
            fields >> id >> className >> visible >> style >> rect;
            ControlInfo& control = dump.controls[id];
            control.className = className.substr(6);
            control.visible = visible == "visible=1";
            control.style = std::stoul(style.substr(6), nullptr, 16);
            std::sscanf(rect.c_str(), "rect=%d,%d,%d,%d", &control.left, &control.top,
                        &control.right, &control.bottom);
        } else if (kind == "text" || kind == "mark") {
            int id = 0;
            fields >> id;
            const std::size_t start = line.find(' ', line.find(' ') + 1);
            const std::string rest = start == std::string::npos ? "" : line.substr(start + 1);
            if (kind == "text") {
                dump.controls[id].text = Unescape(rest);
                dump.texts.push_back(Unescape(rest));
            }
            else
                dump.controls[id].mark = rest;
        } else if (kind == "list") {
            dump.list.push_back(Unescape(line.size() > 5 ? line.substr(5) : ""));
        } else if (kind == "colour") {
            int id = 0;
            std::string colour;
            fields >> id >> colour;
            dump.controls[id].colour = colour;
        } else if (kind == "size") {
            fields >> dump.width >> dump.height;
        } else if (kind == "ink") {
            int id = 0;
            fields >> id;
            fields >> dump.controls[id].inkWidth >> dump.controls[id].inkHeight;
        } else if (kind == "tabs") {
            int id = 0;
            fields >> id >> dump.controls[id].tabs;
        } else if (kind == "background") {
            fields >> dump.background;
        } else if (kind == "sorted") {
            dump.sorted = line == "sorted 1";
        }
    }
    return dump;
}

std::map<std::string, std::string> PlatformRecords()
{
    std::map<std::string, std::string> records;
    std::istringstream lines(RunDriver("sysinfo"));
    for (std::string line; std::getline(lines, line);) {
        const std::size_t space = line.find(' ');
        if (space != std::string::npos)
            records[line.substr(0, space)] = Unescape(line.substr(space + 1));
        else
            records[line] = "";
    }
    return records;
}

std::vector<unsigned char> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

bool FileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> ReportLines(const std::vector<unsigned char>& bytes)
{
    EXPECT_EQ(bytes.size() % 2, 0u) << "odd byte count";
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    EXPECT_TRUE(text.empty() || text[0] != 0xFEFF) << "byte-order mark";
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(u"\r\n", start)) != std::u16string::npos; start = end + 2) {
        const std::u16string line = text.substr(start, end - start);
        EXPECT_EQ(line.find_first_of(u"\r\n"), std::u16string::npos) << "stray line break";
        lines.push_back(ToUtf8(line));
    }
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return lines;
}

std::vector<std::string> ReportLinesOf(const std::string& path)
{
    return ReportLines(ReadBytes(path));
}

std::string WmicValue(const std::string& alias, const std::string& property)
{
    const std::string command = "wine wmic " + alias + " get " + property + " 2>/dev/null";
    std::vector<unsigned char> bytes;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        int c;
        while ((c = fgetc(pipe)) != EOF)
            bytes.push_back(static_cast<unsigned char>(c));
        pclose(pipe);
    }
    // wmic writes UTF-16 with a byte-order mark: a header line, then one line per instance.
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    std::vector<std::string> lines;
    std::string line;
    for (char16_t c : text) {
        if (c == u'\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != u'\r' && c != 0xFEFF) {
            line += ToUtf8(std::u16string(1, c));
        }
    }
    lines.push_back(line);
    if (lines.size() < 2)
        return "<no answer>";
    std::string value = lines[1];
    value.erase(value.find_last_not_of(' ') + 1);
    return value;
}

MessageBoxInfo ReadMessageBox(int timeoutMs)
{
    MessageBoxInfo box;
    std::istringstream lines(RunDriver("messagebox " + std::to_string(timeoutMs)));
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("caption ", 0) == 0) {
            box.found = true;
            box.caption = line.substr(8);
        } else if (line.rfind("text ", 0) == 0) {
            box.text = Unescape(line.substr(5));
        } else if (line == "icon 1") {
            box.icon = true;
        }
    }
    return box;
}

void SaveScreenshot(const std::string& name, const std::string& title)
{
    const char* root = std::getenv("QK_ARTEFACTS");
    const char* profile = std::getenv("QK_PROFILE");
    const std::string folder = root ? root : "build/artefacts";
    std::system(("mkdir -p " + ShellQuote(folder)).c_str());
    const std::string base = folder + "/" + (profile ? std::string(profile) + "-" : "") + name;
    RunDriver("screenshot " + ShellQuote(WindowsPath(base) + ".bmp") + " " + ShellQuote(title));
    std::system(("convert " + ShellQuote(base + ".bmp") + " " + ShellQuote(base + ".png") + " && rm -f " +
                 ShellQuote(base + ".bmp"))
                    .c_str());
}

void WriteUtf16(const std::string& path, const std::string& text, bool byteOrderMark)
{
    std::ofstream out(path, std::ios::binary);
    if (byteOrderMark)
        out.write("\xFF\xFE", 2);
    for (char c : text) {
        out.put(c);
        out.put('\0');
    }
}

void ImportThroughDialog(const std::string& unixPath)
{
    RunDriver("press 3");
    RunDriver("choose-file " + ShellQuote(WindowsPath(unixPath)));
    RunDriver("wait-closed 10000 'Import Kelvra File'");
}

std::vector<std::string> ClipboardLines()
{
    std::istringstream lines(RunDriver("clipboard"));
    std::vector<std::string> result;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("line ", 0) == 0)
            result.push_back(Unescape(line.substr(5)));
        else
            EXPECT_EQ(line, "rest ") << "text after the last CR LF, or no text at all";
    }
    return result;
}

std::map<int, std::string> AccessibleNames()
{
    std::map<int, std::string> names;
    std::istringstream lines(RunDriver("names"));
    for (std::string line; std::getline(lines, line);) {
        int id = 0;
        char text[4096] = {};
        if (std::sscanf(line.c_str(), "name %d %4095[^\n]", &id, text) >= 1)
            names[id] = Unescape(text);
    }
    return names;
}
