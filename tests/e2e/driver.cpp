// The end-to-end tests' hands and eyes: a separate Windows process that finds the running program's
// dialog, reads its controls, presses its buttons and looks at its pixels. Output is UTF-8, one
// fact per line, for the Linux side of the tests to parse.
//
//   qk-driver dump [timeout-ms [title]] controls, list entries and mark colours of a dialog; the
//                                      main dialog once its check run has ended
//   qk-driver dump-running [timeout-ms] the same of the main dialog as soon as it shows
//   qk-driver names [timeout-ms]       each control's accessible name, asked as a screen reader
//                                      asks it, once the main dialog's check run has ended
//   qk-driver press <control-id> [title] clicks a button
//   qk-driver syscommand <code>        sends a system-menu command to the main dialog
//   qk-driver minimise                 minimises the main dialog and restores it
//   qk-driver hold <path> <ms>         holds a file open without sharing for a while
//   qk-driver wait-held <path> <ms>    waits until another process holds the file
//   qk-driver choose-file <path>       types a path into the open-file dialog and confirms it
//   qk-driver import-loop <n> <every> <path> imports n times, timing each and printing the
//                                      process's GDI, USER and handle counts every so many
//   qk-driver messagebox [timeout-ms]  prints the message box's caption, text and icon, then OK
//   qk-driver key escape               sends Escape to the dialog's focused control
//   qk-driver wait-closed [timeout-ms [title]] waits until a dialog has gone
//   qk-driver screenshot <file.bmp> [title] saves what a dialog shows on screen
//   qk-driver sysinfo                  the platform's own records, memory, locale and serial map
//   qk-driver points <control-id>...   the screen points at the centres of main-dialog controls
//   qk-driver tooltip [timeout-ms]     waits for the program's tooltip to show and prints its text
//   qk-driver tooltip-hidden [timeout-ms] waits until no tooltip of the program shows
//   qk-driver clipboard                the clipboard's Unicode text, line by line
//   qk-driver clipboard-clear          empties the clipboard
//   qk-driver wait-menu [timeout-ms]   waits until the program shows a pop-up menu
//   qk-driver first-paint [timeout-ms] prints "ready", then, once the main dialog is shown and it and
//                                      its controls have nothing left to paint, the time (Unix
//                                      epoch, microseconds)
//   qk-driver copy-loop <n>            presses Ctrl+C on the dialog n times, timing each until the
//                                      clipboard holds the text, and prints the text's length
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "framework/owners.h"
#include "text/text.h"

namespace {

constexpr const wchar_t* kMainTitle = L"Quor-kelvra";
// The main dialog keeps Import File (id 3) disabled while its check run goes on: a dump waits for
// the run's end, unless told to look at once.
constexpr int kImportButton = 3;

std::string Utf8(const std::wstring& text)
{
    return ToUtf8(CString(reinterpret_cast<const char16_t*>(text.c_str()), text.size()));
}

// Control texts may hold anything; line breaks would split a fact, so they are escaped.
std::string Escaped(const std::wstring& text)
{
    std::string out;
    for (char c : Utf8(text)) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

struct DialogSearch {
    const wchar_t* title;
    bool messageBox;  // a message box shares the program's title; its text has the id 0xFFFF
    HWND found;
};

// A top-level window's class and title.
std::pair<std::wstring, std::wstring> ClassAndTitle(HWND window)
{
    wchar_t className[16] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, title, 256);
    return {className, title};
}

BOOL CALLBACK MatchDialog(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<DialogSearch*>(param);
    const auto [className, title] = ClassAndTitle(window);
    if (className != L"#32770" || title != search->title || !IsWindowVisible(window))
        return TRUE;
    if ((GetDlgItem(window, 0xFFFF) != nullptr) != search->messageBox)
        return TRUE;

    search->found = window;
    return FALSE;
}

struct HiddenSearch {
    const wchar_t* title;
    int dialogs = 0;  // dialogs with the title that are not visible
    int windows = 0;  // top-level windows with the title, of any class
};

BOOL CALLBACK CountTitled(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<HiddenSearch*>(param);
    const auto [className, title] = ClassAndTitle(window);
    if (title != search->title)
        return TRUE;
    ++search->windows;
    if (className == L"#32770" && !IsWindowVisible(window))
        ++search->dialogs;
    return TRUE;
}

// What there is instead of the dialog looked for: a dialog created but never shown tells a hang
// before the first paint from a program that never got as far.
int NoDialog(const wchar_t* title)
{
    HiddenSearch search{title};
    EnumWindows(CountTitled, reinterpret_cast<LPARAM>(&search));
    std::printf("error no dialog; hidden dialogs with its title %d, windows with its title %d\n", search.dialogs,
                search.windows);
    return 2;
}

HWND FindDialog(DWORD timeoutMs, const wchar_t* title = kMainTitle, bool messageBox = false)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DialogSearch search{title, messageBox, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(10);
    }
}

