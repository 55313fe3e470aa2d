// The seam between the program's logic and Windows. Implementations pass back what Windows said and
// decide nothing; the Win32 one is the only real one, tests use fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/text.h"
#include "platform/records.h"

// A file opened for writing. Closed when the object is destroyed.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    // One write call; true only when every byte was written.
    virtual bool Write(const std::uint8_t* bytes, std::size_t count) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // GetVersionExW on a zeroed OSVERSIONINFOEXW whose size field is 284.
    virtual bool GetVersionRecord(VersionRecord& record) = 0;
    // GetNativeSystemInfo when kernel32 exports it; false (record untouched) when it does not.
    virtual bool GetNativeSystemRecord(SystemRecord& record) = 0;
    virtual void GetSystemRecord(SystemRecord& record) = 0;

    // Created or truncated, write-only, not shared. Null when it cannot be created.
    virtual std::unique_ptr<OutputFile> CreateReportFile(const CString& name) = 0;
};
