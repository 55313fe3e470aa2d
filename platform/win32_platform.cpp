#include "platform/win32_platform.h"

#include <windows.h>
#include <process.h>
#include <winioctl.h>
#include <objbase.h>
#include <oleacc.h>

#include <algorithm>
#include <cwchar>

#include "framework/file.h"
#include "framework/owners.h"
#include "text/wide.h"
#include "platform/device_names.h"

namespace {

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the version record is the 284-byte layout");
// The 64-bit layout is met only by the test build for machines that run no 32-bit code.
static_assert(sizeof(void*) != 4 || sizeof(SYSTEM_INFO) == 36, "the system record is the 32-bit layout");

SystemRecord FromSystemInfo(const SYSTEM_INFO& info)
{
    SystemRecord record;
    // dwOemId shares its four bytes with wProcessorArchitecture and the reserved word after it.
    record.processorArchitecture = info.wProcessorArchitecture;
    record.reserved = info.wReserved;
    record.pageSize = info.dwPageSize;
    record.minimumApplicationAddress =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(info.lpMinimumApplicationAddress));
    record.maximumApplicationAddress =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress));
    record.activeProcessorMask = static_cast<std::uint32_t>(info.dwActiveProcessorMask);
    record.numberOfProcessors = info.dwNumberOfProcessors;
    record.processorType = info.dwProcessorType;
    record.allocationGranularity = info.dwAllocationGranularity;
    record.processorLevel = info.wProcessorLevel;
    record.processorRevision = info.wProcessorRevision;
    return record;
}

// Looks up a kernel32 export that older Windows versions lack, so it is never imported.
template <typename Function>
Function Kernel32Export(const char* name)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name)))
                  : nullptr;
}

class Win32RegistryValueNames : public RegistryValueNames {
public:
    explicit Win32RegistryValueNames(HKEY key) : key_(key) {}
    std::int32_t EnumValueName(std::uint32_t index, char16_t* name, std::uint32_t* capacity) override
    {
        DWORD length = *capacity;
        const LONG status = RegEnumValueW(key_.Get(), index, reinterpret_cast<wchar_t*>(name), &length,
                                          nullptr, nullptr, nullptr, nullptr);
        *capacity = length;
        return status;
    }

private:
    RegistryKey key_;
};

// How long a file that another program holds for a moment is waited out: an antivirus scanning a
// file the instant it is closed, the search indexer, a backup agent, a collector or the site
// summary reading the earlier report on a share. Each holds it for well under a second.
constexpr DWORD kHoldWaitMs = 2000;
constexpr DWORD kHoldRetryMs = 50;

// Tries `attempt` until it succeeds, fails otherwise than by a sharing violation or a denied access
// (what such a hold gives), or the wait is over, or `stop` is set (the session ends); GetLastError
// is the last attempt's.
template <typename Attempt>
bool WaitingOutHolds(const std::atomic<bool>& stop, Attempt attempt)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (attempt())
            return true;
        const DWORD error = GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
        if (!held || GetTickCount() - start >= kHoldWaitMs || stop.load()) {
            SetLastError(error);
            return false;
        }
        Sleep(kHoldRetryMs);
    }
}

// The full name Windows resolves `name` to, or empty.
CString FullPathName(const CString& name)
{
    const DWORD needed = GetFullPathNameW(AsWide(name), 0, nullptr, nullptr);
    if (needed == 0)
        return CString();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(AsWide(name), needed, &full[0], nullptr);
    return length == 0 || length >= needed ? CString() : FromWide(full.c_str(), length);
}