std::wstring WindowText(HWND window)
{
    const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(length + 1),
                     reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// What the dialog shows on screen, captured once so marks can be classified from memory.
class ScreenCapture {
public:
    explicit ScreenCapture(HWND window)
    {
        GetWindowRect(window, &rect_);
        width_ = rect_.right - rect_.left;
        height_ = rect_.bottom - rect_.top;
        const WindowDC screenDc(nullptr);
        HDC screen = screenDc.Get();
        memory_ = CreateCompatibleDC(screen);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(memory_, bitmap_);
        BitBlt(memory_, 0, 0, width_, height_, screen, rect_.left, rect_.top, SRCCOPY);
        GdiFlush();
    }
    ~ScreenCapture()
    {
        SelectObject(memory_, old_);
        DeleteObject(bitmap_);
        DeleteDC(memory_);
    }
    ScreenCapture(const ScreenCapture&) = delete;
    ScreenCapture& operator=(const ScreenCapture&) = delete;

    // The pixel at screen coordinates, as red, green and blue.
    bool Pixel(int x, int y, int& r, int& g, int& b) const
    {
        x -= rect_.left;
        y -= rect_.top;
        if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_)
            return false;
        const DWORD value = bits_[y * width_ + x];
        r = (value >> 16) & 0xFF;
        g = (value >> 8) & 0xFF;
        b = value & 0xFF;
        return true;
    }

    // The most frequent colour within a screen rectangle, as "r,g,b".
    std::string ModeColour(const RECT& area) const
    {
        std::map<DWORD, int> counts;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) {
                int r, g, b;
                if (Pixel(x, y, r, g, b))
                    ++counts[static_cast<DWORD>((r << 16) | (g << 8) | b)];
            }
        }
        DWORD best = 0;
        int most = -1;
        for (const auto& [colour, count] : counts) {
            if (count > most) {
                most = count;
                best = colour;
            }
        }
        char text[32];
        std::snprintf(text, sizeof text, "%lu,%lu,%lu", (best >> 16) & 0xFF, (best >> 8) & 0xFF, best & 0xFF);
        return most < 0 ? "none" : text;
    }

private:
    RECT rect_ = {};
    int width_ = 0, height_ = 0;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    DWORD* bits_ = nullptr;
};

// Colour of a mark by its pixels: mostly green, mostly red, or all white.
const char* MarkColour(HWND control, const ScreenCapture& capture)
{
    RECT rect;
    GetWindowRect(control, &rect);
    int green = 0, red = 0, white = 0, total = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            int r, g, b;
            if (!capture.Pixel(x, y, r, g, b))
                continue;
            ++total;
            if (g > 110 && g > r + 50 && g > b + 50)
                ++green;
            else if (r > 150 && r > g + 80 && r > b + 80)
                ++red;
            else if (r > 240 && g > 240 && b > 240)
                ++white;
        }
    }
    if (total == 0)
        return "none";
    if (green > total / 20 && red == 0)
        return "pass";
    if (red > total / 20 && green == 0)
        return "fail";
    if (white > total / 2 && green == 0 && red == 0)
        return "blank";
    return "other";
}

// How far a bitmap static's drawing reaches: the bounding box of its pixels that are neither the
// dialog's background nor white, so the size of what is drawn is measured, not the control's.
void PrintInk(int id, HWND control, const ScreenCapture& capture)
{
    RECT rect;
    GetWindowRect(control, &rect);
    int left = rect.right, top = rect.bottom, right = rect.left - 1, bottom = rect.top - 1;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            int r, g, b;
            if (!capture.Pixel(x, y, r, g, b))
                continue;
            const bool background = std::abs(r - 153) < 8 && std::abs(g - 186) < 8 && std::abs(b - 190) < 8;
            const bool white = r > 240 && g > 240 && b > 240;
            if (background || white)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    std::printf("ink %d %d %d\n", id, right >= left ? right - left + 1 : 0, bottom >= top ? bottom - top + 1 : 0);
}

