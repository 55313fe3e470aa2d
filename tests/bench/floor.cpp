// The floor of the check run: the same platform calls as the program makes from its start until
// its report is closed, in the same order, and nothing else: a bare dialog procedure on the same
// template with constant texts, no framework, no formatting, no decisions. The benchmark runs it
// beside the program; with /silent it makes the check run's calls alone, beside an unattended run;
// with /show it shows the template and does nothing else, the floor of the first paint; with /exit
// it ends at once, the cost of starting a process under Wine (/exit-terminate: ended as the
// unattended run ends, by TerminateProcess). The floor makes the calls the answer needs: the seed's,
// and the system-disk query where there are several disks. /pieces times each call the program
// makes beyond those, on its own, and prints "piece NAME MICROSECONDS" lines.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include <oleacc.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

const CLSID kLocator = {0xCB8555CC, 0x9128, 0x11D1, {0xAD, 0x9B, 0x00, 0xC0, 0x4F, 0xD8, 0xFD, 0xFF}};

struct QueryTask {
    const wchar_t* query;
    const wchar_t* const* properties;
    int count;
    bool convertSize;
    LONG connectFlags;
    int objects;                  // how many instances are read
    const wchar_t* secondQuery;   // asked on the same connection when more than one was read
    const wchar_t* secondProperty;
    bool alwaysSecond = false;    // asked whatever was read, to time it where one disk is listed
    bool blanket = false;         // the proxy blanket set on the connection, as the program does
};

// Reads `count` properties of each instance, up to `objects` of them, the second (Size) converted
// where asked; returns how many were read.
int ReadInstances(IEnumWbemClassObject* enumerator, const wchar_t* const* properties, int count, bool convertSize,
                  int objects)
{
    int read = 0;
    for (; enumerator && read < objects; ++read) {
        IWbemClassObject* object = nullptr;
        ULONG returned = 0;
        if (FAILED(enumerator->Next(15000, 1, &object, &returned)) || returned == 0 || !object)
            break;
        for (int i = 0; i < count; ++i) {
            BSTR name = SysAllocString(properties[i]);
            VARIANT value;
            VariantInit(&value);
            if (SUCCEEDED(object->Get(name, 0, &value, nullptr, nullptr))) {
                if (convertSize && i == 1)
                    VariantChangeTypeEx(&value, &value, 1033, 0, VT_I8);
                VariantClear(&value);
            }
            SysFreeString(name);
        }
        object->Release();
    }
    return read;
}

IEnumWbemClassObject* Ask(IWbemServices* services, const wchar_t* query)
{
    IEnumWbemClassObject* enumerator = nullptr;
    BSTR language = SysAllocString(L"WQL");
    BSTR text = SysAllocString(query);
    services->ExecQuery(language, text, 0x30, nullptr, &enumerator);
    SysFreeString(text);
    SysFreeString(language);
    return enumerator;
}

DWORD WINAPI RunQuery(void* param)
{
    const QueryTask& task = *static_cast<const QueryTask*>(param);
    const wchar_t* query = task.query;
    const wchar_t* const* properties = task.properties;
    const int count = task.count;
    const bool convertSize = task.convertSize;
    IWbemLocator* locator = nullptr;
    IWbemServices* services = nullptr;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE,
                         nullptr, EOAC_NONE, nullptr);
    if (SUCCEEDED(CoCreateInstance(kLocator, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IWbemLocator,
                                   reinterpret_cast<void**>(&locator)))) {
        BSTR path = SysAllocString(L"root\\cimv2");
        locator->ConnectServer(path, nullptr, nullptr, nullptr, task.connectFlags, nullptr, nullptr, &services);
        SysFreeString(path);
    }
    if (services && task.blanket)
        CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                          RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    IEnumWbemClassObject* enumerator = services ? Ask(services, query) : nullptr;
    const int read = ReadInstances(enumerator, properties, count, convertSize, task.objects);
    IEnumWbemClassObject* second = nullptr;
    if (services && task.secondQuery && (read > 1 || task.alwaysSecond)) {
        second = Ask(services, task.secondQuery);
        const wchar_t* property[] = {task.secondProperty};
        ReadInstances(second, property, 1, false, 8);
    }
    if (locator)
        locator->Release();
    if (services)
        services->Release();
    if (enumerator)
        enumerator->Release();
    if (second)
        second->Release();
    CoUninitialize();
    return 0;
}