// The name the file is written under until it is complete: NAME.partial beside it, as it always
// was, unless that would pass the 259 characters of a path or the 255 of a name that NAME itself
// keeps to. Then a short name in the same folder, with the prefix that lifts the path's limit; it
// is the same for every run on NAME, so that two runs still meet on it. Where an earlier run left
// its file (`attempt` 1 and on), NAME.1.partial and so on.
CString PartialName(const CString& name, int attempt)
{
    const CString suffix = attempt == 0 ? CString(u".partial") : Format(u".%d.partial", {attempt});
    const CString full = FullPathName(name);
    const std::size_t slash = full.find_last_of(u"\\/");
    if (full.empty() || slash == CString::npos ||
        (full.size() + suffix.size() <= MAX_PATH - 1 && full.size() - slash - 1 + suffix.size() <= 255))
        return name + suffix;
    std::uint32_t hash = 2166136261u;  // FNV-1a of the name as Windows compares it, in any case
    for (char16_t c : full) {
        hash = (hash ^ static_cast<std::uint32_t>(c >= u'a' && c <= u'z' ? c - 32 : c)) * 16777619u;
    }
    return ExtendedLengthPath(full.substr(0, slash)) + Format(u"\\~qk%x", {hash}) + suffix;
}

// How many files earlier runs may have left beside one name before a run gives up on it.
constexpr int kPartialAttempts = 100;

// Whether the partial file that is there is being written by another run, which holds it sharing
// only its move: waited out for a moment, as a run about to finish lets go of it. A file that
// opens is one nobody writes: a report an earlier run kept, or what a crash left.
bool HeldByAnotherRun(const std::atomic<bool>& stop, const CString& partial)
{
    UniqueHandle probe;
    const bool opened = WaitingOutHolds(stop, [&] {
        probe.Reset(CreateFileW(AsWide(partial), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return static_cast<bool>(probe);
    });
    return !opened && GetLastError() != ERROR_FILE_NOT_FOUND;
}

class Win32OutputFile : public OutputFile {
public:
    explicit Win32OutputFile(const std::atomic<bool>& stopWaits) : stopWaits_(stopWaits) {}
    ~Win32OutputFile() override
    {
        if (!partial_.empty()) {
            file_.Close();
            DeleteFileW(AsWide(partial_));
        }
    }

    bool Open(const CString& name)
    {
        // A device takes the bytes and keeps none, and opening one may wait on a port: never opened.
        if (NamesADevice(name)) {
            SetLastError(kNotADiskFileError);
            return false;
        }
        // What would keep the file from being put in place at the end is said now, before the run:
        // the name held open by another program, read-only, not to be deleted (a share that grants
        // writing but not deleting), or a folder's. Replacing it needs DELETE on it, and others'
        // handles must share deleting; a folder or a read-only file is refused without waiting.
        const DWORD attributes = GetFileAttributesW(AsWide(name));
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) {
            SetLastError(ERROR_ACCESS_DENIED);
            return false;
        }
        bool existingIsDisk = true;
        UniqueHandle existing;
        const bool checked = WaitingOutHolds(stopWaits_, [&] {
            existing.Reset(CreateFileW(AsWide(name), GENERIC_WRITE | DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
            return existing || GetLastError() == ERROR_FILE_NOT_FOUND;
        });
        if (!checked)
            return false;
        if (existing)
            existingIsDisk = GetFileType(existing.Get()) == FILE_TYPE_DISK;
        existing.Reset();
        // Said once the handle is closed, so that closing it cannot change the error.
        if (!existingIsDisk) {
            SetLastError(kNotADiskFileError);
            return false;
        }
        final_ = name;
        // A partial file that is there is never truncated: held, it is another run's, and this run
        // is refused; left by an earlier run (a report it kept, read-only or hidden as it may have
        // been made since), this run writes beside it under the next name.
        for (int attempt = 0; attempt < kPartialAttempts; ++attempt) {
            const CString partial = PartialName(name, attempt);
            if (file_.Open(partial, CFile::modeCreateNew | CFile::modeWrite | CFile::modeMovable)) {
                partial_ = partial;
                if (file_.GetFileType() != FILE_TYPE_DISK) {
                    SetLastError(kNotADiskFileError);
                    return false;
                }
                return true;
            }
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
                return false;
            if (HeldByAnotherRun(stopWaits_, partial)) {
                SetLastError(kAnotherRunError);
                return false;
            }
        }
        SetLastError(ERROR_FILE_EXISTS);
        return false;
    }

    bool Write(const std::uint8_t* bytes, std::size_t count) override
    {
        if (count <= MAXDWORD && file_.Write(bytes, static_cast<DWORD>(count)))
            return true;
        if (writeError_ == 0)
            writeError_ = count > MAXDWORD ? ERROR_ARITHMETIC_OVERFLOW : GetLastError();
        return false;
    }

    bool Commit(std::uint32_t& error) override
    {
        // A file a write failed on is no report: it is removed, and the write's reason is said.
        if (writeError_ != 0) {
            error = writeError_;
            return false;
        }
        // Flushed first, so that a crash after the move cannot leave a name without its bytes.
        const bool flushed = file_.Flush();
        error = flushed ? 0 : GetLastError();
        if (!flushed)
            return false;
        // Moved while still held, so that no second run can take the file over while the move
        // waits out a hold on the final name.
        const bool moved = WaitingOutHolds(stopWaits_, [&] {
            return MoveFileExW(AsWide(partial_), AsWide(final_), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        });
        error = moved ? 0 : GetLastError();
        file_.Close();
        if (!moved)
            kept_ = partial_;  // finished: it stays, under a name the message gives, for someone to move
        partial_.clear();
        return moved;
    }

    CString KeptName() const override { return kept_; }

private:
    const std::atomic<bool>& stopWaits_;
    CFile file_;
    CString final_;
    CString partial_;  // empty once moved into place or kept
    CString kept_;
    DWORD writeError_ = 0;
};

class Win32InputFile : public InputFile {
public:
    bool Open(const CString& path) { return file_.Open(path, CFile::modeRead); }
    std::int64_t Length() override { return file_.GetLength(); }
    bool IsDiskFile() override { return file_.GetFileType() == FILE_TYPE_DISK; }
    bool ReadAll(std::size_t count, std::vector<std::uint8_t>& bytes) override
    {
        if (count > MAXDWORD)
            return false;
        bytes.resize(count);
        return count == 0 || file_.Read(bytes.data(), static_cast<DWORD>(count)) ==
                                 static_cast<std::int64_t>(count);
    }

private:
    CFile file_;
};

}  // namespace

bool Win32Platform::GetVersionRecord(VersionRecord& record)
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)))
        return false;
    record.osVersionInfoSize = info.dwOSVersionInfoSize;
    record.majorVersion = info.dwMajorVersion;
    record.minorVersion = info.dwMinorVersion;
    record.buildNumber = info.dwBuildNumber;
    record.platformId = info.dwPlatformId;
    const std::size_t csdCapacity = sizeof info.szCSDVersion / sizeof info.szCSDVersion[0];
    record.csdVersion = FromWide(info.szCSDVersion, wcsnlen(info.szCSDVersion, csdCapacity));
    record.suiteMask = info.wSuiteMask;
    record.productType = info.wProductType;
    return true;
}

