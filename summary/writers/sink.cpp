#include "summary/writers/sink.h"

#include <algorithm>
#include <string>

namespace fs = std::filesystem;

fs::path PartialName(const fs::path& target, unsigned long process, unsigned attempt)
{
    const std::string suffix =
        "." + std::to_string(process) + (attempt == 0 ? std::string() : "-" + std::to_string(attempt)) + ".partial";
    fs::path partial = target;
    // A name that would pass the 255 characters a folder entry may hold gets a short one instead.
    if (target.filename().native().size() + suffix.size() > 255)
        partial.replace_filename("~qk" + suffix);
    else
        partial += suffix;
    return partial;
}

OutputBuffer::OutputBuffer(OutputSink& file) : file_(file), buffer_(1 << 20)
{
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool OutputBuffer::Drain()
{
    const std::size_t size = static_cast<std::size_t>(pptr() - pbase());
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    if (!failed_ && size != 0 && !file_.Put(buffer_.data(), size, why_))
        failed_ = true;
    return !failed_;
}

OutputBuffer::int_type OutputBuffer::overflow(int_type c)
{
    if (!Drain())
        return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

std::streamsize OutputBuffer::xsputn(const char* from, std::streamsize count)
{
    std::streamsize done = 0;
    while (done < count && !failed_) {
        const std::streamsize room = epptr() - pptr();
        if (room == 0) {
            if (!Drain())
                break;
            continue;
        }
        const std::streamsize now = std::min(room, count - done);
        std::copy(from + done, from + done + now, pptr());
        pbump(static_cast<int>(now));
        done += now;
    }
    return done;
}

int OutputBuffer::sync()
{
    return Drain() ? 0 : -1;
}
