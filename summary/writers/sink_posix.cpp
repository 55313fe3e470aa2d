#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>
#include <thread>

#include "summary/writers/sink.h"

namespace fs = std::filesystem;

namespace {

std::string Reason(int error)
{
    return std::generic_category().message(error);
}

// A FIFO opened for writing blocks until some program opens it for reading. Asked without
// blocking, for a while, so that a reader started just after the summary is met, and no run
// waits for ever on one that never comes.
constexpr auto kReaderWait = std::chrono::seconds(10);
constexpr auto kReaderRetry = std::chrono::milliseconds(50);

class PosixOutputSink : public OutputSink {
public:
    ~PosixOutputSink() override { Abandon(); }

    bool Open(const fs::path& target, bool straight, std::string& why)
    {
        target_ = target;
        return straight ? OpenStraight(why) : OpenBeside(why);
    }

    bool Put(const char* data, std::size_t size, std::string& why) override
    {
        while (size != 0) {
            const ssize_t written = write(fd_, data, size);
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                why = Reason(errno);
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    bool Finish(std::string& why) override
    {
        // On the disk before the name is moved: a power cut after the move must not leave the name
        // on an empty file. A share reports a failed write as late as the close.
        if (!partial_.empty() && fsync(fd_) != 0) {
            why = Reason(errno);
            return false;
        }
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0 && errno != EINTR) {
            why = Reason(errno);
            return false;
        }
        return true;
    }

    bool Commit(std::string& why) override
    {
        if (partial_.empty())
            return true;
        if (rename(partial_.c_str(), target_.c_str()) != 0) {
            why = Reason(errno);
            return false;
        }
        partial_.clear();
        // The new name itself on the disk too.
        const fs::path folder = target_.parent_path().empty() ? fs::path(".") : target_.parent_path();
        const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (directory >= 0) {
            fsync(directory);
            close(directory);
        }
        return true;
    }

    void Abandon() override
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
        if (!partial_.empty())
            unlink(partial_.c_str());
        partial_.clear();
    }

private:
    bool OpenStraight(std::string& why)
    {
        const auto until = std::chrono::steady_clock::now() + kReaderWait;
        for (;;) {
            fd_ = open(target_.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
            if (fd_ >= 0)
                break;
            if (errno == EINTR)
                continue;
            if (errno != ENXIO) {
                why = Reason(errno);
                return false;
            }
            if (std::chrono::steady_clock::now() >= until) {
                why = "no program reads from it";
                return false;
            }
            std::this_thread::sleep_for(kReaderRetry);
        }
        // Written at the reader's pace once it is there.
        const int flags = fcntl(fd_, F_GETFL);
        if (flags >= 0)
            fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
        return true;
    }

    bool OpenBeside(std::string& why)
    {
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            const fs::path partial = PartialName(target_, static_cast<unsigned long>(getpid()), attempt);
            fd_ = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
            if (fd_ >= 0) {
                partial_ = partial;
                break;
            }
            // Left by a run of an earlier process that had this one's number: never written into.
            if (errno != EEXIST && errno != EINTR) {
                why = Reason(errno);
                return false;
            }
        }
        if (fd_ < 0) {
            why = Reason(EEXIST);
            return false;
        }
        // The new file keeps what the earlier one allowed: a summary readable by a group stays so.
        struct stat earlier {};
        if (stat(target_.c_str(), &earlier) == 0)
            fchmod(fd_, earlier.st_mode & 07777);
        return true;
    }

    fs::path target_;
    fs::path partial_;  // empty when written straight through or once moved into place
    int fd_ = -1;
};

class PosixOutputSinks : public OutputSinks {
public:
    std::unique_ptr<OutputSink> Open(const fs::path& target, bool straight, std::string& why) override
    {
        auto file = std::make_unique<PosixOutputSink>();
        if (!file->Open(target, straight, why))
            return nullptr;
        return file;
    }
};

}  // namespace

OutputSinks& SystemOutputSinks()
{
    static PosixOutputSinks files;
    return files;
}