bool Win32Platform::GetNativeSystemRecord(SystemRecord& record)
{
    // Missing before Windows XP.
    auto getNativeSystemInfo = Kernel32Export<void(WINAPI*)(LPSYSTEM_INFO)>("GetNativeSystemInfo");
    if (getNativeSystemInfo == nullptr)
        return false;
    SYSTEM_INFO info = {};
    getNativeSystemInfo(&info);
    record = FromSystemInfo(info);
    return true;
}

bool Win32Platform::GetNativeMachine(std::uint16_t& machine)
{
    // Missing before Windows 10 1709.
    auto isWow64Process2 = Kernel32Export<BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*)>("IsWow64Process2");
    USHORT process = 0;
    USHORT native = 0;
    if (isWow64Process2 == nullptr || !isWow64Process2(GetCurrentProcess(), &process, &native))
        return false;
    machine = native;
    return true;
}

void Win32Platform::StopWaitingOutHolds()
{
    stopHoldWaits_ = true;
}

void Win32Platform::SuppressSystemDialogs(bool unattended)
{
    const UINT mode = SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | (unattended ? SEM_NOGPFAULTERRORBOX : 0);
    // SetErrorMode only replaces: what the process was started with (a parent's mode) is kept.
    SetErrorMode(SetErrorMode(0) | mode);
}

