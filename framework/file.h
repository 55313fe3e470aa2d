// A file handle owner with the open modes the program uses. Failures are results, never exceptions.
#pragma once

#include <windows.h>

#include <cstdint>

#include "framework/owners.h"
#include "text/text.h"

class CFile {
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeCreate = 0x1000,
        // Creates only: ERROR_FILE_EXISTS when the name is there, which is never truncated.
        modeCreateNew = 0x2000,
        // Shared for being moved only: the file can be put in place under its final name while this
        // handle holds it against every other reader and writer.
        modeMovable = 0x4000,
    };

    // modeCreate truncates or creates; without it the file must exist. The file is never shared
    // but as modeMovable says.
    bool Open(const CString& name, UINT flags);
    bool Write(const void* bytes, DWORD count);
    // The number of bytes read, or -1 when the read failed.
    std::int64_t Read(void* bytes, DWORD count);
    // The length in bytes, or -1 when it cannot be read.
    std::int64_t GetLength() const;
    // GetFileType: FILE_TYPE_DISK for a file on a disk; FILE_TYPE_UNKNOWN when not open.
    DWORD GetFileType() const;
    // FlushFileBuffers: what was written is on the disk, not only in the system's cache.
    bool Flush();
    void Close();
    bool IsOpen() const { return static_cast<bool>(m_file); }

private:
    UniqueHandle m_file;
};
