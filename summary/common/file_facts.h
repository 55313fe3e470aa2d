// What the walk needs to know of a file, asked of the system itself: the standard library cannot
// tell a Windows junction or directory link from a folder, nor two names of one file apart.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

struct FileFacts {
    bool exists = false;
    bool directory = false;
    bool link = false;  // a symbolic link, or on Windows any reparse point (a junction, a mount point)
    // A file whose bytes stay put: not a folder, a FIFO, a socket or a device, which opening and
    // reading could wait on for ever or take from another program.
    bool regular = false;
    // The same file or folder by any name (a link, "./", another case) has the same identity.
    std::pair<std::uint64_t, std::uint64_t> identity{};
    std::int64_t written = 0;  // modification time, seconds since 1970, UTC
    std::uint64_t size = 0;
    std::string error;  // the system's reason when the file could not be looked at

    // The system told who the file is: only then do two identities mean one file.
    bool Known() const { return exists && error.empty(); }
};

// A name that is a device's, whatever is there ("/dev/...", "/proc/..."; on Windows "NUL",
// "COM1", "\\.\pipe\..."): an output named so is the user's choice of where the bytes go, written
// straight to it; looking at one may open it.
bool NamesADevice(const std::filesystem::path& path);

// The path itself, a link as a link (`follow` false), or what it leads to (`follow` true).
FileFacts LookAt(const std::filesystem::path& path, bool follow);