void Win32Platform::MakePoliteLiveRegion(std::uintptr_t window)
{
    // Spelt here, as the accessibility code spells its own, so that nothing links oleacc.dll.
    static const CLSID kAccPropServices = {0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
    static const IID kIAccPropServices = {0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
    static const GUID kLiveSetting = {0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
    constexpr LONG kPolite = 1;
    // The window's thread is in its apartment from the process's start; a test's thread joins one
    // here and keeps it, as the annotation lives as long as the window.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER, kIAccPropServices,
                                reinterpret_cast<void**>(&services))) ||
        services == nullptr)
        return;
    VARIANT polite;
    VariantInit(&polite);
    polite.vt = VT_I4;
    polite.lVal = kPolite;
    services->SetHwndProp(reinterpret_cast<HWND>(window), static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, kLiveSetting,
                          polite);
    services->Release();
}

CString Win32Platform::WindowsFolder()
{
    // The system's own Windows folder, even where a terminal server gives each user one of theirs.
    wchar_t folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
    return length == 0 || length > MAX_PATH ? CString() : FromWide(folder);
}

SeekPenalty Win32Platform::QuerySeekPenalty(const CString& device)
{
    const UniqueHandle disk(CreateFileW(AsWide(device), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                        0, nullptr));
    if (!disk)
        return SeekPenalty::NoAnswer;
    STORAGE_PROPERTY_QUERY query = {};
    query.PropertyId = StorageDeviceSeekPenaltyProperty;
    query.QueryType = PropertyStandardQuery;
    std::uint8_t descriptor[sizeof(DEVICE_SEEK_PENALTY_DESCRIPTOR)] = {};
    DWORD returned = 0;
    // Before Windows 7 the property is unknown and the call fails; so does it under Wine.
    const bool succeeded = DeviceIoControl(disk.Get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query,
                                           descriptor, sizeof descriptor, &returned, nullptr) != 0;
    return SeekPenaltyFromAnswer(succeeded, descriptor, returned);
}

void Win32Platform::GetSystemRecord(SystemRecord& record)
{
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    record = FromSystemInfo(info);
}

std::unique_ptr<OutputFile> Win32Platform::CreateReportFile(const CString& name, std::uint32_t& error)
{
    auto file = std::make_unique<Win32OutputFile>(stopHoldWaits_);
    if (!file->Open(name)) {
        error = GetLastError();
        return nullptr;
    }
    return file;
}

namespace {

// The long form of a name as far as it exists: a short name (PCREPO~1.VKH) becomes the long one, in
// a folder that exists even when the file does not yet.
CString LongPathName(const CString& full)
{
    const std::size_t slash = full.find_last_of(u"\\/");
    for (const CString& path : {full, slash == CString::npos ? CString() : full.substr(0, slash)}) {
        if (path.empty())
            continue;
        const DWORD needed = GetLongPathNameW(AsWide(path), nullptr, 0);
        if (needed == 0)
            continue;
        std::wstring buffer(needed, L'\0');
        const DWORD length = GetLongPathNameW(AsWide(path), &buffer[0], needed);
        if (length == 0 || length >= needed)
            continue;
        return FromWide(buffer.c_str(), length) + full.substr(path.size());
    }
    return full;
}

CString Upper(CString text)
{
    if (!text.empty())
        CharUpperBuffW(reinterpret_cast<wchar_t*>(&text[0]), static_cast<DWORD>(text.size()));
    return text;
}

bool FileIdentity(const CString& name, BY_HANDLE_FILE_INFORMATION& info)
{
    // No access rights and every sharing: looking must not disturb a file another program holds.
    const UniqueHandle file(CreateFileW(AsWide(name), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.Get(), &info);
}

}  // namespace

bool Win32Platform::NamesOneFile(const CString& first, const CString& second)
{
    // A device's name is refused on its own, and is never opened here either.
    if (NamesADevice(first) || NamesADevice(second))
        return false;
    const CString a = FullPathName(first);
    const CString b = FullPathName(second);
    if (!a.empty() && Upper(LongPathName(a)) == Upper(LongPathName(b)))
        return true;
    BY_HANDLE_FILE_INFORMATION one = {};
    BY_HANDLE_FILE_INFORMATION other = {};
    return FileIdentity(first, one) && FileIdentity(second, other) &&
           one.dwVolumeSerialNumber == other.dwVolumeSerialNumber && one.nFileIndexHigh == other.nFileIndexHigh &&
           one.nFileIndexLow == other.nFileIndexLow;
}

CString Win32Platform::CurrentFolder()
{
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return CString();
    std::wstring folder(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, &folder[0]);
    return length == 0 || length >= needed ? CString() : FromWide(folder.c_str(), length);
}

CString Win32Platform::SystemErrorMessage(std::uint32_t error)
{
    wchar_t text[512] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                        error, 0, text, 512, nullptr);
    return FromWide(text, length);
}