struct DumpContext {
    HWND dialog;
    const ScreenCapture* capture;
};

BOOL CALLBACK DumpChild(HWND child, LPARAM param)
{
    const DumpContext* context = reinterpret_cast<const DumpContext*>(param);
    if (GetParent(child) != context->dialog)
        return TRUE;
    const int id = GetDlgCtrlID(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, context->dialog, reinterpret_cast<POINT*>(&rect), 2);
    RECT screenRect;
    GetWindowRect(child, &screenRect);
    std::printf("colour %d %s\n", id, context->capture->ModeColour(screenRect).c_str());
    std::printf("control %d class=%s visible=%d style=%08lx rect=%ld,%ld,%ld,%ld\n", id,
                Utf8(ClassOf(child)).c_str(), IsWindowVisible(child) ? 1 : 0,
                static_cast<unsigned long>(style), rect.left, rect.top, rect.right, rect.bottom);
    if (ClassOf(child) == L"SysTabControl32")
        std::printf("tabs %d %d\n", id, static_cast<int>(SendMessageW(child, TCM_GETITEMCOUNT, 0, 0)));
    // A bitmap static's text is its image's resource id, not something a user reads.
    if ((style & SS_TYPEMASK) == SS_BITMAP && ClassOf(child) == L"Static") {
        std::printf("mark %d %s\n", id, MarkColour(child, *context->capture));
        PrintInk(id, child, *context->capture);
    } else
        std::printf("text %d %s\n", id, Escaped(WindowText(child)).c_str());
    return TRUE;
}

// The name a screen reader says: the control's client object, asked from this other process.
std::wstring AccessibleName(HWND control)
{
    // Spelt here: MinGW's oleacc import library also exports IID_IAccessible as the import of a
    // DLL's data, and a link may take that stub's address for the GUID.
    static const IID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    IAccessible* object = nullptr;
    const HRESULT found = AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), accessible,
                                                     reinterpret_cast<void**>(&object));
    if (FAILED(found) || object == nullptr)
        return L"<no object: " + std::to_wstring(static_cast<unsigned long>(found)) + L">";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring text = SUCCEEDED(object->get_accName(self, &name)) && name ? std::wstring(name) : L"<no name>";
    SysFreeString(name);
    object->Release();
    return text;
}

BOOL CALLBACK PrintName(HWND child, LPARAM dialog)
{
    if (GetParent(child) == reinterpret_cast<HWND>(dialog))
        std::printf("name %d %s\n", GetDlgCtrlID(child), Escaped(AccessibleName(child)).c_str());
    return TRUE;
}

int Names(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    HWND dialog = FindDialog(timeoutMs, kMainTitle);
    if (dialog == nullptr)
        return NoDialog(kMainTitle);
    while (IsWindow(dialog) && !IsWindowEnabled(GetDlgItem(dialog, kImportButton)) && GetTickCount() - start < timeoutMs)
        Sleep(10);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EnumChildWindows(dialog, PrintName, reinterpret_cast<LPARAM>(dialog));
    CoUninitialize();
    return 0;
}

