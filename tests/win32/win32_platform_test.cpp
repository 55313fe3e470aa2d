// The Win32 platform layer against the real system (Wine in the test run).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include <windows.h>

#include "check/listing.h"
#include "framework/file.h"
#include "framework/owners.h"
#include "text/wide.h"
#include "platform/win32_platform.h"
#include "report/outcome_line.h"
#include "report/report_writer.h"
#include "tests/fakes/fake_surface.h"
#include "tests/win32/scratch_folder.h"

namespace {

// Closes a handle after a while, as an antivirus or a collector ends its look at a file.
struct DelayedClose {
    HANDLE handle;
    DWORD milliseconds;
};

DWORD WINAPI CloseLater(void* param)
{
    const DelayedClose* close = static_cast<DelayedClose*>(param);
    Sleep(close->milliseconds);
    CloseHandle(close->handle);
    return 0;
}

// A second run on the same name, started while the first waits to put its report in place; what
// it writes is never committed.
struct SecondRun {
    CString path;
    std::uint32_t error = 0;
    bool created = false;
};

DWORD WINAPI RunAfterAMoment(void* param)
{
    auto* run = static_cast<SecondRun*>(param);
    Sleep(300);
    run->created = SystemPlatform().CreateReportFile(run->path, run->error) != nullptr;
    return 0;
}

std::vector<std::uint8_t> ReadAll(const CString& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead))
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.GetLength()));
    if (!bytes.empty())
        file.Read(bytes.data(), static_cast<DWORD>(bytes.size()));
    return bytes;
}

}  // namespace

TEST(Win32Platform, ReadsTheVersionRecordInItsFullLayout)
{
    VersionRecord version;
    ASSERT_TRUE(SystemPlatform().GetVersionRecord(version));
    EXPECT_EQ(version.osVersionInfoSize, 284u);
    EXPECT_EQ(version.platformId, 2u);
    EXPECT_GE(version.majorVersion, 5u);
    EXPECT_LT(version.csdVersion.size(), 128u);
}

TEST(Win32Platform, FindsNativeSystemInfoAtRunTime)
{
    SystemRecord native;
    SystemRecord emulated;
    ASSERT_TRUE(SystemPlatform().GetNativeSystemRecord(native));
    SystemPlatform().GetSystemRecord(emulated);
    EXPECT_GT(native.numberOfProcessors, 0u);
    EXPECT_EQ(native.numberOfProcessors, emulated.numberOfProcessors);
    EXPECT_EQ(native.pageSize, 4096u);
    EXPECT_EQ(native.allocationGranularity, 65536u);
    EXPECT_EQ(emulated.minimumApplicationAddress, 0x10000u);

    // IsWow64Process2, where the system has it, names the machine the system record describes:
    // an x86 or x64 one here, never Arm.
    std::uint16_t machine = 0;
    if (SystemPlatform().GetNativeMachine(machine)) {
        EXPECT_EQ(machine, native.processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? IMAGE_FILE_MACHINE_AMD64
                                                                                        : IMAGE_FILE_MACHINE_I386);
    } else {
        // Without the call (before Windows 10 1709) nothing is said of the machine, and the system
        // record alone names it: an x86 or x64 one.
        EXPECT_EQ(machine, 0u);
        EXPECT_TRUE(native.processorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                    native.processorArchitecture == PROCESSOR_ARCHITECTURE_INTEL)
            << native.processorArchitecture;
    }
}

TEST(Win32Platform, FindsTheSystemDriveAndAsksADiskOfItsSeekPenaltyWithoutRights)
{
    wchar_t folder[MAX_PATH] = {};
    ASSERT_GT(GetWindowsDirectoryW(folder, MAX_PATH), 0u);
    EXPECT_EQ(SystemPlatform().WindowsFolder(), FromWide(folder));
    EXPECT_EQ(SystemPlatform().WindowsFolder()[1], u':');
    // A disk that does not exist answers nothing; what real disks answer is replayed natively
    // (SeekPenaltyAnswers), since Wine answers no seek-penalty query at all.
    EXPECT_EQ(SystemPlatform().QuerySeekPenalty(u"\\\\.\\PHYSICALDRIVE99"), SeekPenalty::NoAnswer);
}

