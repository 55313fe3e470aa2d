// What a run was told by the PC, recorded as it goes, so that a wrong verdict on a real machine
// becomes a test: the capture replays in the native suite (tests/fakes/capture_replay.h) to the
// report the run wrote. The platform's answers pass through unchanged; only the record is kept.
#pragma once

#include <memory>
#include <atomic>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "report/run_results.h"

// The first line of every capture, and its format's number.
inline constexpr const char* kCaptureHeader = "quor-kelvra capture 1";

// The user name as a capture keeps it: the user's own name replaced, the verdict the same (the
// rule reads only whether an account prefix follows the backslash). Empty stays empty.
CString CapturedUserName(const CString& userName);

// A text value in a capture: in double quotes, with \", \\ and \uXXXX for every unit outside
// printable ASCII, so a capture is one line per answer whatever the PC said.
std::string CaptureQuoted(const CString& text);

class CapturingPlatform : public Platform {
public:
    // `keepUser`: the user name as the PC gave it (/capture-user), not replaced.
    CapturingPlatform(Platform& inner, bool keepUser);

    // The capture: every answer, in the order given, then the report the run wrote.
    std::string Text(const RunResults& results) const;

    bool GetVersionRecord(VersionRecord& record) override;
    bool GetNativeSystemRecord(SystemRecord& record) override;
    void GetSystemRecord(SystemRecord& record) override;
    bool GetNativeMachine(std::uint16_t& machine) override;
    void SuppressSystemDialogs(bool unattended) override { inner_.SuppressSystemDialogs(unattended); }
    void StopWaitingOutHolds() override { inner_.StopWaitingOutHolds(); }
    void MakePoliteLiveRegion(std::uintptr_t window) override { inner_.MakePoliteLiveRegion(window); }
    CString WindowsFolder() override;
    SeekPenalty QuerySeekPenalty(const CString& device) override;
    std::unique_ptr<OutputFile> CreateReportFile(const CString& name, std::uint32_t& error) override
    {
        return inner_.CreateReportFile(name, error);
    }
    bool NamesOneFile(const CString& first, const CString& second) override { return inner_.NamesOneFile(first, second); }
    CString CurrentFolder() override { return inner_.CurrentFolder(); }
    CString SystemErrorMessage(std::uint32_t error) override { return inner_.SystemErrorMessage(error); }
    std::unique_ptr<InputFile> OpenFileForReading(const CString& path) override { return inner_.OpenFileForReading(path); }
    int GetSystemMetric(int index) override;
    DisplayColours GetDisplayColours() override { return inner_.GetDisplayColours(); }
    bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t& productType) override;
    void WriteStandardOutput(const CString& text) override { inner_.WriteStandardOutput(text); }
    OutputResult WriteStandardOutputBytes(const std::string& bytes) override { return inner_.WriteStandardOutputBytes(bytes); }
    OutputResult WriteStandardErrorBytes(const std::string& bytes) override { return inner_.WriteStandardErrorBytes(bytes); }
    CString ComputerName() override { return inner_.ComputerName(); }
    bool LocalMachineKeyExists(const CString& subkey) override;
    std::unique_ptr<RegistryValueNames> OpenLocalMachineKey(const CString& subkey) override;
    bool SetLocalMachineValues(const CString& subkey, const std::vector<CString>& removed,
                               const std::vector<std::pair<CString, CString>>& values, std::uint32_t& error) override
    {
        return inner_.SetLocalMachineValues(subkey, removed, values, error);
    }
    CString UtcTimeNow() override { return inner_.UtcTimeNow(); }
    bool WriteEvent(const CString& source, int type, std::uint32_t id, const std::vector<CString>& strings,
                    std::uint32_t& error) override
    {
        return inner_.WriteEvent(source, type, id, strings, error);
    }
    CString ProgramPath() override { return inner_.ProgramPath(); }
    void GetPhysicalMemoryStatus(std::uint64_t& totalBytes, std::uint64_t& availableBytes) override;
    CString GetSystemLocaleLanguage() override;
    WmiApi& Wmi() override { return inner_.Wmi(); }
    WaitEnd RunWmiTask(std::function<void(WmiApi&)> task, std::uint32_t milliseconds,
                       const std::function<bool(std::uint32_t elapsedMs)>& waiting) override;

    // The lines recorded, shared with the WMI tasks, which add theirs from their own threads and
    // may outlive the run (a task abandoned at its deadline).
    // A spin lock, not a mutex: the Windows build has no threading runtime, and each line is a
    // moment's work.
    struct Record {
        void Add(std::string line);
        std::vector<std::string> Lines();
        std::atomic_flag busy = ATOMIC_FLAG_INIT;
        std::vector<std::string> lines;
    };

private:
    void Add(std::string line) { record_->Add(std::move(line)); }

    Platform& inner_;
    const bool keepUser_;
    std::shared_ptr<Record> record_ = std::make_shared<Record>();
    int sequence_ = -1;  // the WMI task under way, numbered from 0 as they start
};