std::unique_ptr<InputFile> Win32Platform::OpenFileForReading(const CString& path)
{
    auto file = std::make_unique<Win32InputFile>();
    if (!file->Open(path))
        return nullptr;
    return file;
}

int Win32Platform::GetSystemMetric(int index)
{
    return GetSystemMetrics(index);
}

DisplayColours Win32Platform::GetDisplayColours()
{
    DisplayColours colours;
    HIGHCONTRASTW contrast = {};
    contrast.cbSize = sizeof contrast;
    colours.highContrast =
        SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) && (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
    colours.window = GetSysColor(COLOR_WINDOW);
    colours.windowText = GetSysColor(COLOR_WINDOWTEXT);
    return colours;
}

bool Win32Platform::GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t& productType)
{
    // Missing before Vista.
    auto getProductInfo = Kernel32Export<BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD)>(
        "GetProductInfo");
    if (getProductInfo == nullptr)
        return false;
    DWORD type = 0;
    // A failed call leaves no product type worth naming: it counts as no GetProductInfo at all.
    if (!getProductInfo(major, minor, 0, 0, &type))
        return false;
    productType = type;
    return true;
}

void Win32Platform::WriteStandardOutput(const CString& text)
{
    // A windowed process usually has no standard output; then the text goes nowhere.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return;
    std::string bytes;
    for (char16_t c : text)
        bytes.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    DWORD written = 0;
    WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

namespace {

OutputResult WriteStandardBytes(DWORD stream, const std::string& bytes)
{
    // A GUI program has standard handles only when its starter passed them (a fleet tool, a
    // redirection); without one there is nowhere to write, which is no failure.
    HANDLE out = GetStdHandle(stream);
    if (out == nullptr || out == INVALID_HANDLE_VALUE)
        return OutputResult::NoOutput;
    DWORD written = 0;
    if (bytes.size() > MAXDWORD ||
        !WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        return OutputResult::Failed;
    return OutputResult::Written;
}

}  // namespace

OutputResult Win32Platform::WriteStandardOutputBytes(const std::string& bytes)
{
    return WriteStandardBytes(STD_OUTPUT_HANDLE, bytes);
}

OutputResult Win32Platform::WriteStandardErrorBytes(const std::string& bytes)
{
    return WriteStandardBytes(STD_ERROR_HANDLE, bytes);
}

CString Win32Platform::ComputerName()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) ? FromWide(name, length) : CString();
}

bool Win32Platform::LocalMachineKeyExists(const CString& subkey)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWide(subkey), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    const RegistryKey key(opened);
    return true;
}

std::unique_ptr<RegistryValueNames> Win32Platform::OpenLocalMachineKey(const CString& subkey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWide(subkey), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32RegistryValueNames>(key);
}