TEST(Win32Platform, ReportIsWrittenBesideItsNameAndReplacesTheEarlierOneOnlyWhenCommitted)
{
    ScratchFolder folder;
    const CString path = folder.File(u"Quor-kelvra.vkh");
    const CString partial = path + u".partial";
    {
        CFile old;
        ASSERT_TRUE(old.Open(path, CFile::modeCreate | CFile::modeWrite));
        ASSERT_TRUE(old.Write("an older and longer report", 26));
    }
    const std::vector<std::uint8_t> older = ReadAll(path);
    {
        // Cut short: never committed, so the earlier report stays and the partial file goes.
        std::uint32_t error = 0;
        auto report = SystemPlatform().CreateReportFile(u"Quor-kelvra.vkh", error);
        ASSERT_NE(report, nullptr);
        EXPECT_TRUE(WriteReportLine(report.get(), u"Locale: English:1"));
        EXPECT_EQ(ReadAll(path), older) << "the earlier report is untouched while the new one is written";
        // The partial file is held without sharing: a second writer, as a second run of the program
        // would be, waits for it a moment and is then refused as another run's, never truncating it.
        EXPECT_EQ(SystemPlatform().CreateReportFile(u"Quor-kelvra.vkh", error), nullptr);
        EXPECT_EQ(error, kAnotherRunError);
        EXPECT_TRUE(WriteReportLine(report.get(), u"Locale: English:1"));
    }
    EXPECT_EQ(ReadAll(path), older);
    EXPECT_EQ(GetFileAttributesW(AsWide(partial)), INVALID_FILE_ATTRIBUTES);
    {
        std::uint32_t error = 0;
        auto report = SystemPlatform().CreateReportFile(u"Quor-kelvra.vkh", error);
        ASSERT_NE(report, nullptr);
        EXPECT_TRUE(WriteReportLine(report.get(), u"Locale: English:1"));
        EXPECT_TRUE(report->Commit(error)) << error;
    }
    EXPECT_EQ(ReadAll(path), EncodeReportLine(u"Locale: English:1"));
    EXPECT_EQ(GetFileAttributesW(AsWide(partial)), INVALID_FILE_ATTRIBUTES);

    // A file an earlier run left there (a report it kept, made read-only, hidden and system since)
    // is neither written over nor in the way: the next run writes beside it.
    {
        CFile left;
        ASSERT_TRUE(left.Open(partial, CFile::modeCreate | CFile::modeWrite));
        ASSERT_TRUE(left.Write("kept", 4));
    }
    ASSERT_TRUE(SetFileAttributesW(AsWide(partial), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    for (const char16_t* locale : {u"Locale: French:1", u"Locale: German:1"}) {
        std::uint32_t error = 0;
        auto report = SystemPlatform().CreateReportFile(u"Quor-kelvra.vkh", error);
        ASSERT_NE(report, nullptr) << error;
        EXPECT_TRUE(WriteReportLine(report.get(), locale));
        EXPECT_TRUE(report->Commit(error)) << error;
        EXPECT_EQ(ReadAll(path), EncodeReportLine(locale));
    }
    EXPECT_EQ(ReadAll(partial), (std::vector<std::uint8_t>{'k', 'e', 'p', 't'}));
    EXPECT_EQ(GetFileAttributesW(AsWide(path + u".1.partial")), INVALID_FILE_ATTRIBUTES);
    SetFileAttributesW(AsWide(partial), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(AsWide(partial));
}

TEST(Win32Platform, AReportHeldForAMomentIsWaitedOutAndOneHeldLongerIsKept)
{
    ScratchFolder folder;
    const CString path = folder.File(u"report.vkh");
    {
        CFile old;
        ASSERT_TRUE(old.Open(path, CFile::modeCreate | CFile::modeWrite));
        ASSERT_TRUE(old.Write("earlier", 7));
    }
    const std::vector<std::uint8_t> line = EncodeReportLine(u"Locale: English:1");
    for (const DWORD heldMs : {1000u, 0u, 1001u}) {
        // The last: the session ends as the commit comes, and the hold is no longer waited out.
        Win32Platform ending;
        if (heldMs == 1001u)
            ending.StopWaitingOutHolds();
        std::uint32_t error = 0;
        auto report = (heldMs == 1001u ? ending : SystemPlatform()).CreateReportFile(path, error);
        ASSERT_NE(report, nullptr) << error;
        ASSERT_TRUE(WriteReportLine(report.get(), u"Locale: English:1"));
        // Another program reads the earlier report as the commit comes: sharing nothing for a moment;
        // then, sharing all but its replacement, for longer than the commit waits.
        const DWORD share = heldMs > 0 ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        const HANDLE held = CreateFileW(AsWide(path), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        if (heldMs > 0) {
            DelayedClose close{held, heldMs};
            const UniqueHandle closer(CreateThread(nullptr, 0, CloseLater, &close, 0, nullptr));
            const bool committed = report->Commit(error);
            WaitForSingleObject(closer.Get(), INFINITE);
            if (heldMs == 1001u) {
                // Given up at once, the finished file kept, and said so; nothing half-written.
                EXPECT_FALSE(committed);
                const CString kept = report->KeptName();
                report.reset();
                EXPECT_EQ(ReadAll(kept), line);
                DeleteFileW(AsWide(kept));
                continue;
            }
            EXPECT_TRUE(committed) << "held for a second: " << error;
            EXPECT_EQ(ReadAll(path), line);
            continue;
        }
        // Held past the wait: the finished report is kept under the name given, never deleted, and
        // a second run that comes meanwhile cannot take it over.
        SecondRun second{path};
        const UniqueHandle secondRun(CreateThread(nullptr, 0, RunAfterAMoment, &second, 0, nullptr));
        const bool committed = report->Commit(error);
        WaitForSingleObject(secondRun.Get(), INFINITE);
        CloseHandle(held);
        if (committed) {
            // Wine replaces a file that is open when its holder shares deleting; Windows does not.
            EXPECT_EQ(ReadAll(path), line);
            continue;
        }
        EXPECT_TRUE(error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) << error;
        // The second run waited on the first's file until the first let go of it, kept: it then
        // wrote beside it (or was refused), and what was kept is the first run's report.
        EXPECT_TRUE(second.created || second.error == kAnotherRunError) << second.error;
        const CString kept = report->KeptName();
        ASSERT_FALSE(kept.empty());
        report.reset();
        EXPECT_EQ(ReadAll(kept), line);
        EXPECT_EQ(ReadAll(path), line) << "the earlier report stays as it was";
        DeleteFileW(AsWide(kept));
    }
}

TEST(Win32Platform, AReportPathAtTheLimitIsWrittenWithNothingLeftBesideIt)
{
    // A 259-character path with a last part as long as it can be: the file written beside it
    // must not take it past either limit.
    ScratchFolder folder;
    const CString sub = folder.Path() + u"\\d";
    ASSERT_TRUE(CreateDirectoryW(AsWide(sub), nullptr));
    const std::size_t last = 259 - sub.size() - 1;
    ASSERT_LE(last, 255u);
    const CString path = sub + u"\\" + CString(last - 4, u'r') + u".vkh";
    ASSERT_EQ(path.size(), 259u);
    std::uint32_t error = 0;
    auto report = SystemPlatform().CreateReportFile(path, error);
    ASSERT_NE(report, nullptr) << error;
    ASSERT_TRUE(WriteReportLine(report.get(), u"Locale: English:1"));
    EXPECT_TRUE(report->Commit(error)) << error;
    report.reset();
    EXPECT_EQ(ReadAll(path), EncodeReportLine(u"Locale: English:1"));
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(AsWide(sub + u"\\*.partial"), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "nothing is left beside it";
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    DeleteFileW(AsWide(path));

    // Past the limit a path is given with the prefix that lifts it: the same path so given, and
    // one of over 300 characters, are written, and the file beside each goes with it.
    const CString deep = u"\\\\?\\" + sub + u"\\" + CString(200, u'e');
    ASSERT_TRUE(CreateDirectoryW(AsWide(deep), nullptr)) << GetLastError();
    for (const CString& prefixed : {u"\\\\?\\" + path, deep + u"\\" + CString(100, u'r') + u".vkh"}) {
        report = SystemPlatform().CreateReportFile(prefixed, error);
        ASSERT_NE(report, nullptr) << error << " " << ToUtf8(prefixed);
        ASSERT_TRUE(WriteReportLine(report.get(), u"Locale: English:1"));
        EXPECT_TRUE(report->Commit(error)) << error;
        report.reset();
        EXPECT_EQ(ReadAll(prefixed), EncodeReportLine(u"Locale: English:1")) << ToUtf8(prefixed);
        EXPECT_TRUE(DeleteFileW(AsWide(prefixed))) << ToUtf8(prefixed);
    }
    const HANDLE leftover = FindFirstFileW(AsWide(deep + u"\\*.partial"), &found);
    EXPECT_EQ(leftover, INVALID_HANDLE_VALUE) << "nothing is left beside the long one";
    if (leftover != INVALID_HANDLE_VALUE)
        FindClose(leftover);
    RemoveDirectoryW(AsWide(deep));
    RemoveDirectoryW(AsWide(sub));
}

TEST(Win32Platform, TwoSpellingsOfOneFileAreOneFile)
{
    ScratchFolder folder;
    Win32Platform& platform = SystemPlatform();
    const CString full = folder.File(u"pc.vkh");
    for (const bool exists : {false, true}) {
        for (const char16_t* spelling : {u"pc.vkh", u"sub\\..\\pc.vkh", u"pc.vkh.", u"PC.VKH", u".\\pc.vkh"})
            EXPECT_TRUE(platform.NamesOneFile(full, spelling)) << ToUtf8(spelling) << " exists " << exists;
        for (const char16_t* other : {u"pc.json", u"sub\\pc.vkh", u"pc.vkh.vkh"})
            EXPECT_FALSE(platform.NamesOneFile(full, other)) << ToUtf8(other);
        if (!exists) {
            CFile file;
            ASSERT_TRUE(file.Open(full, CFile::modeCreate | CFile::modeWrite));
        }
    }
    // A short name, where the file system gives one, is the long name's file.
    const CString longName = folder.File(u"a report with a long name.vkh");
    {
        CFile file;
        ASSERT_TRUE(file.Open(longName, CFile::modeCreate | CFile::modeWrite));
    }
    wchar_t shortName[MAX_PATH] = {};
    if (GetShortPathNameW(AsWide(longName), shortName, MAX_PATH) > 0 && FromWide(shortName) != longName) {
        EXPECT_TRUE(platform.NamesOneFile(FromWide(shortName), longName)) << ToUtf8(FromWide(shortName));
    }
    EXPECT_FALSE(platform.NamesOneFile(longName, full));
    DeleteFileW(AsWide(longName));
    DeleteFileW(AsWide(full));
}

TEST(Win32Platform, ReportFileThatCannotBeCreatedSaysWhyInTheSystemsWords)
{
    std::uint32_t error = 0;
    EXPECT_EQ(SystemPlatform().CreateReportFile(u"Z:\\no\\such\\folder\\Quor-kelvra.vkh", error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
    // A folder of that name cannot be replaced by the report.
    ScratchFolder folder;
    ASSERT_TRUE(CreateDirectoryW(AsWide(folder.File(u"Quor-kelvra.vkh")), nullptr));
    EXPECT_EQ(SystemPlatform().CreateReportFile(u"Quor-kelvra.vkh", error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_ACCESS_DENIED));
    // Windows says "Access is denied.", Wine "Access denied.": the system's words, whichever they are.
    EXPECT_NE(ToUtf8(SystemPlatform().SystemErrorMessage(ERROR_ACCESS_DENIED)).find("denied."), std::string::npos);
    EXPECT_TRUE(SystemPlatform().SystemErrorMessage(0xDEADBEEF).empty());
    EXPECT_EQ(SystemPlatform().CurrentFolder(), folder.Path());
}

TEST(Win32Platform, GetProductInfoThatFailsCountsAsAbsent)
{
    // GetProductInfo fails for versions before Vista.
    std::uint32_t type = 0x30;
    EXPECT_FALSE(SystemPlatform().GetProductInfo(5, 1, type));
}

// Inventory tools read the 64-bit view: a 32-bit program's values must land there, not under
// WOW6432Node, and a value deleted first is gone before the rest is set.
TEST(Win32Platform, OutcomeValuesGoToTheSixtyFourBitViewInTheirOrder)
{
    const CString subkey = u"SOFTWARE\\Quor-kelvra test";
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, AsWide(subkey), view, 0);
    std::uint32_t error = 0;
    ASSERT_TRUE(SystemPlatform().SetLocalMachineValues(subkey, {}, {{u"Run Time", u"earlier"}}, error)) << error;
    ASSERT_TRUE(SystemPlatform().SetLocalMachineValues(subkey, {u"Run Time", u"Never There"},
                                                       {{u"Fitness", u"unfit"}, {u"Line", u"Unfit: Hard Drive Size 40 GB"}},
                                                       error))
        << error;
    const auto read = [&subkey](REGSAM view, const wchar_t* name) -> std::optional<std::wstring> {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, AsWide(subkey), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS)
            return std::nullopt;
        const RegistryKey key(opened);
        wchar_t value[64] = {};
        DWORD size = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) != ERROR_SUCCESS ||
            type != REG_SZ)
            return std::nullopt;
        return std::wstring(value);
    };
    EXPECT_EQ(read(KEY_WOW64_64KEY, L"Fitness"), std::wstring(L"unfit"));
    EXPECT_EQ(read(KEY_WOW64_64KEY, L"Line"), std::wstring(L"Unfit: Hard Drive Size 40 GB"));
    EXPECT_EQ(read(KEY_WOW64_64KEY, L"Run Time"), std::nullopt) << "deleted before the rest was set";
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64) {
        EXPECT_EQ(read(KEY_WOW64_32KEY, L"Fitness"), std::nullopt) << "a 32-bit program wrote under WOW6432Node";
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, AsWide(subkey), KEY_WOW64_64KEY, 0);
}

// The event log formats an event from the program's own message table: every ID /eventlog writes
// has its text there, with the line and the items put in.
TEST(Win32Platform, EveryEventIdFormatsFromTheProgramsMessageTable)
{
    // FORMAT_MESSAGE_ARGUMENT_ARRAY takes the strings as an array of pointer-sized arguments.
    DWORD_PTR strings[] = {reinterpret_cast<DWORD_PTR>(L"Unfit: Hard Drive Size 40 GB"),
                           reinterpret_cast<DWORD_PTR>(L"Hard Drive Size"), reinterpret_cast<DWORD_PTR>(L"")};
    for (const std::uint32_t id : {kEventFit, kEventUnfit, kEventUnknown, kEventNoReport}) {
        wchar_t text[512] = {};
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                            GetModuleHandleW(nullptr), id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                            text, 512, reinterpret_cast<va_list*>(strings));
        ASSERT_GT(length, 0u) << id << ": " << GetLastError();
        const std::wstring message(text, length);
        EXPECT_NE(message.find(L"Unfit: Hard Drive Size 40 GB"), std::wstring::npos) << id;
        if (id == kEventUnfit) {
            EXPECT_EQ(message.rfind(L"This PC is not fit for Zonfir-plus. Failing: Hard Drive Size.", 0), 0u);
        }
    }
    std::uint32_t error = 0;
    EXPECT_TRUE(SystemPlatform().WriteEvent(kEventSource, 1, kEventUnfit, {u"a line", u"Hard Drive Size", u""}, error))
        << error;
    EXPECT_EQ(SystemPlatform().ProgramPath().rfind(u"win32_tests.exe"), SystemPlatform().ProgramPath().size() - 15);
}

TEST(Win32Platform, OnlyADiskFileCountsAsOne)
{
    ScratchFolder folder;
    {
        CFile file;
        ASSERT_TRUE(file.Open(folder.File(u"report.vkh"), CFile::modeCreate | CFile::modeWrite));
    }
    auto disk = SystemPlatform().OpenFileForReading(folder.File(u"report.vkh"));
    ASSERT_NE(disk, nullptr);
    EXPECT_TRUE(disk->IsDiskFile());
    auto device = SystemPlatform().OpenFileForReading(u"nul");
    ASSERT_NE(device, nullptr) << "nul opens like a file, which is the trouble";
    EXPECT_FALSE(device->IsDiskFile());

    // Nor is a report or a JSON ever written to one: refused with the device's own error, before
    // anything is opened, and nothing is left beside it.
    const CString devices[] = {u"NUL", folder.File(u"nul.vkh"), folder.File(u"COM5.json"), u"\\\\.\\nul"};
    for (const CString& name : devices) {
        std::uint32_t error = 0;
        EXPECT_EQ(SystemPlatform().CreateReportFile(name, error), nullptr) << ToUtf8(name);
        EXPECT_EQ(error, kNotADiskFileError) << ToUtf8(name);
    }
    // The folder holds the one file made above; a device's name cannot be asked after, it is the device.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(AsWide(folder.File(u"*")), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    std::vector<CString> names;
    do {
        const CString entry = FromWide(found.cFileName);
        if (entry != u"." && entry != u"..")
            names.push_back(entry);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    EXPECT_EQ(names, std::vector<CString>{u"report.vkh"});
}

TEST(Win32Platform, CheckRunWritesTheReportThePlatformDescribes)
{
    ScratchFolder folder;
    EventLog log;
    FakeSurface surface(log);
    CheckRun run(SystemPlatform(), surface);
    run.RunChecks();

    VersionRecord version;
    SystemRecord system;
    ASSERT_TRUE(SystemPlatform().GetVersionRecord(version));
    ASSERT_TRUE(SystemPlatform().GetNativeSystemRecord(system));
    std::vector<std::uint8_t> expected;
    for (const CString& line : SystemInformationLines(system, version)) {
        const auto bytes = EncodeReportLine(line);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
    }
    const std::vector<std::uint8_t> written = ReadAll(folder.File(u"Quor-kelvra.vkh"));
    ASSERT_GT(written.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), written.begin()));
    EXPECT_EQ(surface.list.size(), 28u);
}

