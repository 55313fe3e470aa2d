// Runs the real program and its test driver under Wine, from the Linux side of the tests.
//
// The Makefile provides the environment: WINEPREFIX (a ready prefix), DISPLAY (Xvfb or the user's
// display) and QK_WIN32_DIR (the folder holding Quor-kelvra.exe and qk-driver.exe).
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

struct ControlInfo {
    std::string className;
    bool visible = false;
    unsigned long style = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    std::string text;
    std::string mark;  // pass, fail, blank or other; empty for a control that is not a mark
    std::string colour;  // the most frequent colour on screen within the control, "r,g,b"
    int tabs = -1;       // the number of items of a tab control
    // A bitmap static's drawing: the extent of its pixels that are neither background nor white.
    int inkWidth = 0, inkHeight = 0;
};

// What the driver saw of the dialog.
struct DialogDump {
    bool found = false;
    std::string missing;  // when not found: what the driver saw instead
    std::string title;
    int width = 0, height = 0;  // the dialog's window, in pixels
    std::map<int, ControlInfo> controls;
    std::vector<std::string> texts;  // every control's text, also of controls that share an id
    std::vector<std::string> list;
    bool sorted = false;
    std::string background;  // the most frequent colour of the client area, "r,g,b"
};

// A fresh empty folder under the build tree, removed with the object.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Nothing can be created in the folder any more, by any process, until it is removed.
    bool MakeReadOnly();

private:
    std::string path_;
    bool readOnly_ = false;
};

class RunningProgram {
public:
    // Starts Quor-kelvra.exe with `folder` as its current directory and the given environment
    // settings ("NAME=value") on top of the test's own.
    explicit RunningProgram(const std::string& folder, const std::vector<std::string>& environment = {},
                            const std::vector<std::string>& arguments = {});
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // True when the process ended within the time; its exit status is then in exitStatus().
    bool WaitForExit(int timeoutMs);
    int exitStatus() const { return status_; }
    // "running", or how it ended: for a test's message when its dialog did not appear.
    std::string State();

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

std::string Win32Dir();
// The text in single quotes for the shell, its own single quotes escaped.
std::string ShellQuote(const std::string& text);

// Runs `command` through the shell and returns its standard output; its exit code goes into
// `exitCode` (-1 when it did not end normally).
std::string RunCommand(const std::string& command, int* exitCode = nullptr);

// Runs Quor-kelvra.exe with `arguments` in `folder` to its end (at most a minute) and returns its
// exit code (124 when it did not end by itself); its standard output goes into `output`, its
// standard error into `errors`.
int RunProgramToEnd(const std::string& folder, const std::vector<std::string>& arguments,
                    std::string* output = nullptr, std::string* errors = nullptr);
// The path as a Windows program under Wine sees it: on drive Z:, with backslashes.
std::string WindowsPath(const std::string& unixPath);
// A text the driver printed with its line breaks and backslashes escaped, as it was.
std::string Unescape(const std::string& text);

// Each main-dialog control's accessible name, asked as a screen reader in another process asks
// it, by control id; once the check run has ended.
std::map<int, std::string> AccessibleNames();
// Runs the driver with the arguments and returns its standard output, without carriage returns.
std::string RunDriver(const std::string& arguments, int* exitCode = nullptr);
// The main dialog once its check run has ended, or any other dialog by its title; `duringRun`: the
// main dialog as soon as it shows.
DialogDump DumpDialog(int timeoutMs = 30000, const std::string& title = "Quor-kelvra", bool duringRun = false);
// The platform's own records as name -> decimal text, read by the driver.
std::map<std::string, std::string> PlatformRecords();
std::vector<unsigned char> ReadBytes(const std::string& path);
// Saves what a dialog shows as build/artefacts/<profile>-<name>.png, for a person to look at.
void SaveScreenshot(const std::string& name, const std::string& title = "Quor-kelvra");
// A report's lines in UTF-8; fails the calling test when the bytes break the report format
// (odd byte count, byte-order mark, a line end other than CR LF, text after the last line end).
std::vector<std::string> ReportLines(const std::vector<unsigned char>& bytes);
std::vector<std::string> ReportLinesOf(const std::string& path);
struct MessageBoxInfo {
    bool found = false;
    std::string caption;
    std::string text;
    bool icon = false;
};
// Reads the program's message box and closes it with OK.
MessageBoxInfo ReadMessageBox(int timeoutMs = 10000);

// Writes text (each byte one Latin-1 character, with its own line ends) as UTF-16LE, optionally
// behind a byte-order mark.
void WriteUtf16(const std::string& path, const std::string& text, bool byteOrderMark = false);
// Import File on the running program: the button pressed, the path typed into the open-file dialog
// and confirmed, and the open-file dialog gone again.
void ImportThroughDialog(const std::string& unixPath);

// The clipboard's lines; fails the test when the text does not end with CR LF after each line.
std::vector<std::string> ClipboardLines();

// The first instance's property as Wine's own wmic reports it, trimmed.
std::string WmicValue(const std::string& alias, const std::string& property);
bool FileExists(const std::string& path);