int Dump(DWORD timeoutMs, const wchar_t* title, bool waitForRun = true)
{
    const DWORD start = GetTickCount();
    HWND dialog = FindDialog(timeoutMs, title);
    if (dialog == nullptr)
        return NoDialog(title);
    if (waitForRun && std::wstring(title) == kMainTitle) {
        while (IsWindow(dialog) && !IsWindowEnabled(GetDlgItem(dialog, kImportButton)) &&
               GetTickCount() - start < timeoutMs)
            Sleep(10);
    }
    // Let the dialog finish painting before its pixels are read.
    DWORD_PTR ignored;
    SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    DWORD processId = 0;
    GetWindowThreadProcessId(dialog, &processId);
    std::printf("dialog pid=%lu title=%s\n", static_cast<unsigned long>(processId),
                Utf8(WindowText(dialog)).c_str());
    ScreenCapture capture(dialog);
    RECT frame;
    GetWindowRect(dialog, &frame);
    std::printf("size %ld %ld\n", frame.right - frame.left, frame.bottom - frame.top);
    RECT client;
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::printf("background %s\n", capture.ModeColour(client).c_str());
    DumpContext context{dialog, &capture};
    EnumChildWindows(dialog, DumpChild, reinterpret_cast<LPARAM>(&context));

    HWND list = GetDlgItem(dialog, 1001);
    if (list == nullptr)
        return 0;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    std::vector<std::wstring> entries;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring entry(static_cast<std::size_t>(length < 0 ? 0 : length) + 1, L'\0');
        const LRESULT copied = SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i),
                                            reinterpret_cast<LPARAM>(&entry[0]));
        entry.resize(static_cast<std::size_t>(copied < 0 ? 0 : copied));
        entries.push_back(entry);
        std::printf("list %s\n", Escaped(entry).c_str());
    }
    // The list box sorts by the locale's case-insensitive comparison; check with the same one.
    bool sorted = true;
    for (std::size_t i = 1; i < entries.size(); ++i) {
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, entries[i - 1].c_str(), -1,
                           entries[i].c_str(), -1) == CSTR_GREATER_THAN)
            sorted = false;
    }
    std::printf("sorted %d\n", sorted ? 1 : 0);
    return 0;
}

int Press(int controlId, const wchar_t* title)
{
    HWND dialog = FindDialog(10000, title);
    if (dialog == nullptr)
        return 2;
    HWND button = GetDlgItem(dialog, controlId);
    if (button == nullptr)
        return 3;
    PostMessageW(button, BM_CLICK, 0, 0);
    return 0;
}

int SysCommand(WPARAM code)
{
    HWND dialog = FindDialog(10000);
    if (dialog == nullptr)
        return 2;
    PostMessageW(dialog, WM_SYSCOMMAND, code, 0);
    return 0;
}

int Minimise()
{
    HWND dialog = FindDialog(10000);
    if (dialog == nullptr)
        return 2;
    SendMessageW(dialog, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    std::printf("iconic %d\n", IsIconic(dialog) ? 1 : 0);
    SendMessageW(dialog, WM_SYSCOMMAND, SC_RESTORE, 0);
    std::printf("restored %d\n", IsIconic(dialog) ? 0 : 1);
    return 0;
}

// Waits until the window's thread is idle in its message loop again.
void WaitIdle(HWND window)
{
    DWORD_PTR ignored;
    SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 60000, &ignored);
}

// Types a path into the open-file dialog and confirms it; false when the dialog did not appear.
bool ConfirmPath(const wchar_t* path)
{
    HWND dialog = FindDialog(10000, L"Import Kelvra File");
    if (dialog == nullptr)
        return false;
    WaitIdle(dialog);  // the dialog fills its folder view once it runs its loop
    SendMessageW(GetDlgItem(dialog, 1148), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return true;
}

// Holds a file open without sharing, as another program might.
int Hold(const wchar_t* path, DWORD ms)
{
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    Sleep(ms);
    CloseHandle(file);
    return 0;
}

int WaitHeld(const wchar_t* path, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start <= timeoutMs) {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
            std::printf("held\n");
            return 0;
        }
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        Sleep(20);
    }
    std::printf("not held\n");
    return 1;
}

int ChooseFile(const wchar_t* path)
{
    return ConfirmPath(path) ? 0 : 2;
}

