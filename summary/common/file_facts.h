// What the walk needs to know of a file, asked of the system itself: the standard library cannot
// tell a Windows junction or directory link from a folder, nor two names of one file apart.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

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
    bool identified = false;  // identity, size and time were asked; a listing gives the kind alone

    // The system told who the file is: only then do two identities mean one file.
    bool Known() const { return exists && error.empty() && identified; }
};

// A name that is a device's, whatever is there ("/dev/...", "/proc/..."; on Windows "NUL",
// "COM1", "\\.\pipe\..."): an output named so is the user's choice of where the bytes go, written
// straight to it; looking at one may open it.
bool NamesADevice(const std::filesystem::path& path);

// Reads the file into `bytes` (their room kept from one call to the next): at most `limit` bytes
// and one more, so that a file larger than the limit is seen to be. False, with the system's
// reason, when it cannot be read or is, once opened, no regular file: it is opened so that a FIFO
// put in its place cannot make the reader wait. `opened` is what the system says of the file
// opened: its identity, size and time, asked once with the reading.
bool ReadRegularFile(const std::filesystem::path& path, std::size_t limit, std::vector<std::uint8_t>& bytes,
                     std::string& why, FileFacts& opened);

// One entry of a folder's listing: its own name and what is known of it, a link as a link.
struct ListedEntry {
    std::filesystem::path::string_type name;
    FileFacts itself;
};
// The folder's entries. On Linux the listing gives each entry's kind, and nothing more is asked of
// a report until it is read (a site of 200,000 reports spent a fifth of its time asking each
// twice); on Windows each entry is looked at, as a junction is told from a folder only so. False,
// with the system's reason, when the listing failed (what was listed before is kept).
bool ListFolder(const std::filesystem::path& folder, std::vector<ListedEntry>& entries, std::string& why);

// The path itself, a link as a link (`follow` false), or what it leads to (`follow` true).
FileFacts LookAt(const std::filesystem::path& path, bool follow);
