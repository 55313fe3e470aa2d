// Where an output's bytes go. A regular file is written beside its final name and moved into place
// only once it is whole and on the disk, so that last week's summary, the one --since needs next
// week, survives a failure, a kill or a full disk: afterwards the name holds the earlier file or a
// whole new one. What is not a regular file (a pipe, a FIFO, a device the user named on purpose)
// is written straight through and never replaced.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <streambuf>
#include <string>
#include <vector>

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // False once the system refused a write; the reason is in `why`.
    virtual bool Put(const char* data, std::size_t size, std::string& why) = 0;
    // Everything put is on the disk or passed on, and the file is closed.
    virtual bool Finish(std::string& why) = 0;
    // Moves the finished file into place; nothing for one written straight through.
    virtual bool Commit(std::string& why) = 0;
    // Removes what was written beside the final name, if anything was; the final name is not
    // touched. Said again by the destructor.
    virtual void Abandon() = 0;
};

// The seam between the summary and the file system's writes: tests put a file that fails where
// they choose in place of the system's.
class OutputSinks {
public:
    virtual ~OutputSinks() = default;
    // `target` is the name links lead to, never a link itself. `straight`: written through, as it
    // is not a regular file. Null, with the system's reason in `why`, when it cannot be opened.
    virtual std::unique_ptr<OutputSink> Open(const std::filesystem::path& target, bool straight, std::string& why) = 0;
};

OutputSinks& SystemOutputSinks();

// The name a regular output is written under until it is whole: beside its final name, so that the
// move is a rename within one folder, and the process's own, so that two runs at once never write
// into one file. "s.csv" is "s.csv.4711.partial".
std::filesystem::path PartialName(const std::filesystem::path& target, unsigned long process, unsigned attempt);

// An output file as a stream's buffer: the writers write to a std::ostream, a megabyte at a time
// reaches the file. The first failed write sets the stream bad, and nothing more is put.
class OutputBuffer : public std::streambuf {
public:
    explicit OutputBuffer(OutputSink& file);
    // The rest of the buffer put; false when this or an earlier write failed.
    bool Drain();
    const std::string& Why() const { return why_; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* from, std::streamsize count) override;
    int sync() override;

private:
    OutputSink& file_;
    std::vector<char> buffer_;
    bool failed_ = false;
    std::string why_;
};