// One whole import through the open-file dialog; the time from confirming the path until the
// program is idle again, in milliseconds, or a negative number when it failed.
double ImportOnce(HWND main, const wchar_t* path)
{
    PostMessageW(GetDlgItem(main, 3), BM_CLICK, 0, 0);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    HWND dialog = FindDialog(10000, L"Import Kelvra File");
    if (dialog == nullptr)
        return -1;
    WaitIdle(dialog);
    // A path of "-" cancels the dialog instead, which tells the dialog's own cost from ours.
    const bool cancel = std::wstring(path) == L"-";
    if (!cancel)
        SendMessageW(GetDlgItem(dialog, 1148), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
    QueryPerformanceCounter(&start);
    PostMessageW(GetDlgItem(dialog, cancel ? IDCANCEL : IDOK), BM_CLICK, 0, 0);
    while (IsWindow(dialog))
        Sleep(1);
    WaitIdle(main);
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Handles a process holds, from the system's handle table: registry keys apart from the rest.
// GetProcessHandleCount and GetGuiResources only answer 0 under Wine, so the table is read instead.
struct HandleCounts {
    unsigned long keys = 0;
    unsigned long others = 0;
};

HandleCounts CountHandles(DWORD processId)
{
    struct Entry {
        ULONG ownerPid;
        BYTE objectType;
        BYTE flags;
        USHORT value;
        PVOID object;
        ULONG access;
    };
    struct Table {
        ULONG count;
        Entry entries[1];
    };
    using QueryFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    HandleCounts counts;
    if (query == nullptr)
        return counts;
    // A key of our own tells which object type number stands for registry keys.
    HKEY probe = nullptr;
    RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_READ, &probe);
    std::vector<unsigned char> buffer(1 << 16);
    ULONG needed = 0;
    LONG status;
    while ((status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           static_cast<LONG>(0xC0000004))  // STATUS_INFO_LENGTH_MISMATCH
        buffer.resize(buffer.size() * 2);
    const Table* table = reinterpret_cast<const Table*>(buffer.data());
    int keyType = -1;
    for (ULONG i = 0; status == 0 && i < table->count; ++i) {
        const Entry& entry = table->entries[i];
        if (entry.ownerPid == GetCurrentProcessId() && entry.value == reinterpret_cast<UINT_PTR>(probe))
            keyType = entry.objectType;
    }
    for (ULONG i = 0; status == 0 && i < table->count; ++i) {
        const Entry& entry = table->entries[i];
        if (entry.ownerPid != processId)
            continue;
        if (entry.objectType == keyType)
            ++counts.keys;
        else
            ++counts.others;
    }
    RegCloseKey(probe);
    return counts;
}

void PrintResources(HANDLE process, DWORD processId, int imports)
{
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(process, &memory, sizeof memory);
    const HandleCounts handles = CountHandles(processId);
    std::printf("resources imports=%d gdi=%lu user=%lu handles=%lu keys=%lu private-kb=%lu\n", imports,
                GetGuiResources(process, GR_GDIOBJECTS), GetGuiResources(process, GR_USEROBJECTS),
                handles.others, handles.keys, static_cast<unsigned long>(memory.PagefileUsage / 1024));
    std::fflush(stdout);
}

// Imports a file `count` times, printing the process's object counts every `every` imports and the
// time of each import.
int ImportLoop(int count, int every, const wchar_t* path)
{
    HWND main = FindDialog(10000);
    if (main == nullptr)
        return 2;
    DWORD processId = 0;
    GetWindowThreadProcessId(main, &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    PrintResources(process, processId, 0);
    for (int i = 1; i <= count; ++i) {
        const double ms = ImportOnce(main, path);
        if (ms < 0) {
            std::printf("error import %d did not complete\n", i);
            return 3;
        }
        std::printf("import-ms %.1f\n", ms);
        if (every > 0 && i % every == 0)
            PrintResources(process, processId, i);
    }
    CloseHandle(process);
    return 0;
}

int ReadMessageBox(DWORD timeoutMs)
{
    HWND box = FindDialog(timeoutMs, kMainTitle, true);
    if (box == nullptr) {
        std::printf("none\n");
        return 1;
    }
    std::printf("caption %s\n", Utf8(WindowText(box)).c_str());
    std::printf("text %s\n", Escaped(WindowText(GetDlgItem(box, 0xFFFF))).c_str());
    // A warning box shows its icon in a static icon control.
    bool icon = false;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) == L"Static" && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            IsWindowVisible(child))
            icon = true;
    }
    std::printf("icon %d\n", icon ? 1 : 0);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    return 0;
}

int Escape()
{
    HWND dialog = FindDialog(10000);
    if (dialog == nullptr)
        return 2;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info);
    HWND target = info.hwndFocus ? info.hwndFocus : dialog;
    PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    PostMessageW(target, WM_KEYUP, VK_ESCAPE, 0xC0010001);
    return 0;
}