// Each query on a thread of its own, as the program runs it; the floor is only measured where WMI
// answers, so it waits for the thread to end.
LONG g_connectFlags = 0;

void RunTask(QueryTask task)
{
    HANDLE thread = CreateThread(nullptr, 0, RunQuery, &task, 0, nullptr);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

void Query(const wchar_t* query, const wchar_t* const* properties, int count, bool convertSize, int objects = 1,
           const wchar_t* secondQuery = nullptr, const wchar_t* secondProperty = nullptr)
{
    RunTask({query, properties, count, convertSize, g_connectFlags, objects, secondQuery, secondProperty});
}

void WriteLines(HANDLE file, int count)
{
    static const wchar_t kLine[] = L"Floor line of a typical length: 12345\r\n";
    for (int i = 0; i < count; ++i) {
        DWORD written;
        WriteFile(file, kLine, sizeof kLine - sizeof(wchar_t), &written, nullptr);
    }
}

void SetText(HWND dialog, int id)
{
    SetDlgItemTextW(dialog, id, L"A value of a typical length");
}

const int kValueControls[] = {1006, 1016, 1017, 1019, 1020, 1021, 1022, 1023, 1024, 1033, 1037};
const int kMarkControls[] = {1004, 1005, 1030, 1029, 1028, 1026, 1027, 1025, 1018, 1034, 1038};

// What the program does in its dialog's initialisation and check run, as bare platform calls.
void CheckRunCalls(HWND dialog);

void Initialise(HWND dialog)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (int id : kValueControls)
        SetText(dialog, id);
    HBITMAP logo = LoadBitmapW(instance, MAKEINTRESOURCEW(138));
    HBRUSH brushes[] = {CreateSolidBrush(RGB(153, 186, 190)), CreateSolidBrush(RGB(255, 255, 255))};
    SetText(dialog, 1039);
    HMENU menu = GetSystemMenu(dialog, FALSE);
    wchar_t about[128];
    LoadStringW(instance, 101, about, 128);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, 0x10, about);
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(153));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    HWND tab = GetDlgItem(dialog, 1002);
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"#1 - PC Check");
    SendMessageW(tab, TCM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    item.pszText = const_cast<wchar_t*>(L"#2 - System Information");
    SendMessageW(tab, TCM_INSERTITEMW, 1, reinterpret_cast<LPARAM>(&item));
    SendDlgItemMessageW(dialog, 1035, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
    (void)brushes;
}

// The check run's own calls. Without a dialog (the floor of an unattended run) the messages to its
// controls go to no window and cost nothing.
void CheckRunCalls(HWND dialog)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND list = GetDlgItem(dialog, 1001);
    SetDlgItemTextW(dialog, 1031, L"");
    GetFileAttributesW(L"Quor-kelvra.vkh");
    HANDLE existing = CreateFileW(L"Quor-kelvra.vkh", GENERIC_WRITE | DELETE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (existing != INVALID_HANDLE_VALUE)
        CloseHandle(existing);
    HANDLE file = CreateFileW(L"Quor-kelvra.vkh.partial", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    HBITMAP bitmaps[] = {LoadBitmapW(instance, MAKEINTRESOURCEW(131)), LoadBitmapW(instance, MAKEINTRESOURCEW(132)),
                         LoadBitmapW(instance, MAKEINTRESOURCEW(139))};
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version));
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    SYSTEM_INFO system = {};
    auto native = reinterpret_cast<void(WINAPI*)(LPSYSTEM_INFO)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
    native ? native(&system) : GetSystemInfo(&system);
    auto productInfo = reinterpret_cast<BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD)>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetProductInfo")));
    DWORD product = 0;
    const bool editionFamily =
        version.dwMajorVersion == 6 || (version.dwMajorVersion == 10 && version.dwMinorVersion == 0);
    if (productInfo && editionFamily)
        productInfo(version.dwMajorVersion, version.dwMinorVersion, 0, 0, &product);
    g_connectFlags = version.dwMajorVersion >= 6 ? 0x80 : 0;
    wchar_t windows[MAX_PATH + 1];
    GetSystemWindowsDirectoryW(windows, MAX_PATH + 1);
    // Every disk, and where there are several, the system drive's partitions on the same connection.
    const wchar_t* drive[] = {L"Model", L"Size", L"Index", L"DeviceID"};
    Query(L"Select * from Win32_DiskDrive", drive, 4, true, 64,
          L"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"} WHERE AssocClass = Win32_LogicalDiskToPartition",
          L"DiskIndex");
    const wchar_t* computer[] = {L"Manufacturer", L"Model", L"UserName"};
    Query(L"Select * from Win32_ComputerSystem", computer, 3, false);
    const wchar_t* bios[] = {L"ReleaseDate"};
    Query(L"Select * from Win32_BIOS", bios, 1, false);
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Hardware\\DeviceMap\\SerialComm", 0, KEY_QUERY_VALUE, &key) == 0) {
        wchar_t name[510];
        for (DWORD index = 0; index < 255; ++index) {
            DWORD length = 510;
            if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != 0)
                break;
        }
        RegCloseKey(key);
    }
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    for (int i = 0; i < 17; ++i) {
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Listing line: 12345"));
        WriteLines(file, 1);
    }
    const wchar_t* processor[] = {L"MaxClockSpeed"};
    for (int i = 0; i < 11; ++i) {
        if (i == 3)
            Query(L"Select * from Win32_Processor", processor, 1, false);
        if (i == 5) {
            wchar_t language[40];
            GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, language, 40);
        }
        SetText(dialog, kValueControls[i]);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Result line: value"));
        SendDlgItemMessageW(dialog, kMarkControls[i], STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(bitmaps[i % 2]));
        WriteLines(file, 1);
    }
    FlushFileBuffers(file);
    CloseHandle(file);
    MoveFileExW(L"Quor-kelvra.vkh.partial", L"Quor-kelvra.vkh", MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// Microseconds `piece` takes, the median of `runs`.
template <typename Piece>
double Microseconds(int runs, Piece piece)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        piece();
        QueryPerformanceCounter(&end);
        times.push_back(1e6 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// The session-end watch as the unattended run makes it: a thread with a hidden top-level window,
// waited for until it is ready, then told to quit and joined.
DWORD WINAPI SessionEndThread(void* ready)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = PlainWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"qk-floor session end";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(static_cast<HANDLE>(ready));
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    DestroyWindow(window);
    return 0;
}

void Pieces(int runs)
{
    // First of all, as the program makes it: once only, since COM's security is set once.
    const double security = Microseconds(1, [] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE,
                             nullptr, EOAC_NONE, nullptr);
    });
    std::printf("piece com-security-at-start %.0f\n", security);
    std::printf("piece set-error-mode %.1f\n", Microseconds(runs, [] { SetErrorMode(SetErrorMode(0) | 0x8003); }));
    const wchar_t* drive[] = {L"Model", L"Size", L"Index", L"DeviceID"};
    const wchar_t* partitions =
        L"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"} WHERE AssocClass = Win32_LogicalDiskToPartition";
    QueryTask disks = {L"Select * from Win32_DiskDrive", drive, 4, true, 0, 64, partitions, L"DiskIndex"};
    RunTask(disks);  // WMI started once before anything is timed
    QueryTask both = disks;
    both.alwaysSecond = true;
    std::printf("piece system-disk-query %.0f\n",
                Microseconds(runs, [&] { RunTask(both); }) - Microseconds(runs, [&] { RunTask(disks); }));
    const wchar_t* computer[] = {L"Manufacturer", L"Model", L"UserName"};
    QueryTask plain = {L"Select * from Win32_ComputerSystem", computer, 3, false, 0, 1, nullptr, nullptr};
    QueryTask blanket = plain;
    blanket.blanket = true;
    std::printf("piece proxy-blanket %.0f\n",
                Microseconds(runs, [&] { RunTask(blanket); }) - Microseconds(runs, [&] { RunTask(plain); }));
    std::printf("piece seek-penalty %.0f\n", Microseconds(runs, [] {
        HANDLE disk = CreateFileW(L"\\\\.\\PHYSICALDRIVE0", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        if (disk == INVALID_HANDLE_VALUE)
            return;
        STORAGE_PROPERTY_QUERY query = {};
        query.PropertyId = StorageDeviceSeekPenaltyProperty;
        DEVICE_SEEK_PENALTY_DESCRIPTOR descriptor = {};
        DWORD returned = 0;
        DeviceIoControl(disk, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, &descriptor, sizeof descriptor,
                        &returned, nullptr);
        CloseHandle(disk);
    }));
    std::printf("piece is-wow64-process2 %.1f\n", Microseconds(runs, [] {
        auto call = reinterpret_cast<BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*)>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
        USHORT process = 0, native = 0;
        if (call)
            call(GetCurrentProcess(), &process, &native);
    }));
    std::printf("piece session-end-window %.0f\n", Microseconds(runs, [] {
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD id = 0;
        HANDLE thread = CreateThread(nullptr, 0, SessionEndThread, ready, 0, &id);
        WaitForSingleObject(ready, INFINITE);
        PostThreadMessageW(id, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        CloseHandle(ready);
    }));
    HWND status = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    std::printf("piece live-region %.0f\n", Microseconds(runs, [status] {
        static const CLSID services = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
        static const IID servicesIid = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
        static const GUID live = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
        IAccPropServices* props = nullptr;
        if (FAILED(CoCreateInstance(services, nullptr, CLSCTX_INPROC_SERVER, servicesIid,
                                    reinterpret_cast<void**>(&props))) || !props)
            return;
        VARIANT polite;
        VariantInit(&polite);
        polite.vt = VT_I4;
        polite.lVal = 1;
        props->SetHwndProp(status, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, live, polite);
        props->Release();
    }));
    DestroyWindow(status);
}

bool g_showOnly = false;
constexpr UINT kStartMessage = WM_APP + 1;

// As the program does: the dialog shown and painted first, then the check run's calls.
INT_PTR CALLBACK FloorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    if (message == WM_INITDIALOG) {
        if (!g_showOnly) {
            Initialise(dialog);
            PostMessageW(dialog, kStartMessage, 0, 0);
        }
        return TRUE;
    }
    if (message == kStartMessage) {
        ShowWindow(dialog, SW_SHOW);
        UpdateWindow(dialog);
        CheckRunCalls(dialog);
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int)
{
    if (wcsstr(commandLine, L"/exit-terminate") != nullptr)
        TerminateProcess(GetCurrentProcess(), 0);
    if (wcsstr(commandLine, L"/exit") != nullptr)
        return 0;
    if (wcsstr(commandLine, L"/pieces") != nullptr) {
        Pieces(15);
        return 0;
    }
    if (wcsstr(commandLine, L"/silent") != nullptr) {
        CheckRunCalls(nullptr);
        return 0;
    }
    g_showOnly = wcsstr(commandLine, L"/show") != nullptr;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    DialogBoxParamW(instance, MAKEINTRESOURCEW(102), nullptr, FloorProc, 0);
    return 0;
}
