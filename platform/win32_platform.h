// The real platform: every call into Windows that the logic needs.
#pragma once

#include <atomic>

#include "platform/platform.h"
#include "platform/win32_wmi.h"

class Win32Platform : public Platform {
public:
    bool GetVersionRecord(VersionRecord& record) override;
    bool GetNativeSystemRecord(SystemRecord& record) override;
    void GetSystemRecord(SystemRecord& record) override;
    bool GetNativeMachine(std::uint16_t& machine) override;
    void SuppressSystemDialogs(bool unattended) override;
    void StopWaitingOutHolds() override;
    void MakePoliteLiveRegion(std::uintptr_t window) override;
    CString WindowsFolder() override;
    SeekPenalty QuerySeekPenalty(const CString& device) override;
    std::unique_ptr<OutputFile> CreateReportFile(const CString& name, std::uint32_t& error) override;
    bool NamesOneFile(const CString& first, const CString& second) override;
    CString CurrentFolder() override;
    CString SystemErrorMessage(std::uint32_t error) override;
    std::unique_ptr<InputFile> OpenFileForReading(const CString& path) override;
    int GetSystemMetric(int index) override;
    DisplayColours GetDisplayColours() override;
    bool GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t& productType) override;
    void WriteStandardOutput(const CString& text) override;
    OutputResult WriteStandardOutputBytes(const std::string& bytes) override;
    OutputResult WriteStandardErrorBytes(const std::string& bytes) override;
    CString ComputerName() override;
    bool LocalMachineKeyExists(const CString& subkey) override;
    std::unique_ptr<RegistryValueNames> OpenLocalMachineKey(const CString& subkey) override;
    bool SetLocalMachineValues(const CString& subkey, const std::vector<CString>& removed,
                               const std::vector<std::pair<CString, CString>>& values, std::uint32_t& error) override;
    CString UtcTimeNow() override;
    bool WriteEvent(const CString& source, int type, std::uint32_t id, const std::vector<CString>& strings,
                    std::uint32_t& error) override;
    CString ProgramPath() override;
    void GetPhysicalMemoryStatus(std::uint64_t& totalBytes, std::uint64_t& availableBytes) override;
    CString GetSystemLocaleLanguage() override;
    WmiApi& Wmi() override { return wmi_; }
    WaitEnd RunWmiTask(std::function<void(WmiApi&)> task, std::uint32_t milliseconds,
                       const std::function<bool(std::uint32_t elapsedMs)>& waiting) override;

private:
    Win32WmiApi wmi_;
    std::atomic<bool> stopHoldWaits_{false};
};

// The one instance the program uses.
Win32Platform& SystemPlatform();
