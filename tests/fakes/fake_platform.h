// A platform made of fixed facts, which can fail at any step and records what it was asked, in
// order, into a log it may share with the other fakes.
#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/device_names.h"
#include "platform/platform.h"
#include "tests/fakes/fake_wmi.h"

using EventLog = std::vector<std::string>;

// What a fake report file received, kept after the file object is gone.
struct FakeFileContents {
    std::vector<std::uint8_t> bytes;
    int writeCalls = 0;
    bool closed = false;
    bool committed = false;  // put in place under its name; until then only its partial file exists
    CString keptName;  // where a finished file stays when its commit fails
};

class FakePlatform : public Platform {
public:
    explicit FakePlatform(EventLog& log) : log_(log) {}
    ~FakePlatform() override { FinishAbandonedTasks(); }

    bool GetVersionRecord(VersionRecord& record) override
    {
        log_.push_back("GetVersionRecord");
        if (!versionSucceeds)
            return false;
        record = version;
        return true;
    }

    bool GetNativeSystemRecord(SystemRecord& record) override
    {
        log_.push_back("GetNativeSystemRecord");
        if (!hasNativeSystemInfo)
            return false;
        record = nativeSystem;
        return true;
    }

    void GetSystemRecord(SystemRecord& record) override
    {
        log_.push_back("GetSystemRecord");
        record = system;
    }

    bool GetNativeMachine(std::uint16_t& machine) override
    {
        if (!nativeMachine)
            return false;
        machine = *nativeMachine;
        return true;
    }

    CString WindowsFolder() override { return windowsFolder; }
    void SuppressSystemDialogs(bool unattended) override { suppressedDialogs = unattended ? "unattended" : "dialog"; }
    void MakePoliteLiveRegion(std::uintptr_t) override {}
    void StopWaitingOutHolds() override {}

    SeekPenalty QuerySeekPenalty(const CString& device) override
    {
        seekPenaltyQueries.push_back(device);
        auto found = seekPenalties.find(device);
        return found == seekPenalties.end() ? SeekPenalty::NoAnswer : found->second;
    }

    std::unique_ptr<OutputFile> CreateReportFile(const CString& name, std::uint32_t& error) override
    {
        log_.push_back("CreateReportFile");
        // As the system's does: a device's name is never opened.
        if (NamesADevice(name)) {
            error = kNotADiskFileError;
            return nullptr;
        }
        const bool json = name.size() >= 5 && name.compare(name.size() - 5, 5, u".json") == 0;
        if ((!json && !reportCanBeCreated) || uncreatable.count(name) != 0) {
            error = reportCreateError;
            return nullptr;
        }
        if (json)
            return std::make_unique<File>(createdFiles[name], log_, jsonFailWritesFrom, jsonCommitError);
        reportName = name;
        return std::make_unique<File>(report, log_, failWritesFrom, reportCommitError);
    }

    std::unique_ptr<InputFile> OpenFileForReading(const CString& path) override
    {
        log_.push_back("OpenFileForReading " + ToUtf8(path));
        auto found = files.find(path);
        if (found == files.end())
            return nullptr;
        return std::make_unique<Input>(found->second);
    }

    // Names the test says lead to one file, either way round, besides one name given twice.
    bool NamesOneFile(const CString& first, const CString& second) override
    {
        if (nameCheckHangs)
            nameCheckGate.Wait();
        return first == second || oneFile.count({first, second}) != 0 || oneFile.count({second, first}) != 0;
    }

    CString CurrentFolder() override { return currentFolder; }

    OutputResult WriteStandardOutputBytes(const std::string& bytes) override
    {
        log_.push_back("WriteStandardOutputBytes");
        if (standardOutputResult == OutputResult::Written)
            standardOutputBytes += bytes;
        return standardOutputResult;
    }

    OutputResult WriteStandardErrorBytes(const std::string& bytes) override
    {
        standardErrorBytes += bytes;
        return OutputResult::Written;
    }

    CString ComputerName() override { return computerName; }

    CString SystemErrorMessage(std::uint32_t error) override
    {
        auto found = systemMessages.find(error);
        return found == systemMessages.end() ? CString() : found->second;
    }

    int GetSystemMetric(int index) override
    {
        log_.push_back("GetSystemMetric " + std::to_string(index));
        return index == 89 ? serverR2Metric : 0;
    }

    DisplayColours GetDisplayColours() override { return display; }

    bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t& type) override
    {
        log_.push_back("GetProductInfo " + std::to_string(major) + "." + std::to_string(minor));
        if (!hasProductInfo)
            return false;
        type = productType;
        return true;
    }

    void WriteStandardOutput(const CString& text) override { standardOutput += text; }

    bool SetLocalMachineValues(const CString& subkey, const std::vector<CString>& removed,
                               const std::vector<std::pair<CString, CString>>& values, std::uint32_t& error) override
    {
        log_.push_back("SetLocalMachineValues " + ToUtf8(subkey));
        if (registryWriteError != 0) {
            error = registryWriteError;
            return false;
        }
        for (const CString& name : removed)
            writtenValues.erase(name);
        for (const auto& [name, value] : values) {
            writtenValues[name] = value;
            valueOrder.push_back(name);
        }
        return true;
    }
    CString UtcTimeNow() override { return u"2026-12-10T13:57:21Z"; }
    bool WriteEvent(const CString& source, int type, std::uint32_t id, const std::vector<CString>& strings,
                    std::uint32_t& error) override
    {
        log_.push_back("WriteEvent " + ToUtf8(source));
        if (eventError != 0) {
            error = eventError;
            return false;
        }
        events.push_back({type, id, strings});
        return true;
    }
    CString ProgramPath() override { return u"C:\\Tools\\Quor-kelvra.exe"; }

    bool LocalMachineKeyExists(const CString& subkey) override
    {
        return std::find(existingKeys.begin(), existingKeys.end(), subkey) != existingKeys.end();
    }

    std::unique_ptr<RegistryValueNames> OpenLocalMachineKey(const CString& subkey) override
    {
        log_.push_back("OpenLocalMachineKey");
        openedKey = subkey;
        if (!registryKeyExists)
            return nullptr;
        return std::make_unique<Key>(*this);
    }

    void GetPhysicalMemoryStatus(std::uint64_t& total, std::uint64_t& available) override
    {
        log_.push_back("GetPhysicalMemoryStatus");
        total = totalPhysicalBytes;
        available = availablePhysicalBytes;
    }

    CString GetSystemLocaleLanguage() override
    {
        log_.push_back("GetSystemLocaleLanguage");
        return localeLanguage;
    }

    WmiApi& Wmi() override { return wmi; }

    // On a real thread, as the program's, so a hung call is met by the real deadline.
    WaitEnd RunWmiTask(std::function<void(WmiApi&)> task, std::uint32_t milliseconds,
                       const std::function<bool(std::uint32_t elapsedMs)>& waiting) override
    {
        wmiDeadlines.push_back(milliseconds);
        auto worker = std::make_unique<FakeWorker>([this, task = std::move(task)] { task(wmi); });
        constexpr std::uint32_t kSliceMs = 10;
        WaitEnd end = WaitEnd::TimedOut;
        for (std::uint32_t waited = 0; waited < milliseconds; waited += kSliceMs) {
            if (worker->WaitFor(std::min(kSliceMs, milliseconds - waited)))
                return WaitEnd::Finished;
            if (!waiting(waited + kSliceMs)) {
                end = WaitEnd::Stopped;
                break;
            }
        }
        abandoned.push_back(std::move(worker));
        return end;
    }

    // Lets every hung call return and waits for the abandoned tasks to end: only then may a test
    // read what they did to the fake WMI.
    void FinishAbandonedTasks()
    {
        wmi.ReleaseHangs();
        nameCheckGate.Open();
        abandoned.clear();
    }

    // Windows XP Service Pack 3 on two processors, with a Dell computer-system record whose model
    // the caller chooses.
    void ShapeAsWindowsXp(const CString& model)
    {
        version.osVersionInfoSize = 284;
        version.platformId = 2;
        version.majorVersion = 5;
        version.minorVersion = 1;
        version.buildNumber = 2600;
        version.csdVersion = u"Service Pack 3";
        nativeSystem.numberOfProcessors = 2;
        wmi.instances[u"Select * from Win32_ComputerSystem"] = {
            {{u"Manufacturer", FakeWmi::Text(u"Dell Inc.")}, {u"Model", FakeWmi::Text(model)},
             {u"UserName", FakeWmi::Text(u"PC\\user")}}};
    }

    FakeWmi wmi;
    bool nameCheckHangs = false;  // as a share whose server does not answer, until the tasks finish
    FakeGate nameCheckGate;
    std::vector<std::uint32_t> wmiDeadlines;  // one per task started
    std::vector<std::unique_ptr<FakeWorker>> abandoned;
    VersionRecord version;
    SystemRecord system;
    SystemRecord nativeSystem;
    bool versionSucceeds = true;
    bool hasNativeSystemInfo = true;
    // IsWow64Process2's native machine; none where kernel32 has no such function.
    std::optional<std::uint16_t> nativeMachine;
    DisplayColours display;
    CString windowsFolder = u"C:\\WINDOWS";
    // How the program asked Windows to keep its dialogs away: "dialog" or "unattended"; empty
    // before it asked.
    std::string suppressedDialogs;
    // What each disk device answers to the seek-penalty query; the rest answer nothing, as Wine's.
    std::map<CString, SeekPenalty> seekPenalties;
    std::vector<CString> seekPenaltyQueries;
    bool reportCanBeCreated = true;
    std::uint32_t reportCreateError = 5;
    CString currentFolder = u"D:\\";
    // Windows ends its messages with a line break.
    std::map<std::uint32_t, CString> systemMessages = {{5, u"Access is denied.\r\n"},
                                                       {32, u"The process cannot access the file because it "
                                                            u"is being used by another process.\r\n"},
                                                       {112, u"There is not enough space on the disk.\r\n"}};
    // Writes from this one on (counted from 0) fail without writing; -1 never fails.
    int failWritesFrom = -1;
    // The error a report's commit fails with; 0: it succeeds.
    std::uint32_t reportCommitError = 0;
    // The same for every JSON file.
    int jsonFailWritesFrom = -1;
    std::uint32_t jsonCommitError = 0;

    CString reportName;
    FakeFileContents report;

    // Files that can be opened for reading, by path.
    struct StoredFile {
        std::vector<std::uint8_t> bytes;
        std::int64_t reportedLength = -2;  // -2: the real length
        bool readFails = false;
        bool device = false;  // nul, aux, COM1: opens, but is no disk file
    };
    std::map<CString, StoredFile> files;

    int serverR2Metric = 0;
    bool hasProductInfo = true;
    std::uint32_t productType = 0x30;
    CString standardOutput;
    std::string standardOutputBytes;
    std::string standardErrorBytes;
    OutputResult standardOutputResult = OutputResult::Written;
    CString computerName = u"SITE-PC-07";
    // Files whose names end in ".json", by name; every other name is the report above.
    std::map<CString, FakeFileContents> createdFiles;
    std::set<CString> uncreatable;
    std::set<std::pair<CString, CString>> oneFile;

    // The serial-device map: value names in enumeration order. A name that does not fit the
    // caller's buffer gets ERROR_MORE_DATA, as Windows gives it.
    bool registryKeyExists = true;
    // The keys LocalMachineKeyExists finds (the serial map is registryKeyExists alone).
    std::vector<CString> existingKeys;
    std::vector<CString> registryNames;
    // What the outcome's values under HKEY_LOCAL_MACHINE hold, and the order they were set in.
    std::map<CString, CString> writtenValues;
    std::vector<CString> valueOrder;
    std::uint32_t registryWriteError = 0;
    struct Event {
        int type;
        std::uint32_t id;
        std::vector<CString> strings;
    };
    std::vector<Event> events;
    std::uint32_t eventError = 0;
    CString openedKey;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> enumCalls;  // index, capacity given
    bool registryKeyClosed = false;

    std::uint64_t totalPhysicalBytes = 4294967296ull;
    std::uint64_t availablePhysicalBytes = 2147483648ull;
    CString localeLanguage = u"English";

