#include <windows.h>

#include <system_error>

#include "framework/owners.h"
#include "summary/writers/sink.h"

namespace fs = std::filesystem;

namespace {

std::string Reason(DWORD error)
{
    return std::system_category().message(static_cast<int>(error));
}

// A program that holds the earlier file for a moment (an antivirus scanning it, the indexer, a
// spreadsheet opening it) keeps it from being replaced: waited out this long.
constexpr DWORD kHoldWaitMs = 2000;
constexpr DWORD kHoldRetryMs = 50;

class Win32OutputSink : public OutputSink {
public:
    ~Win32OutputSink() override { Abandon(); }

    bool Open(const fs::path& target, bool straight, std::string& why)
    {
        target_ = target;
        if (straight) {
            file_.Reset(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file_)
                why = Reason(GetLastError());
            return static_cast<bool>(file_);
        }
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            const fs::path partial = PartialName(target, GetCurrentProcessId(), attempt);
            file_.Reset(CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
            if (file_) {
                partial_ = partial;
                return true;
            }
            // Left by an earlier process that had this one's number: never written into.
            if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
                why = Reason(GetLastError());
                return false;
            }
        }
        why = Reason(ERROR_FILE_EXISTS);
        return false;
    }

    bool Put(const char* data, std::size_t size, std::string& why) override
    {
        while (size != 0) {
            const DWORD now = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
            DWORD written = 0;
            if (!WriteFile(file_.Get(), data, now, &written, nullptr) || written == 0) {
                why = Reason(GetLastError());
                return false;
            }
            data += written;
            size -= written;
        }
        return true;
    }

    bool Finish(std::string& why) override
    {
        // On the disk before the name is moved: a power cut after the move must not leave the name
        // on an empty file.
        if (!partial_.empty() && !FlushFileBuffers(file_.Get())) {
            why = Reason(GetLastError());
            return false;
        }
        file_.Reset();
        return true;
    }

    bool Commit(std::string& why) override
    {
        if (partial_.empty())
            return true;
        const DWORD start = GetTickCount();
        while (!MoveFileExW(partial_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            const DWORD error = GetLastError();
            const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED || error == ERROR_LOCK_VIOLATION;
            if (!held || GetTickCount() - start >= kHoldWaitMs) {
                why = Reason(error);
                return false;
            }
            Sleep(kHoldRetryMs);
        }
        partial_.clear();
        return true;
    }

    void Abandon() override
    {
        file_.Reset();
        if (!partial_.empty())
            DeleteFileW(partial_.c_str());
        partial_.clear();
    }

private:
    fs::path target_;
    fs::path partial_;  // empty when written straight through or once moved into place
    UniqueHandle file_;
};

class Win32OutputSinks : public OutputSinks {
public:
    std::unique_ptr<OutputSink> Open(const fs::path& target, bool straight, std::string& why) override
    {
        auto file = std::make_unique<Win32OutputSink>();
        if (!file->Open(target, straight, why))
            return nullptr;
        return file;
    }
};

}  // namespace

OutputSinks& SystemOutputSinks()
{
    static Win32OutputSinks files;
    return files;
}