int WaitClosed(DWORD timeoutMs, const wchar_t* title)
{
    const DWORD start = GetTickCount();
    while (FindDialog(0, title) != nullptr) {
        if (GetTickCount() - start > timeoutMs) {
            std::printf("still open\n");
            return 1;
        }
        Sleep(100);
    }
    std::printf("closed\n");
    return 0;
}

int Screenshot(const wchar_t* path, const wchar_t* title)
{
    HWND dialog = FindDialog(10000, title);
    if (dialog == nullptr)
        return 2;
    RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Sleep(300);
    RECT rect;
    GetWindowRect(dialog, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const WindowDC screenDc(nullptr);
    HDC screen = screenDc.Get();
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const DWORD imageSize = static_cast<DWORD>(((width * 3 + 3) & ~3) * height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + imageSize;
    int result = 1;
    if (FILE* out = _wfopen(path, L"wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        std::fwrite(bits, imageSize, 1, out);
        std::fclose(out);
        result = 0;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    return result;
}

int SysInfo()
{
    SYSTEM_INFO system = {};
    using NativeFn = void(WINAPI*)(LPSYSTEM_INFO);
    auto native = reinterpret_cast<NativeFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetNativeSystemInfo")));
    if (native)
        native(&system);
    else
        GetSystemInfo(&system);
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    std::printf("ActiveProcessorMask %lu\n", static_cast<unsigned long>(system.dwActiveProcessorMask));
    std::printf("AllocationGranularity %lu\n", system.dwAllocationGranularity);
    std::printf("NumberOfProcessors %lu\n", system.dwNumberOfProcessors);
    std::printf("OemId %lu\n", system.dwOemId);
    std::printf("PageSize %lu\n", system.dwPageSize);
    std::printf("ProcessorType %lu\n", system.dwProcessorType);
    std::printf("MaximumApplicationAddress %lu\n",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(system.lpMaximumApplicationAddress)));
    std::printf("MinimumApplicationAddress %lu\n",
                static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(system.lpMinimumApplicationAddress)));
    std::printf("ProcessorArchitecture %u\n", system.wProcessorArchitecture);
    std::printf("ProcessorLevel %u\n", system.wProcessorLevel);
    std::printf("ProcessorRevision %u\n", system.wProcessorRevision);
    std::printf("BuildNumber %lu\n", version.dwBuildNumber);
    std::printf("MajorVersion %lu\n", version.dwMajorVersion);
    std::printf("MinorVersion %lu\n", version.dwMinorVersion);
    std::printf("OSVersionInfoSize %lu\n", version.dwOSVersionInfoSize);
    std::printf("PlatformId %lu\n", version.dwPlatformId);
    std::printf("CSDVersion %s\n", Escaped(version.szCSDVersion).c_str());
    std::printf("SuiteMask %u\n", version.wSuiteMask);
    // RtlGetVersion tells the true version whatever the manifest declares: the reading against which
    // the program's own version query is checked.
    using RtlVersionFn = LONG(WINAPI*)(OSVERSIONINFOEXW*);
    auto rtlVersion = reinterpret_cast<RtlVersionFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOEXW truth = {};
    truth.dwOSVersionInfoSize = sizeof truth;
    if (rtlVersion && rtlVersion(&truth) == 0) {
        std::printf("TrueVersion %lu.%lu.%lu\n", truth.dwMajorVersion, truth.dwMinorVersion,
                    truth.dwBuildNumber);
        std::printf("TrueProductType %u\n", truth.wProductType);
    }
    std::printf("ProductType %u\n", version.wProductType);
    using ProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    auto productInfo = reinterpret_cast<ProductInfoFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetProductInfo")));
    DWORD product = 0;
    if (productInfo && productInfo(version.dwMajorVersion, version.dwMinorVersion, 0, 0, &product))
        std::printf("ProductInfo %lu\n", product);
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    std::printf("TotalPhys %llu\n", static_cast<unsigned long long>(memory.ullTotalPhys));
    std::printf("AvailPhys %llu\n", static_cast<unsigned long long>(memory.ullAvailPhys));
    wchar_t language[80] = {};
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, language, 80);
    std::printf("Locale %s\n", Escaped(language).c_str());
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Hardware\\DeviceMap\\SerialComm", 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[1024];
            DWORD length = 1024;
            if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            std::printf("SerialDevice%lu %s\n", index, Escaped(name).c_str());
        }
        RegCloseKey(key);
    }
    return 0;
}

}  // namespace

