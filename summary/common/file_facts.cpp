#include "summary/common/file_facts.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include "framework/owners.h"
#include "platform/device_names.h"
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#ifdef _WIN32

namespace {

std::string SystemReason(DWORD error)
{
    return std::system_category().message(static_cast<int>(error));
}

}  // namespace

bool NamesADevice(const std::filesystem::path& path)
{
    const std::wstring& name = path.native();
    return NamesADevice(CString(name.begin(), name.end()));
}

namespace {

// What an open handle says of its file, as LookAt says it.
bool FactsOfHandle(HANDLE file, FileFacts& facts)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info)) {
        facts.error = SystemReason(GetLastError());
        return false;
    }
    facts.exists = true;
    facts.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.regular = !facts.directory && GetFileType(file) == FILE_TYPE_DISK;
    facts.identified = true;
    facts.identity = {info.dwVolumeSerialNumber,
                      (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    facts.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    const std::uint64_t ticks =
        (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime;
    // From 100 ns since 1601 to seconds since 1970.
    facts.written = static_cast<std::int64_t>(ticks / 10000000) - 11644473600LL;
    return true;
}

}  // namespace

FileFacts LookAt(const std::filesystem::path& path, bool follow)
{
    FileFacts facts;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        facts.error = SystemReason(GetLastError());
        return facts;
    }
    facts.exists = true;
    facts.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    facts.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (facts.link && !follow)
        return facts;
    // No access asked: a file another program holds open without sharing still tells who it is.
    const UniqueHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!file) {
        facts.exists = GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND;
        facts.error = SystemReason(GetLastError());
        return facts;
    }
    FactsOfHandle(file.Get(), facts);
    return facts;
}


bool ReadRegularFile(const std::filesystem::path& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                     std::string& why, FileFacts& opened)
{
    opened = FileFacts();
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        why = SystemReason(GetLastError());
        return false;
    }
    if (GetFileType(file.Get()) != FILE_TYPE_DISK || !FactsOfHandle(file.Get(), opened) || !opened.regular) {
        why = opened.error.empty() ? std::string("not a regular file") : opened.error;
        return false;
    }
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(opened.size, limit)) + 1);
    std::size_t got = 0;
    for (DWORD now = 0; got < bytes.size(); got += now) {
        const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
        if (!ReadFile(file.Get(), bytes.data() + got, ask, &now, nullptr)) {
            why = SystemReason(GetLastError());
            return false;
        }
        if (now == 0)
            break;
    }
    bytes.resize(got);
    return true;
}

bool ListFolder(const std::filesystem::path& folder, std::vector<ListedEntry>& entries, std::string& why)
{
    std::error_code error;
    std::filesystem::directory_iterator entry(folder, error);
    for (const std::filesystem::directory_iterator end; !error && entry != end; entry.increment(error))
        entries.push_back({entry->path().filename().native(), LookAt(entry->path(), false)});
    if (error)
        why = error.message();
    return !error;
}

#else

bool NamesADevice(const std::filesystem::path& path)
{
    const std::string& name = path.native();
    return name.rfind("/dev/", 0) == 0 || name.rfind("/proc/", 0) == 0;
}

FileFacts LookAt(const std::filesystem::path& path, bool follow)
{
    FileFacts facts;
    struct stat info {};
    if ((follow ? stat(path.c_str(), &info) : lstat(path.c_str(), &info)) != 0) {
        // A link whose target is gone still exists as a link.
        facts.exists = errno != ENOENT && errno != ENOTDIR;
        facts.error = std::generic_category().message(errno);
        return facts;
    }
    facts.exists = true;
    facts.link = S_ISLNK(info.st_mode);
    facts.directory = S_ISDIR(info.st_mode);
    facts.regular = S_ISREG(info.st_mode);
    facts.identified = true;
    facts.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    facts.size = static_cast<std::uint64_t>(info.st_size);
    facts.written = static_cast<std::int64_t>(info.st_mtime);
    return facts;
}


bool ReadRegularFile(const std::filesystem::path& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                     std::string& why, FileFacts& opened)
{
    opened = FileFacts();
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = std::generic_category().message(errno);
        return false;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        why = "not a regular file";
        close(fd);
        return false;
    }
    opened.exists = opened.regular = opened.identified = true;
    opened.identity = {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
    opened.size = static_cast<std::uint64_t>(info.st_size);
    opened.written = static_cast<std::int64_t>(info.st_mtime);
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(opened.size, limit)) + 1);
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t now = read(fd, bytes.data() + got, bytes.size() - got);
        if (now < 0 && errno == EINTR)
            continue;
        if (now < 0) {
            why = std::generic_category().message(errno);
            close(fd);
            return false;
        }
        if (now == 0)
            break;
        got += static_cast<std::size_t>(now);
    }
    close(fd);
    bytes.resize(got);
    return true;
}

bool ListFolder(const std::filesystem::path& folder, std::vector<ListedEntry>& entries, std::string& why)
{
    DIR* listing = opendir(folder.c_str());
    if (listing == nullptr) {
        why = std::generic_category().message(errno);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(listing);
        if (entry == nullptr)
            break;
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        ListedEntry listed{std::string(name), FileFacts()};
        FileFacts& facts = listed.itself;
        switch (entry->d_type) {
        case DT_REG: facts.exists = facts.regular = true; break;
        case DT_DIR: facts.exists = facts.directory = true; break;
        case DT_LNK: facts.exists = facts.link = true; break;
        case DT_UNKNOWN: facts = LookAt(folder / listed.name, false); break;
        default: facts.exists = true; break;  // a FIFO, a socket, a device: no regular file
        }
        entries.push_back(std::move(listed));
    }
    const int error = errno;
    closedir(listing);
    if (error != 0)
        why = std::generic_category().message(error);
    return error == 0;
}
#endif
