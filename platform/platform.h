// The seam between the program's logic and Windows. Implementations pass back what Windows said and
// decide nothing; the Win32 one is the only real one, tests use fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "text/text.h"
#include "platform/records.h"
#include "platform/wmi_api.h"

// A file written beside its final name and put in place only when complete, so a run cut short,
// a full disk or a crash never leaves half a file under that name. Destroyed without a commit, it
// is removed and any earlier file of the name stays as it was.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // One write call; true only when every byte was written.
    virtual bool Write(const std::uint8_t* bytes, std::size_t count) = 0;
    // Flushes and closes the file and moves it to its final name, replacing any earlier file. False,
    // with the system's error code in `error`, when a write failed or that fails: a file a write
    // failed on is removed, and a finished one that could not be moved is kept (KeptName).
    virtual bool Commit(std::uint32_t& error) = 0;
    // Where a finished file stays when it could not be put in place; empty otherwise.
    virtual CString KeptName() const { return CString(); }
};

// A file opened for reading only, not shared. Closed when the object is destroyed.
class InputFile {
public:
    virtual ~InputFile() = default;
    // The length in bytes, or -1 when it cannot be read.
    virtual std::int64_t Length() = 0;
    // Reads `count` bytes in one read; false when the read failed or came up short.
    virtual bool ReadAll(std::size_t count, std::vector<std::uint8_t>& bytes) = 0;
    // GetFileType says FILE_TYPE_DISK: a device (nul, aux, COM1, con) opens like a file but is none.
    virtual bool IsDiskFile() = 0;
};

// An open registry key whose value names can be enumerated. Closed when the object is destroyed.
class RegistryValueNames {
public:
    virtual ~RegistryValueNames() = default;
    // RegEnumValueW asking for the name only: `capacity` is the buffer's size in characters on
    // entry and the name's length on success. Returns the Win32 status (0 on success).
    virtual std::int32_t EnumValueName(std::uint32_t index, char16_t* name, std::uint32_t* capacity) = 0;
};

// CreateReportFile's error for a name that is a device's, not a file's (ERROR_BAD_DEVICE).
inline constexpr std::uint32_t kNotADiskFileError = 1200;
// CreateReportFile's error when another run holds the file it writes beside the name (ERROR_BUSY).
inline constexpr std::uint32_t kAnotherRunError = 170;

// How a wait for a WMI task ended.
enum class WaitEnd { Finished, TimedOut, Stopped };

// What a disk said of its seek penalty: a solid-state drive incurs none.
enum class SeekPenalty { NoAnswer, Incurs, None };

// What a disk's answer to that query says: whether the call succeeded, and the bytes it returned,
// a DEVICE_SEEK_PENALTY_DESCRIPTOR (its version and size, 4 bytes each, then IncursSeekPenalty).
// An answer too short to hold the flag, or whose own size says it holds none, is no answer.
SeekPenalty SeekPenaltyFromAnswer(bool succeeded, const std::uint8_t* bytes, std::size_t returned);

// What became of bytes sent to standard output. A program started from Explorer has none, and that
// is not a failure.
enum class OutputResult { Written, NoOutput, Failed };

struct DisplayColours {
    bool highContrast = false;
    std::uint32_t window = 0xFFFFFF;
    std::uint32_t windowText = 0x000000;
};

class Platform {
public:
    virtual ~Platform() = default;

    // GetVersionExW on a zeroed OSVERSIONINFOEXW whose size field is 284.
    virtual bool GetVersionRecord(VersionRecord& record) = 0;
    // GetNativeSystemInfo when kernel32 exports it; false (record untouched) when it does not.
    virtual bool GetNativeSystemRecord(SystemRecord& record) = 0;
    virtual void GetSystemRecord(SystemRecord& record) = 0;
    // IsWow64Process2's native machine (an IMAGE_FILE_MACHINE_ value) when kernel32 exports it
    // (Windows 10 1709 and later) and the call succeeds; false otherwise. An x86 program emulated on
    // an Arm PC learns only from this that the PC is no x86 one.
    virtual bool GetNativeMachine(std::uint16_t& machine) = 0;
    // SetErrorMode, added to the process's mode: no box for a drive without its disk or a file that
    // cannot be opened; `unattended`, none for a crash either (Windows Error Reporting's box, which
    // nobody would close), so the process ends.
    virtual void SuppressSystemDialogs(bool unattended) = 0;
    // From the session's end on, a file another program holds is no longer waited for: Windows ends
    // the process within seconds, and a write caught in the wait would leave its partial file.
    // What is finished is kept, and said so, as when the wait runs out.
    virtual void StopWaitingOutHolds() = 0;
    // IAccPropServices::SetHwndProp of LiveSetting_Property_GUID, polite, on a window's client
    // object: from Windows 8 on, Narrator speaks a change of its name without the user moving
    // there. Nothing where the system keeps no such properties.
    virtual void MakePoliteLiveRegion(std::uintptr_t window) = 0;
    // GetSystemWindowsDirectoryW: the Windows folder, on the system's own drive; empty when it fails.
    virtual CString WindowsFolder() = 0;
    // IOCTL_STORAGE_QUERY_PROPERTY for StorageDeviceSeekPenaltyProperty on a disk device
    // (\\.\PHYSICALDRIVE0) opened with no access rights, so no administrator is needed.
    virtual SeekPenalty QuerySeekPenalty(const CString& device) = 0;

