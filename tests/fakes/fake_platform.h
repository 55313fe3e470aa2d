// A platform made of fixed facts, which can fail at any step and records what it was asked, in
// order, into a log it may share with the other fakes.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

using EventLog = std::vector<std::string>;

// What a fake report file received, kept after the file object is gone.
struct FakeFileContents {
    std::vector<std::uint8_t> bytes;
    int writeCalls = 0;
    bool closed = false;
};

class FakePlatform : public Platform {
public:
    explicit FakePlatform(EventLog& log) : log_(log) {}

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

    std::unique_ptr<OutputFile> CreateReportFile(const CString& name) override
    {
        log_.push_back("CreateReportFile");
        reportName = name;
        if (!reportCanBeCreated)
            return nullptr;
        return std::make_unique<File>(report, log_, failWritesFrom);
    }

    VersionRecord version;
    SystemRecord system;
    SystemRecord nativeSystem;
    bool versionSucceeds = true;
    bool hasNativeSystemInfo = true;
    bool reportCanBeCreated = true;
    // Writes from this one on (counted from 0) fail without writing; -1 never fails.
    int failWritesFrom = -1;

    CString reportName;
    FakeFileContents report;

private:
    class File : public OutputFile {
    public:
        File(FakeFileContents& contents, EventLog& log, int failFrom)
            : contents_(contents), log_(log), failFrom_(failFrom)
        {
        }
        ~File() override
        {
            contents_.closed = true;
            log_.push_back("CloseReportFile");
        }
        bool Write(const std::uint8_t* bytes, std::size_t count) override
        {
            const int index = contents_.writeCalls++;
            if (failFrom_ >= 0 && index >= failFrom_)
                return false;
            contents_.bytes.insert(contents_.bytes.end(), bytes, bytes + count);
            return true;
        }

    private:
        FakeFileContents& contents_;
        EventLog& log_;
        int failFrom_;
    };

    EventLog& log_;
};