bool Win32Platform::SetLocalMachineValues(const CString& subkey, const std::vector<CString>& removed,
                                          const std::vector<std::pair<CString, CString>>& values,
                                          std::uint32_t& error)
{
    HKEY opened = nullptr;
    // KEY_WOW64_64KEY is ignored where Windows has one view (32-bit Windows, XP included).
    LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, AsWide(subkey), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                  KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &opened, nullptr);
    if (status != ERROR_SUCCESS) {
        error = static_cast<std::uint32_t>(status);
        return false;
    }
    const RegistryKey key(opened);
    for (const CString& name : removed) {
        status = RegDeleteValueW(key.Get(), AsWide(name));
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
            break;
        status = ERROR_SUCCESS;
    }
    for (std::size_t i = 0; status == ERROR_SUCCESS && i < values.size(); ++i) {
        const CString& value = values[i].second;
        status = RegSetValueExW(key.Get(), AsWide(values[i].first), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(AsWide(value)),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    error = static_cast<std::uint32_t>(status);
    return status == ERROR_SUCCESS;
}

bool Win32Platform::WriteEvent(const CString& source, int type, std::uint32_t id, const std::vector<CString>& strings,
                               std::uint32_t& error)
{
    const HANDLE log = RegisterEventSourceW(nullptr, AsWide(source));
    if (log == nullptr) {
        error = GetLastError();
        return false;
    }
    std::vector<LPCWSTR> pointers;
    for (const CString& text : strings)
        pointers.push_back(AsWide(text));
    const WORD types[] = {EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE, EVENTLOG_ERROR_TYPE};
    const BOOL reported = ReportEventW(log, types[type < 0 || type > 2 ? 0 : type], 0, id, nullptr,
                                       static_cast<WORD>(pointers.size()), 0, pointers.empty() ? nullptr : pointers.data(),
                                       nullptr);
    error = reported ? 0 : GetLastError();
    DeregisterEventSource(log);
    return reported != FALSE;
}

CString Win32Platform::ProgramPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return CString();
        if (length < path.size())
            return FromWide(path.c_str(), length);
        path.resize(path.size() * 2);
    }
}

CString Win32Platform::UtcTimeNow()
{
    SYSTEMTIME now = {};
    GetSystemTime(&now);
    wchar_t text[24] = {};
    const int length = swprintf(text, 24, L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay, now.wHour,
                                now.wMinute, now.wSecond);
    return FromWide(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void Win32Platform::GetPhysicalMemoryStatus(std::uint64_t& totalBytes, std::uint64_t& availableBytes)
{
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    static_assert(sizeof(MEMORYSTATUSEX) == 64, "the memory status record is 64 bytes");
    GlobalMemoryStatusEx(&status);
    totalBytes = status.ullTotalPhys;
    availableBytes = status.ullAvailPhys;
}

CString Win32Platform::GetSystemLocaleLanguage()
{
    wchar_t name[40] = {};
    GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE, name, 40);
    return FromWide(name, wcsnlen(name, 40));
}

Win32Platform& SystemPlatform()
{
    static Win32Platform platform;
    return platform;
}

namespace {

// A WMI task and the WMI it runs against, owned by its thread: an abandoned thread keeps them, and
// nothing of the run's.
struct WmiTask {
    std::function<void(WmiApi&)> task;
    Win32WmiApi wmi;
};

unsigned __stdcall RunWmiTaskThread(void* param)
{
    std::unique_ptr<WmiTask> job(static_cast<WmiTask*>(param));
    // No exception may leave a thread procedure; the task reports its failures as values anyway.
    try {
        job->task(job->wmi);
    } catch (...) {
    }
    return 0;
}

}  // namespace

WaitEnd Win32Platform::RunWmiTask(std::function<void(WmiApi&)> task, std::uint32_t milliseconds,
                                  const std::function<bool(std::uint32_t elapsedMs)>& waiting)
{
    auto job = std::make_unique<WmiTask>();
    job->task = std::move(task);
    // _beginthreadex, not CreateThread: the task uses the C runtime.
    const UniqueHandle owner(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, RunWmiTaskThread, job.get(), 0, nullptr)));
    HANDLE thread = owner.Get();
    if (!owner) {
        job->task(job->wmi);
        return WaitEnd::Finished;
    }
    job.release();
    constexpr DWORD kSliceMs = 50;
    const DWORD start = GetTickCount();
    WaitEnd end = WaitEnd::TimedOut;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            break;
        if (WaitForSingleObject(thread, std::min<DWORD>(milliseconds - elapsed, kSliceMs)) == WAIT_OBJECT_0) {
            end = WaitEnd::Finished;
            break;
        }
        if (!waiting(GetTickCount() - start)) {
            end = WaitEnd::Stopped;
            break;
        }
    }
    return end;
}