    // Written as NAME.partial beside NAME, write-only, not shared, so a second run on NAME waits for
    // the first or is refused (kAnotherRunError). Null, with the system's error code (GetLastError)
    // in `error`, when it cannot be created, or when NAME could not be replaced at the end (held
    // open by another program, read-only, not to be deleted, a folder). A file another program holds
    // for a moment (an antivirus, the search indexer, a collector) is waited out, briefly.
    virtual std::unique_ptr<OutputFile> CreateReportFile(const CString& name, std::uint32_t& error) = 0;
    // Whether two names lead to one file: what Windows resolves them to (GetFullPathNameW, then
    // GetLongPathNameW as far as the path exists) compared without regard to case, and where both
    // files exist, their identity (volume and file index).
    virtual bool NamesOneFile(const CString& first, const CString& second) = 0;
    // GetCurrentDirectoryW; empty when it fails.
    virtual CString CurrentFolder() = 0;
    // The system's own words for an error code (FormatMessageW), as it gives them; empty when it
    // has none.
    virtual CString SystemErrorMessage(std::uint32_t error) = 0;

    // An existing file, read-only and not shared. Null when it cannot be opened.
    virtual std::unique_ptr<InputFile> OpenFileForReading(const CString& path) = 0;

    virtual int GetSystemMetric(int index) = 0;
    // Whether Windows' high-contrast setting is on, and the system's window and window-text
    // colours (0x00BBGGRR) that a window then draws with.
    virtual DisplayColours GetDisplayColours() = 0;
    // GetProductInfo when kernel32 exports it (Vista and later) and the call succeeds; false
    // otherwise.
    virtual bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t& productType) = 0;
    virtual void WriteStandardOutput(const CString& text) = 0;
    // The bytes as they are, in one write.
    virtual OutputResult WriteStandardOutputBytes(const std::string& bytes) = 0;
    // The same on standard error: what went wrong in a run that has no window.
    virtual OutputResult WriteStandardErrorBytes(const std::string& bytes) = 0;
    // GetComputerNameW; empty when it fails.
    virtual CString ComputerName() = 0;

    // Whether HKEY_LOCAL_MACHINE\subkey can be opened for KEY_QUERY_VALUE.
    virtual bool LocalMachineKeyExists(const CString& subkey) = 0;
    // HKEY_LOCAL_MACHINE\subkey opened for KEY_QUERY_VALUE; null when it cannot be opened.
    virtual std::unique_ptr<RegistryValueNames> OpenLocalMachineKey(const CString& subkey) = 0;
    // Sets string values (REG_SZ) under HKEY_LOCAL_MACHINE\`subkey`, in the 64-bit view on 64-bit
    // Windows (KEY_WOW64_64KEY: a 32-bit program would otherwise write under WOW6432Node, where
    // inventory tools do not look), the key created where missing: first `removed` is deleted,
    // then each of `values` set in order. False at the first failure, with the system's error
    // code (ERROR_ACCESS_DENIED, 5, where the process is not elevated).
    virtual bool SetLocalMachineValues(const CString& subkey, const std::vector<CString>& removed,
                                       const std::vector<std::pair<CString, CString>>& values,
                                       std::uint32_t& error) = 0;
    // Reports one event to the Application log from `source` (RegisterEventSourceW, ReportEventW
    // with the strings as insertion strings, DeregisterEventSource). `type` is 0 information, 1
    // warning, 2 error. False with the system's error code.
    virtual bool WriteEvent(const CString& source, int type, std::uint32_t id, const std::vector<CString>& strings,
                            std::uint32_t& error) = 0;
    // The program's own file (GetModuleFileNameW), where the event log finds its message table.
    virtual CString ProgramPath() = 0;
    // The time now in UTC, as ISO 8601 gives it to the second: "2026-12-10T13:57:21Z".
    virtual CString UtcTimeNow() = 0;

    // GlobalMemoryStatusEx's total and available physical bytes; both 0 when it fails.
    virtual void GetPhysicalMemoryStatus(std::uint64_t& totalBytes, std::uint64_t& availableBytes) = 0;
    // GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_SENGLANGUAGE) into 40 characters; empty on failure.
    virtual CString GetSystemLocaleLanguage() = 0;

    virtual WmiApi& Wmi() = 0;

    // Runs `task` on a thread of its own, with a WMI of its own, and waits for it up to
    // `milliseconds`: a WMI call may block where no time-out of its own reaches it. While it
    // waits, `waiting` is called every few tens of milliseconds with the time waited so far; its
    // false stops the wait at once. It delivers no window's messages: a dialog's run waits on a
    // thread of its own, and the window's own loop is the only loop.
    // A task that did not finish is abandoned with everything it holds, and ends on its own or with
    // the process. Where no thread can be started, the task runs on the calling thread.
    virtual WaitEnd RunWmiTask(std::function<void(WmiApi&)> task, std::uint32_t milliseconds,
                               const std::function<bool(std::uint32_t elapsedMs)>& waiting) = 0;
};