int Points(int count, wchar_t** ids)
{
    HWND dialog = FindDialog(10000);
    if (dialog == nullptr)
        return 2;
    for (int i = 0; i < count; ++i) {
        const int id = static_cast<int>(std::wcstol(ids[i], nullptr, 10));
        RECT rect;
        if (HWND control = GetDlgItem(dialog, id); control != nullptr && GetWindowRect(control, &rect))
            std::printf("point %d %ld %ld\n", id, (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    }
    return 0;
}

struct PopupSearch {
    DWORD processId;
    const wchar_t* className;
    HWND shown;
};

BOOL CALLBACK MatchPopup(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<PopupSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId && ClassOf(window) == search->className && IsWindowVisible(window)) {
        search->shown = window;
        return FALSE;
    }
    return TRUE;
}

// The program's visible top-level window of a class (a tooltip, a menu), if any.
HWND ShownPopup(HWND dialog, const wchar_t* className)
{
    PopupSearch search{0, className, nullptr};
    GetWindowThreadProcessId(dialog, &search.processId);
    EnumWindows(MatchPopup, reinterpret_cast<LPARAM>(&search));
    return search.shown;
}

HWND ShownTooltip(HWND dialog)
{
    return ShownPopup(dialog, L"tooltips_class32");
}

// Polls every 20 ms until `ready` holds; false when the time ran out first.
template <class Ready>
bool WaitUntil(DWORD timeoutMs, Ready ready)
{
    for (const DWORD start = GetTickCount(); !ready(); Sleep(20)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
    }
    return true;
}

int WaitMenu(DWORD timeoutMs)
{
    HWND dialog = FindDialog(10000);
    if (dialog == nullptr)
        return 2;
    const bool shown = WaitUntil(timeoutMs, [&] { return ShownPopup(dialog, L"#32768") != nullptr; });
    std::printf(shown ? "menu\n" : "no menu\n");
    return shown ? 0 : 1;
}

// A tooltip answers WM_GETTEXT with the text it shows.
int Tooltip(DWORD timeoutMs, bool wantShown)
{
    HWND dialog = FindDialog(10000);
    if (dialog == nullptr)
        return 2;
    std::wstring text;
    const bool reached = WaitUntil(timeoutMs, [&] {
        HWND shown = ShownTooltip(dialog);
        text = shown ? WindowText(shown) : std::wstring();
        return wantShown ? !text.empty() : shown == nullptr;
    });
    if (!reached)
        std::printf(wantShown ? "no tooltip\n" : "still shown\n");
    else if (wantShown)
        std::printf("tooltip %s\n", Escaped(text).c_str());
    else
        std::printf("hidden\n");
    return reached ? 0 : 1;
}

bool OpenClipboardSoon()
{
    return WaitUntil(1000, [] { return OpenClipboard(nullptr) != FALSE; });
}

// Each line without its CR LF; what follows the last CR LF is printed apart, so a missing line end
// shows.
// The clipboard's Unicode text; false when it could not be opened or holds none.
bool ClipboardText(std::wstring& text)
{
    if (!OpenClipboardSoon())
        return false;
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* stored = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (stored != nullptr) {
        text = stored;
        GlobalUnlock(data);
    }
    CloseClipboard();
    return stored != nullptr;
}

int Clipboard()
{
    std::wstring all;
    if (!ClipboardText(all)) {
        std::printf("empty\n");
    } else {
        std::size_t begin = 0;
        for (std::size_t end; (end = all.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2)
            std::printf("line %s\n", Escaped(all.substr(begin, end - begin)).c_str());
        std::printf("rest %s\n", Escaped(all.substr(begin)).c_str());
    }
    return 0;
}

int ClearClipboard()
{
    if (!OpenClipboardSoon())
        return 2;
    EmptyClipboard();
    CloseClipboard();
    return 0;
}

// Ctrl+C as the keyboard would type it: the program reads the Ctrl key's state, not the message.
void PressCtrlC()
{
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_CONTROL, 'C', 'C', VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
    }
    SendInput(4, keys, sizeof(INPUT));
}

int CopyLoop(int count)
{
    HWND main = FindDialog(10000);
    if (main == nullptr)
        return 2;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < count; ++i) {
        if (ClearClipboard() != 0)
            return 3;
        SetForegroundWindow(main);
        WaitIdle(main);
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        PressCtrlC();
        const DWORD began = GetTickCount();
        while (!IsClipboardFormatAvailable(CF_UNICODETEXT)) {
            if (GetTickCount() - began > 60000) {
                std::printf("error nothing copied\n");
                return 4;
            }
            Sleep(1);
        }
        QueryPerformanceCounter(&end);
        std::printf("copy-ms %.1f\n", 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                           static_cast<double>(frequency.QuadPart));
        WaitIdle(main);
    }
    std::wstring text;
    ClipboardText(text);
    std::printf("copy-units %lu\n", static_cast<unsigned long>(text.size()));
    return 0;
}

