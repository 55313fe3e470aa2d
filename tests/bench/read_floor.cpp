// The floor of the site summary: what any summary of a folder of reports must do and nothing else.
// It walks the folders given as the summary's walk does (one lstat an entry, links not followed),
// reads every report whole on every core, each thread taking the next file found, and reads each
// file named after --also (the earlier summary --since compares with) through the same threads.
// It parses nothing and writes nothing; it prints how many files and bytes it read, so that a
// bench can see it read the same site as the program it is set beside.
//
// Usage: qk-read-floor [--also FILE]... FOLDER-OR-FILE...
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool HasReportName(const std::string& name)
{
    if (name.size() < 4)
        return false;
    std::string suffix = name.substr(name.size() - 4);
    for (char& c : suffix)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return suffix == ".vkh";
}

// The files to read as the walk finds them. The readers start before the walk ends: a summary
// need not wait for the whole listing before its first report, so neither does its floor.
class Queue {
public:
    void Push(std::string path, off_t size)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            files_.push_back({std::move(path), size});
        }
        ready_.notify_one();
    }

    void Close()
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

    // False once the walk has ended and every file found has been taken.
    bool Take(std::string& path, off_t& size)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return next_ < files_.size() || closed_; });
        if (next_ == files_.size())
            return false;
        // Moved out: a million paths are not kept once read.
        path = std::move(files_[next_].path);
        size = files_[next_].size;
        ++next_;
        return true;
    }

private:
    struct File {
        std::string path;
        off_t size;
    };
    std::mutex mutex_;
    std::condition_variable ready_;
    std::vector<File> files_;
    std::size_t next_ = 0;
    bool closed_ = false;
};

struct Totals {
    std::atomic<unsigned long long> files{0};
    std::atomic<unsigned long long> bytes{0};
    std::atomic<unsigned long long> failures{0};
};

// The whole file into `buffer`, sized from what lstat said plus a byte, as the summary reads a
// report (it refuses one that grew past its limit); a larger file, the earlier summary's JSON,
// is read through the same buffer a megabyte at a time, as the summary's own reader streams it.
void ReadWhole(const std::string& path, off_t size, std::vector<char>& buffer, Totals& totals)
{
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        std::fprintf(stderr, "qk-read-floor: %s: %s\n", path.c_str(), std::strerror(errno));
        ++totals.failures;
        return;
    }
    const std::size_t wanted = std::min<std::size_t>(static_cast<std::size_t>(std::max<off_t>(size, 0)) + 1, 1 << 20);
    if (buffer.size() < wanted)
        buffer.resize(wanted);
    unsigned long long read = 0;
    for (;;) {
        const ssize_t got = ::read(file, buffer.data(), wanted);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            std::fprintf(stderr, "qk-read-floor: %s: %s\n", path.c_str(), std::strerror(errno));
            ++totals.failures;
            break;
        }
        if (got == 0)
            break;
        read += static_cast<unsigned long long>(got);
    }
    close(file);
    ++totals.files;
    totals.bytes += read;
}

void Walk(const fs::path& folder, Queue& queue, Totals& totals)
{
    std::error_code error;
    fs::directory_iterator entry(folder, error);
    for (const fs::directory_iterator end; !error && entry != end; entry.increment(error)) {
        const std::string path = entry->path().native();
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0) {
            ++totals.failures;
            continue;
        }
        if (S_ISDIR(info.st_mode))
            Walk(entry->path(), queue, totals);
        else if (S_ISREG(info.st_mode) && HasReportName(entry->path().filename().native()))
            queue.Push(path, info.st_size);
    }
    if (error) {
        std::fprintf(stderr, "qk-read-floor: %s: %s\n", folder.c_str(), error.message().c_str());
        ++totals.failures;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> also, named;
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--also" && i + 1 < argc)
            also.push_back(argv[++i]);
        else
            named.push_back(argv[i]);
    }
    if (named.empty()) {
        std::fprintf(stderr, "usage: qk-read-floor [--also FILE]... FOLDER-OR-FILE...\n");
        return 2;
    }

    Queue queue;
    Totals totals;
    // The earlier summary first: the largest single read, and the one the summary cannot begin
    // without, so the first reader free takes it while the others take reports.
    for (const std::string& path : also) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            std::fprintf(stderr, "qk-read-floor: %s: %s\n", path.c_str(), std::strerror(errno));
            return 2;
        }
        queue.Push(path, info.st_size);
    }

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const auto read = [&] {
        std::vector<char> buffer;
        std::string path;
        off_t size = 0;
        while (queue.Take(path, size))
            ReadWhole(path, size, buffer, totals);
    };
    // One reader a hardware thread; this thread walks, then reads with them.
    std::vector<std::thread> readers;
    for (unsigned reader = 1; reader < cores; ++reader)
        readers.emplace_back(read);
    for (const std::string& path : named) {
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            std::fprintf(stderr, "qk-read-floor: %s: %s\n", path.c_str(), std::strerror(errno));
            ++totals.failures;
        } else if (S_ISDIR(info.st_mode)) {
            Walk(path, queue, totals);
        } else {
            queue.Push(path, info.st_size);
        }
    }
    queue.Close();
    read();
    for (std::thread& reader : readers)
        reader.join();

    std::printf("%llu files, %llu bytes\n", totals.files.load(), totals.bytes.load());
    return totals.failures == 0 ? 0 : 1;
}