TEST(Win32Platform, AWmiTaskThatNeverEndsIsAbandonedAtItsDeadlineWithWhatItHolds)
{
    // Never set: the task waits for ever, as a WMI call that never returns. The test process still
    // ends at its end, the abandoned thread with it.
    HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto held = std::make_shared<int>(7);
    const std::weak_ptr<int> watch = held;
    int waits = 0;
    EXPECT_EQ(SystemPlatform().RunWmiTask([never, held = std::move(held)](WmiApi&) { WaitForSingleObject(never, INFINITE); },
                                          300, [&waits](std::uint32_t) { return ++waits > 0; }),
              WaitEnd::TimedOut);
    EXPECT_FALSE(watch.expired()) << "the abandoned thread keeps what its task holds";
    EXPECT_GE(waits, 2);

    // A wait told to stop ends at once, long before the deadline.
    EXPECT_EQ(SystemPlatform().RunWmiTask([never](WmiApi&) { WaitForSingleObject(never, INFINITE); }, 600000,
                                          [](std::uint32_t) { return false; }),
              WaitEnd::Stopped);

    // A task that ends in time: its result is there when the call returns.
    int answer = 0;
    EXPECT_EQ(SystemPlatform().RunWmiTask([&answer](WmiApi& api) {
        answer = 1 + static_cast<int>(Failed(api.InitializeCom()));
        api.UninitializeCom();
    }, 5000, [](std::uint32_t) { return true; }), WaitEnd::Finished);
    EXPECT_EQ(answer, 1);
}