private:
    class Input : public InputFile {
    public:
        explicit Input(const StoredFile& file) : file_(file) {}
        std::int64_t Length() override
        {
            return file_.reportedLength == -2 ? static_cast<std::int64_t>(file_.bytes.size())
                                              : file_.reportedLength;
        }
        bool IsDiskFile() override { return !file_.device; }
        bool ReadAll(std::size_t count, std::vector<std::uint8_t>& bytes) override
        {
            if (file_.readFails || count > file_.bytes.size())
                return false;
            bytes.assign(file_.bytes.begin(), file_.bytes.begin() + static_cast<std::ptrdiff_t>(count));
            return true;
        }

    private:
        const StoredFile& file_;
    };

    class Key : public RegistryValueNames {
    public:
        explicit Key(FakePlatform& platform) : platform_(platform) {}
        ~Key() override { platform_.registryKeyClosed = true; }
        std::int32_t EnumValueName(std::uint32_t index, char16_t* name, std::uint32_t* capacity) override
        {
            platform_.enumCalls.emplace_back(index, *capacity);
            if (index >= platform_.registryNames.size())
                return 259;  // ERROR_NO_MORE_ITEMS
            const CString& value = platform_.registryNames[index];
            if (value.size() + 1 > *capacity)
                return 234;  // ERROR_MORE_DATA
            value.copy(name, value.size());
            name[value.size()] = u'\0';
            *capacity = static_cast<std::uint32_t>(value.size());
            return 0;
        }

    private:
        FakePlatform& platform_;
    };

    class File : public OutputFile {
    public:
        File(FakeFileContents& contents, EventLog& log, int failFrom, std::uint32_t commitError)
            : contents_(contents), log_(log), failFrom_(failFrom), commitError_(commitError)
        {
        }
        bool Commit(std::uint32_t& error) override
        {
            // As the system's: a file a write failed on is never put in place.
            error = writeFailed_ ? kDiskFullError : commitError_;
            contents_.committed = error == 0;
            return contents_.committed;
        }
        CString KeptName() const override { return contents_.keptName; }
        ~File() override
        {
            contents_.closed = true;
            log_.push_back("CloseReportFile");
        }
        bool Write(const std::uint8_t* bytes, std::size_t count) override
        {
            const int index = contents_.writeCalls++;
            if (failFrom_ >= 0 && index >= failFrom_) {
                writeFailed_ = true;
                return false;
            }
            contents_.bytes.insert(contents_.bytes.end(), bytes, bytes + count);
            return true;
        }

    private:
        FakeFileContents& contents_;
        EventLog& log_;
        int failFrom_;
        std::uint32_t commitError_;
        bool writeFailed_ = false;
        static constexpr std::uint32_t kDiskFullError = 112;
    };

    EventLog& log_;
};