BOOL CALLBACK HasNothingToPaint(HWND child, LPARAM param)
{
    if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(param) = false;
        return FALSE;
    }
    return TRUE;
}

// Watched from here rather than from Linux: a poll is a call into the wineserver, not a process
// started for each look, so it costs the program under test next to nothing and misses by at most
// a millisecond or so.
int FirstPaint(DWORD timeoutMs)
{
    std::printf("ready\n");
    std::fflush(stdout);
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(1)) {
        DialogSearch search{kMainTitle, false, nullptr};
        EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
        if (search.found == nullptr || GetUpdateRect(search.found, nullptr, FALSE))
            continue;
        bool painted = true;
        EnumChildWindows(search.found, HasNothingToPaint, reinterpret_cast<LPARAM>(&painted));
        if (!painted)
            continue;
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        const ULONGLONG ticks = (static_cast<ULONGLONG>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        // From 100 ns since 1601 to microseconds since 1970.
        std::printf("painted %llu\n", (ticks - 116444736000000000ULL) / 10);
        return 0;
    }
    std::printf("error not painted\n");
    return 1;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return 64;
    const std::wstring command = argv[1];
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)) : 20000;
    int result = 64;
    const wchar_t* title = argc > 3 ? argv[3] : kMainTitle;
    if (command == L"dump")
        result = Dump(timeout, title);
    else if (command == L"names")
        result = Names(timeout);
    else if (command == L"dump-running")
        result = Dump(timeout, title, false);
    else if (command == L"press" && argc > 2)
        result = Press(static_cast<int>(std::wcstol(argv[2], nullptr, 10)), title);
    else if (command == L"minimise")
        result = Minimise();
    else if (command == L"import-loop" && argc > 4)
        result = ImportLoop(static_cast<int>(std::wcstol(argv[2], nullptr, 10)),
                            static_cast<int>(std::wcstol(argv[3], nullptr, 10)), argv[4]);
    else if (command == L"hold" && argc > 3)
        result = Hold(argv[2], static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
    else if (command == L"wait-held" && argc > 3)
        result = WaitHeld(argv[2], static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)));
    else if (command == L"choose-file" && argc > 2)
        result = ChooseFile(argv[2]);
    else if (command == L"messagebox")
        result = ReadMessageBox(timeout);
    else if (command == L"syscommand" && argc > 2)
        result = SysCommand(std::wcstoul(argv[2], nullptr, 0));
    else if (command == L"key" && argc > 2 && std::wstring(argv[2]) == L"escape")
        result = Escape();
    else if (command == L"wait-closed")
        result = WaitClosed(timeout, title);
    else if (command == L"screenshot" && argc > 2)
        result = Screenshot(argv[2], title);
    else if (command == L"sysinfo")
        result = SysInfo();
    else if (command == L"points")
        result = Points(argc - 2, argv + 2);
    else if (command == L"first-paint")
        result = FirstPaint(timeout);
    else if (command == L"copy-loop" && argc > 2)
        result = CopyLoop(static_cast<int>(std::wcstol(argv[2], nullptr, 10)));
    else if (command == L"wait-menu")
        result = WaitMenu(timeout);
    else if (command == L"tooltip" || command == L"tooltip-hidden")
        result = Tooltip(timeout, command == L"tooltip");
    else if (command == L"clipboard")
        result = Clipboard();
    else if (command == L"clipboard-clear")
        result = ClearClipboard();
    std::fflush(stdout);
    return result;
}
