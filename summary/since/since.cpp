#include "summary/since/since.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <system_error>

#include "summary/common/utf8.h"

namespace {

// A path longer than this is no path of a report (Windows allows 32,767 characters).
constexpr std::size_t kMaxPathBytes = 1 << 17;
constexpr std::size_t kMaxPreviousPcs = 50000000;
// Deeper than any summary of ours nests (an item is five levels down).
constexpr int kMaxDepth = 16;
// Longer than any key or label the reader looks for: such a text is read past.
constexpr std::size_t kMaxNameBytes = 64;
// The date a summary of ours writes is 20 bytes; a longer one is no date it wrote.
constexpr std::size_t kMaxDateBytes = 64;
// The most bytes one step of the reader looks at: a \u escape and the one after it.
constexpr std::size_t kLookAhead = 16;

const char* const kNotOurs = "is not a summary written by quor-kelvra-summary --json";

const std::array<std::string, kResultItemCount>& LabelTexts()
{
    static const std::array<std::string, kResultItemCount> labels = [] {
        std::array<std::string, kResultItemCount> made;
        for (std::size_t item = 0; item < kResultItemCount; ++item)
            made[item] = ToUtf8(kResultRows[item].label);
        return made;
    }();
    return labels;
}

// `expected` first: a summary of ours lists every PC's items in the same order.
int ItemOfLabel(std::string_view label, std::size_t expected)
{
    const auto& labels = LabelTexts();
    if (expected < kResultItemCount && labels[expected] == label)
        return static_cast<int>(expected);
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        if (labels[item] == label)
            return static_cast<int>(item);
    }
    return -1;
}

// Windows' upper case of a letter whose UTF-8 takes two bytes (U+0080 to U+07FF), always another of
// two bytes: Latin-1, Latin Extended-A, Greek and Cyrillic. Letters without a single upper case
// ('ß', 'ŉ', 'ΐ') stay themselves, and so do those Windows does not fold to an ASCII letter or
// across alphabets ('ı', 'ſ', 'µ').
std::uint32_t UpperOfTwoByteLetter(std::uint32_t c)
{
    const auto odd = [c] { return (c & 1) != 0; };
    if (c < 0x100)
        return (c >= 0xE0 && c <= 0xFE && c != 0xF7) ? c - 0x20 : c == 0xFF ? 0x178 : c;
    if (c < 0x180) {
        // Pairs, the capital first: even capitals, then odd ones from U+0139 and from U+0179.
        if (c <= 0x12F || (c >= 0x132 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
            return odd() ? c - 1 : c;
        if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
            return odd() ? c : c - 1;
        return c;
    }
    if (c >= 0x370 && c < 0x400) {
        if (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2)
            return c - 0x20;
        switch (c) {
        case 0x371: case 0x373: case 0x377: return c - 1;
        case 0x37B: case 0x37C: case 0x37D: return c + 0x82;
        case 0x3AC: return 0x386;
        case 0x3AD: case 0x3AE: case 0x3AF: return c - 0x25;
        case 0x3C2: return 0x3A3;  // final sigma
        case 0x3CC: return 0x38C;
        case 0x3CD: case 0x3CE: return c - 0x3F;
        case 0x3D0: return 0x392;
        case 0x3D1: return 0x398;
        case 0x3D5: return 0x3A6;
        case 0x3D6: return 0x3A0;
        case 0x3D7: return 0x3CF;
        case 0x3F0: return 0x39A;
        case 0x3F1: return 0x3A1;
        case 0x3F2: return 0x3F9;
        case 0x3F5: return 0x395;
        case 0x3F8: return 0x3F7;
        case 0x3FB: return 0x3FA;
        default: break;
        }
        return c >= 0x3D8 && c <= 0x3EF && odd() ? c - 1 : c;
    }
    if (c >= 0x400 && c < 0x500) {
        if (c >= 0x430 && c <= 0x44F)
            return c - 0x20;
        if (c >= 0x450 && c <= 0x45F)
            return c - 0x50;
        if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || c >= 0x4D0)
            return odd() ? c - 1 : c;
        if (c >= 0x4C1 && c <= 0x4CE)
            return odd() ? c : c - 1;
        return c == 0x4CF ? 0x4C0 : c;
    }
    return c;
}

void AppendPcKey(std::string& key, std::string_view path)
{
    key.reserve(key.size() + path.size());
    for (std::size_t i = 0; i < path.size();) {
        const unsigned char byte = static_cast<unsigned char>(path[i]);
        if (byte < 0x80) {
            key += byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte == '\\' ? '/' : static_cast<char>(byte);
            ++i;
            continue;
        }
        const auto [point, length] = DecodeUtf8(path, i);
        if (length == 0) {
            key += "\xEF\xBF\xBD";  // as the JSON writer puts it for a byte that is no UTF-8
            ++i;
            continue;
        }
        if (length == 2)
            AppendUtf8(key, UpperOfTwoByteLetter(point));
        else
            key.append(path.substr(i, length));
        i += length;
    }
}

// Where the reader puts a string it reads: into `text` up to `limit` bytes, or nowhere. Its whole
// length is counted either way.
struct Sink {
    std::string* text = nullptr;
    std::size_t limit = 0;
    std::size_t length = 0;

    bool Over() const { return length > limit; }
    void Add(const char* from, std::size_t count)
    {
        length += count;
        if (text != nullptr && length <= limit)
            text->append(from, count);
    }
};

// The bytes a string holds as they stand: neither its end, an escape, a control character (which
// JSON forbids raw) nor a byte of a UTF-8 sequence, which is checked on its own. And the blanks
// JSON allows between its tokens.
struct ByteKinds {
    bool plain[256] = {};
    bool blank[256] = {};
    constexpr ByteKinds()
    {
        for (int byte = 0x20; byte < 0x80; ++byte)
            plain[byte] = byte != '"' && byte != '\\';
        for (const unsigned char byte : {' ', '\n', '\r', '\t'})
            blank[byte] = true;
    }
};
constexpr ByteKinds kByteKinds;

bool IsPlain(unsigned char byte)
{
    return kByteKinds.plain[byte];
}

constexpr std::uint64_t kOnes = 0x0101010101010101ull;
constexpr std::uint64_t kHigh = 0x8080808080808080ull;

// The high bit of each of eight bytes that is no plain byte of a string; exact for the first such
// byte, which is what is looked for (a borrow may mark the bytes after it too).
std::uint64_t NotPlain(std::uint64_t bytes)
{
    const std::uint64_t quote = bytes ^ (kOnes * '"');
    const std::uint64_t backslash = bytes ^ (kOnes * '\\');
    return (bytes | ((quote - kOnes) & ~quote) | ((backslash - kOnes) & ~backslash) | ((bytes - kOnes * 0x20) & ~bytes)) &
           kHigh;
}

// Where the first of eight bytes whose mark is set lies, in memory order, a byte's mark being
// exact only for the first: -1 where a word's byte order is not known, to look byte by byte.
int FirstMarkedByte(std::uint64_t marks)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_ctzll(marks) >> 3;
#else
    (void)marks;
    return -1;
#endif
}

// Where the plain run of a string that starts at `from` ends, `to` at the latest: eight bytes at
// a time, as a value may be half a megabyte.
const char* PlainRunEnd(const char* from, const char* to)
{
    while (to - from >= 8) {
        std::uint64_t bytes;
        std::memcpy(&bytes, from, 8);
        const std::uint64_t notPlain = NotPlain(bytes);
        if (notPlain != 0) {
            const int first = FirstMarkedByte(notPlain);
            if (first < 0)
                break;
            return from + first;
        }
        from += 8;
    }
    while (from < to && IsPlain(static_cast<unsigned char>(*from)))
        ++from;
    return from;
}

// A key against one of ours, of a length known where it is compared.
template <std::size_t N>
bool Is(std::string_view key, const char (&word)[N])
{
    return key.size() == N - 1 && std::memcmp(key.data(), word, N - 1) == 0;
}

int HexValue(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// A summary's JSON read in blocks and checked as strictly as any JSON parser would, keeping only
// what a comparison needs: a summary of a million PCs is a gigabyte of text, and what is not kept
// (values, unknown keys, whatever an edit added) is read past without a copy.
class SummaryReader {
public:
    SummaryReader(std::istream& in, std::size_t blockBytes, PreviousSummary& previous)
        : in_(in), capacity_(std::max<std::size_t>(blockBytes, 1) + kLookAhead), buffer_(new char[capacity_]),
          p_(buffer_.get()), end_(buffer_.get()), previous_(previous), texts_(std::make_shared<PcTexts>())
    {
    }

    bool Read()
    {
        // A byte-order mark, as an editor may leave at the start.
        if (Fill(3) && std::memcmp(p_, "\xEF\xBB\xBF", 3) == 0)
            p_ += 3;
        const int first = Next();
        if (first != '{') {
            // Well-formed JSON of another shape is someone else's file; anything else is no JSON.
            if (first < 0 || !SkipValue(0) || !AtEnd())
                return Broken();
            return NotOurs();
        }
        ++p_;
        if (!Members(1, [this](std::string_view key) { return DocumentMember(key); }))
            return false;
        if (!AtEnd())
            return Broken();
        return Finish();
    }

    std::string problem;

private:
    enum class Said { False, True, Null };
    struct Document {
        bool program = false, format = false, date = false, reports = false, totals = false;
    };
    // The entry of "reports" being read.
    struct Entry {
        bool pc = false, report = false, fit = false, items = false;
        Fitness fitness = Fitness::Unfit;
        std::array<ItemVerdict, kResultItemCount> verdicts{};
        std::size_t itemsRead = 0;
    };
    struct Item {
        bool label = false, pass = false, error = false;
        int index = -1;
        Said passed = Said::Null;
        bool judgedOnError = false;
    };

    // At least `want` bytes (at most kLookAhead) from p_ on, unless the file ends first.
    bool Fill(std::size_t want)
    {
        if (static_cast<std::size_t>(end_ - p_) >= want)
            return true;
        const std::size_t left = static_cast<std::size_t>(end_ - p_);
        offset_ += static_cast<std::uint64_t>(p_ - buffer_.get());
        std::memmove(buffer_.get(), p_, left);
        p_ = buffer_.get();
        end_ = p_ + left;
        while (!ended_ && static_cast<std::size_t>(end_ - p_) < want) {
            in_.read(buffer_.get() + (end_ - p_), static_cast<std::streamsize>(capacity_ - static_cast<std::size_t>(end_ - p_)));
            const std::streamsize got = in_.gcount();
            end_ += got;
            if (!in_ || got == 0)
                ended_ = true;
        }
        return static_cast<std::size_t>(end_ - p_) >= want;
    }

    // The next byte after white space, not taken; -1 at the end.
    int Next()
    {
        for (;;) {
            while (p_ < end_) {
                const unsigned char c = static_cast<unsigned char>(*p_);
                if (!kByteKinds.blank[c])
                    return c;
                ++p_;
                // A summary indents each line by spaces: a run of them at once.
                if (c == '\n' && end_ - p_ >= 8) {
                    std::uint64_t bytes;
                    std::memcpy(&bytes, p_, 8);
                    const std::uint64_t notSpace = bytes ^ (kOnes * ' ');
                    const int first = notSpace == 0 ? 8 : FirstMarkedByte(notSpace);
                    p_ += first > 0 ? first : 0;
                }
            }
            if (!Fill(1))
                return -1;
        }
    }
    int Peek() { return p_ < end_ || Fill(1) ? static_cast<unsigned char>(*p_) : -1; }
    bool AtEnd() { return Next() < 0; }

    std::uint64_t Offset() const { return offset_ + static_cast<std::uint64_t>(p_ - buffer_.get()); }

    bool Broken()
    {
        if (problem.empty())
            problem = in_.bad() ? std::string("cannot be read: the read failed")
                                : "is truncated or no JSON (at byte " + std::to_string(Offset()) + ")";
        return false;
    }
    bool Fail(std::string why)
    {
        if (problem.empty())
            problem = std::move(why);
        return false;
    }
    bool NotOurs() { return Fail(kNotOurs); }

    // The members of the object whose '{' was just taken, each key handed to `member`, which reads
    // its value.
    template <typename Member>
    bool Members(int depth, Member member)
    {
        if (depth > kMaxDepth)
            return NotOurs();
        int c = Next();
        if (c == '}') {
            ++p_;
            return true;
        }
        for (;;) {
            if (c != '"')
                return Broken();
            ++p_;
            std::string_view key;
            if (!ShortText(key_, key))
                return false;
            if (p_ == end_ || *p_ != ':') {
                // The block the key lies in may move on before the colon.
                if (!key.empty() && key.data() != key_.data())
                    key = key_.assign(key.data(), key.size());
                if (Next() != ':')
                    return Broken();
            }
            ++p_;
            // Each member looks at its key before it reads its value, which may move the block.
            if (!member(key))
                return false;
            c = Next();
            if (c == '}') {
                ++p_;
                return true;
            }
            if (c != ',')
                return Broken();
            ++p_;
            c = Next();
        }
    }

    // The elements of the array whose '[' was just taken, each read by `element`.
    template <typename Element>
    bool Elements(int depth, Element element)
    {
        if (depth > kMaxDepth)
            return NotOurs();
        if (Next() == ']') {
            ++p_;
            return true;
        }
        for (;;) {
            if (!element())
                return false;
            const int c = Next();
            if (c == ']') {
                ++p_;
                return true;
            }
            if (c != ',')
                return Broken();
            ++p_;
        }
    }

    // Any value, checked and forgotten; `depth` is that of what holds it.
    bool SkipValue(int depth)
    {
        switch (Next()) {
        case '{':
            ++p_;
            return Members(depth + 1, [this, depth](std::string_view) { return SkipValue(depth + 1); });
        case '[':
            ++p_;
            return Elements(depth + 1, [this, depth] { return SkipValue(depth + 1); });
        case '"': {
            ++p_;
            Sink nowhere;
            return String(nowhere);
        }
        case 't': return Word("true");
        case 'f': return Word("false");
        case 'n': return Word("null");
        default: return Number(nullptr, nullptr);
        }
    }

    template <std::size_t N>
    bool Word(const char (&word)[N])
    {
        if (!Fill(N - 1) || std::memcmp(p_, word, N - 1) != 0)
            return Broken();
        p_ += N - 1;
        return true;
    }

    // true, false or null as a verdict; a value of another kind is no verdict of ours.
    bool Verdict(Said& said)
    {
        switch (Next()) {
        case 't': said = Said::True; return Word("true");
        case 'f': said = Said::False; return Word("false");
        case 'n': said = Said::Null; return Word("null");
        default: return NotOurs();
        }
    }

    // A number as JSON writes one. `digits` gets its integer part's first digits and `integer`
    // whether it has neither fraction nor exponent, where they are asked for.
    bool Number(std::string* digits, bool* integer)
    {
        const auto digit = [this] {
            const int c = Peek();
            return c >= '0' && c <= '9';
        };
        const auto keep = [&](char c) {
            if (digits != nullptr && digits->size() < 24)
                *digits += c;
        };
        if (Peek() == '-') {
            keep('-');
            ++p_;
        }
        if (!digit())
            return Broken();
        if (*p_ == '0') {
            keep('0');
            ++p_;
        } else {
            while (digit())
                keep(*p_++);
        }
        bool whole = true;
        if (Peek() == '.') {
            whole = false;
            ++p_;
            if (!digit())
                return Broken();
            while (digit())
                ++p_;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            whole = false;
            ++p_;
            if (Peek() == '+' || Peek() == '-')
                ++p_;
            if (!digit())
                return Broken();
            while (digit())
                ++p_;
        }
        if (integer != nullptr)
            *integer = whole;
        return true;
    }

    // A string whose opening quote was just taken, decoded into `sink`. Its plain runs are found
    // eight bytes at a time and go to the sink whole; escapes and UTF-8 sequences are checked.
    bool String(Sink& sink)
    {
        for (;;) {
            const char* run = p_;
            p_ = PlainRunEnd(p_, end_);
            sink.Add(run, static_cast<std::size_t>(p_ - run));
            if (p_ == end_) {
                if (!Fill(1))
                    return Broken();
                continue;
            }
            const unsigned char c = static_cast<unsigned char>(*p_);
            if (c == '"') {
                ++p_;
                return true;
            }
            if (c == '\\') {
                if (!Escape(sink))
                    return false;
                continue;
            }
            if (c < 0x20)
                return Broken();
            Fill(4);
            const std::size_t length = DecodeUtf8(std::string_view(p_, static_cast<std::size_t>(end_ - p_)), 0).second;
            if (length == 0)
                return Broken();
            sink.Add(p_, length);
            p_ += length;
        }
    }

    bool Escape(Sink& sink)
    {
        if (!Fill(2))
            return Broken();
        static const char kFrom[] = "\"\\/bfnrt";
        static const char kTo[] = "\"\\/\b\f\n\r\t";
        const char* simple = p_[1] != '\0' ? std::strchr(kFrom, p_[1]) : nullptr;
        if (simple != nullptr) {
            sink.Add(&kTo[simple - kFrom], 1);
            p_ += 2;
            return true;
        }
        std::uint32_t point = 0;
        if (!Hex4(point))
            return false;
        if (point >= 0xDC00 && point <= 0xDFFF)
            return Broken();
        if (point >= 0xD800 && point <= 0xDBFF) {
            std::uint32_t low = 0;
            if (!Hex4(low))
                return false;
            if (low < 0xDC00 || low > 0xDFFF)
                return Broken();
            point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
        }
        utf8_.clear();
        AppendUtf8(utf8_, point);
        sink.Add(utf8_.data(), utf8_.size());
        return true;
    }

    // "\uXXXX" at p_.
    bool Hex4(std::uint32_t& point)
    {
        if (!Fill(6) || p_[0] != '\\' || p_[1] != 'u')
            return Broken();
        for (int i = 2; i < 6; ++i) {
            const int value = HexValue(p_[i]);
            if (value < 0)
                return Broken();
            point = point << 4 | static_cast<std::uint32_t>(value);
        }
        p_ += 6;
        return true;
    }

    // A text no longer than a key or a label, whose opening quote was just taken: seen where it
    // lies in the block when it ends there, as almost every one does, else decoded into `spare`.
    // Empty for a longer one, as no key or label of ours is empty.
    bool ShortText(std::string& spare, std::string_view& text)
    {
        const char* const stop = end_ - p_ > static_cast<std::ptrdiff_t>(kMaxNameBytes) ? p_ + kMaxNameBytes : end_;
        const char* const at = PlainRunEnd(p_, stop);
        if (at < stop && *at == '"') {
            text = std::string_view(p_, static_cast<std::size_t>(at - p_));
            p_ = at + 1;
            return true;
        }
        spare.clear();
        Sink sink{&spare, kMaxNameBytes};
        if (!String(sink))
            return false;
        text = sink.Over() ? std::string_view() : std::string_view(spare);
        return true;
    }

    // A string where the summary must have one: a value of another kind is no summary of ours.
    bool Text(Sink& sink)
    {
        if (Next() != '"')
            return NotOurs();
        ++p_;
        return String(sink);
    }

    bool DocumentMember(std::string_view key)
    {
        if (Is(key, "program")) {
            if (document_.program || Next() != '"')
                return NotOurs();
            document_.program = true;
            ++p_;
            std::string_view program;
            if (!ShortText(label_, program))
                return false;
            return program == "quor-kelvra-summary" ? true : NotOurs();
        }
        if (Is(key, "format")) {
            if (document_.format)
                return NotOurs();
            document_.format = true;
            const int c = Next();
            if (c != '-' && (c < '0' || c > '9'))
                return NotOurs();
            std::string digits;
            bool integer = false;
            if (!Number(&digits, &integer))
                return false;
            if (!integer || digits.front() == '-' || digits == "0")
                return NotOurs();
            if (digits != "1")
                return Fail("comes from a newer quor-kelvra-summary (format " + digits +
                            (digits.size() >= 24 ? "...)" : ")"));
            return true;
        }
        if (Is(key, "date")) {
            if (document_.date)
                return NotOurs();
            document_.date = true;
            if (Next() != '"')
                return SkipValue(1);
            ++p_;
            Sink sink{&previous_.date, kMaxDateBytes};
            if (!String(sink))
                return false;
            if (sink.Over())
                previous_.date.clear();
            return true;
        }
        if (Is(key, "reports")) {
            if (document_.reports || Next() != '[')
                return NotOurs();
            document_.reports = true;
            ++p_;
            return Elements(2, [this] { return ReadEntry(); });
        }
        if (Is(key, "totals")) {
            // Its counts are not read, but a summary cut short has none: it is written last.
            if (document_.totals || Next() != '{')
                return NotOurs();
            document_.totals = true;
            return SkipValue(1);
        }
        return SkipValue(1);
    }

    bool ReadEntry()
    {
        if (Next() != '{')
            return NotOurs();
        ++p_;
        entry_ = Entry();
        pc_.clear();
        report_.clear();
        if (!Members(3, [this](std::string_view key) { return EntryMember(key); }))
            return false;
        return AddPc();
    }

    bool EntryMember(std::string_view key)
    {
        Entry& entry = entry_;
        if (Is(key, "pc") || Is(key, "report")) {
            const bool pc = Is(key, "pc");
            bool& seen = pc ? entry.pc : entry.report;
            if (seen)
                return NotOurs();
            seen = true;
            Sink sink{pc ? &pc_ : &report_, kMaxPathBytes};
            if (!Text(sink))
                return false;
            if (sink.Over())
                return Fail("names a PC by a text of more than " + std::to_string(kMaxPathBytes) +
                            " bytes, longer than any report's path");
            return true;
        }
        if (Is(key, "fit")) {
            if (entry.fit)
                return NotOurs();
            entry.fit = true;
            Said fit = Said::Null;
            if (!Verdict(fit))
                return false;
            entry.fitness = fit == Said::Null ? Fitness::Unknown : fit == Said::True ? Fitness::Fit : Fitness::Unfit;
            return true;
        }
        if (Is(key, "items")) {
            if (entry.items || Next() != '[')
                return NotOurs();
            entry.items = true;
            ++p_;
            return Elements(4, [this] { return ReadItem(); });
        }
        return SkipValue(3);
    }

    bool ReadItem()
    {
        if (Next() != '{')
            return NotOurs();
        ++p_;
        Item item;
        const bool read = Members(5, [this, &item](std::string_view key) {
            if (Is(key, "label")) {
                if (item.label)
                    return NotOurs();
                item.label = true;
                if (Next() != '"')
                    return NotOurs();
                ++p_;
                std::string_view label;
                if (!ShortText(label_, label))
                    return false;
                item.index = ItemOfLabel(label, entry_.itemsRead);
                return true;
            }
            if (Is(key, "pass")) {
                if (item.pass)
                    return NotOurs();
                item.pass = true;
                return Verdict(item.passed);
            }
            if (Is(key, "error")) {
                if (item.error)
                    return NotOurs();
                item.error = true;
                if (Next() == 'n')
                    return Word("null");
                Sink nowhere;
                item.judgedOnError = true;
                return Text(nowhere);
            }
            return SkipValue(5);
        });
        if (!read)
            return false;
        ++entry_.itemsRead;
        // An item of a label this program does not know is another program's.
        if (item.index >= 0)
            entry_.verdicts[static_cast<std::size_t>(item.index)] = item.passed == Said::Null   ? ItemVerdict::Missing
                                                                    : item.passed == Said::True ? ItemVerdict::Pass
                                                                    : item.judgedOnError        ? ItemVerdict::Unknown
                                                                                                : ItemVerdict::Fail;
        return true;
    }

    bool AddPc()
    {
        const Entry& entry = entry_;
        if (!entry.pc && !entry.report)
            return Fail("holds an entry of \"reports\" that names no PC");
        // A summary written before PCs had names names each by its report alone; one that does
        // both is no summary of ours.
        if (!previous_.pcs.empty() && entry.pc != namedByPc_)
            return Fail("names some PCs by \"pc\" and others by their report alone");
        namedByPc_ = entry.pc;
        const std::string& name = entry.pc ? pc_ : report_;
        if (!entry.fit)
            return Fail("does not say whether " + name + " was fit");
        if (previous_.pcs.size() >= kMaxPreviousPcs)
            return Fail("holds more PCs than any site");
        const std::string& report = entry.report ? report_ : pc_;
        key_.clear();
        AppendPcKey(key_, name);
        // Only a name that is no UTF-8 changes length as a key, and a JSON string is always UTF-8.
        if (key_.size() != name.size())
            return NotOurs();
        const bool nameEndsReport = report.size() >= name.size() &&
                                    std::string_view(report).substr(report.size() - name.size()) == name;
        PreviousPc pc;
        pc.SetTexts(texts_->Add(key_, report, nameEndsReport ? std::string_view() : std::string_view(name)),
                    name.size(), report.size(), nameEndsReport);
        pc.fitness = entry.fitness;
        pc.items = entry.verdicts;
        previous_.pcs.push_back(pc);
        return true;
    }

    bool Finish()
    {
        if (!document_.reports || !document_.totals)
            return NotOurs();
        // Only the summaries written before there were formats have none, and their PCs had no names.
        if (!document_.format && (document_.program || namedByPc_))
            return NotOurs();
        std::vector<PreviousPc>& pcs = previous_.pcs;
        // In place, with no second copy of the PCs: one key's PCs by their names, so that a PC named
        // twice is named the same way whatever the order of the file.
        std::sort(pcs.begin(), pcs.end(), [](const PreviousPc& a, const PreviousPc& b) {
            return a.Key() != b.Key() ? a.Key() < b.Key() : a.Pc() < b.Pc();
        });
        const auto twice = std::adjacent_find(pcs.begin(), pcs.end(),
                                              [](const PreviousPc& a, const PreviousPc& b) { return a.Key() == b.Key(); });
        if (twice != pcs.end())
            return Fail("names one PC twice: " + std::string(twice->Pc()) + " and " + std::string((twice + 1)->Pc()));
        pcs.shrink_to_fit();
        previous_.keyedByReport = pcs.empty() ? !document_.format : !namedByPc_;
        previous_.reports = static_cast<long long>(pcs.size());
        for (const PreviousPc& pc : pcs) {
            previous_.fit += pc.fitness == Fitness::Fit ? 1 : 0;
            previous_.unknown += pc.fitness == Fitness::Unknown ? 1 : 0;
        }
        previous_.texts = std::move(texts_);
        return true;
    }

    std::istream& in_;
    const std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    const char* p_;
    const char* end_;
    std::uint64_t offset_ = 0;  // of the buffer's first byte in the file
    bool ended_ = false;

    PreviousSummary& previous_;
    std::shared_ptr<PcTexts> texts_;
    Document document_;
    Entry entry_;
    bool namedByPc_ = false;  // as the PCs read so far are named
    std::string key_, label_, pc_, report_, utf8_;
};

}  // namespace

const char* PcTexts::Add(std::string_view first, std::string_view second, std::string_view third)
{
    const std::size_t size = first.size() + second.size() + third.size();
    if (size_ - used_ < size || blocks_.empty()) {
        // Each block twice the last, up to a megabyte, so that a summary of one PC takes little and
        // one of a million few blocks; the bytes left at a block's end are not worth a search.
        size_ = std::max<std::size_t>(size, std::min<std::size_t>(size_ * 2 + 4096, 1 << 20));
        blocks_.emplace_back(new char[size_]);
        used_ = 0;
    }
    char* const at = blocks_.back().get() + used_;
    char* to = at;
    for (const std::string_view piece : {first, second, third}) {
        if (!piece.empty())
            std::memcpy(to, piece.data(), piece.size());
        to += piece.size();
    }
    used_ += size;
    return at;
}

void PreviousPc::SetTexts(const char* text, std::size_t nameLength, std::size_t reportLength, bool nameEndsReport)
{
    text_ = text;
    for (int i = 0; i < 3; ++i) {
        lengths_[i] = static_cast<std::uint8_t>(nameLength >> (8 * i));
        lengths_[3 + i] = static_cast<std::uint8_t>(reportLength >> (8 * i));
    }
    lengths_[6] = nameEndsReport ? 1 : 0;
}

static_assert(sizeof(PreviousPc) <= 32, "an earlier PC costs 32 bytes beside its texts");

const char* VerdictWord(ItemVerdict verdict)
{
    switch (verdict) {
    case ItemVerdict::Missing: return "missing";
    case ItemVerdict::Pass: return "pass";
    case ItemVerdict::Fail: return "fail";
    case ItemVerdict::Unknown: return "unknown";
    }
    return "missing";
}

const char* ChangeText(Change change)
{
    switch (change) {
    case Change::New: return "new";
    case Change::Gone: return "gone";
    case Change::BecameFit: return "became fit";
    case Change::BecameUnfit: return "became unfit";
    case Change::BecameUnknown: return "became unknown";
    case Change::Unchanged: return "unchanged";
    case Change::NotRead: return "not read";
    }
    return "unchanged";
}

std::string PcKey(std::string_view relativePath)
{
    std::string key;
    AppendPcKey(key, relativePath);
    return key;
}

bool ReadPreviousSummary(const std::filesystem::path& path, PreviousSummary& previous, std::string& why)
{
    previous = PreviousSummary();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        why = "cannot be read: " + error.message();
        return false;
    }
    if (size > kMaxPreviousBytes) {
        why = "is too large to be a summary (" + std::to_string(size) + " bytes)";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        why = "cannot be read: the file could not be opened";
        return false;
    }
    // A small summary needs no buffer of a megabyte.
    return ReadPreviousSummary(file, previous, why,
                               static_cast<std::size_t>(std::min<std::uintmax_t>(size + 1, kPreviousBlockBytes)));
}

bool ReadPreviousSummary(std::istream& in, PreviousSummary& previous, std::string& why, std::size_t blockBytes)
{
    previous = PreviousSummary();
    SummaryReader reader(in, blockBytes, previous);
    if (reader.Read()) {
        why.clear();
        return true;
    }
    why = reader.problem;
    previous = PreviousSummary();
    return false;
}

PcChange ComparePc(PreviousSummary& previous, std::string_view key, Fitness fitness,
                   const std::array<ItemVerdict, kResultItemCount>& items)
{
    PcChange change;
    const std::string wanted = PcKey(key);
    auto found = std::lower_bound(previous.pcs.begin(), previous.pcs.end(), wanted,
                                  [](const PreviousPc& pc, const std::string& k) { return pc.Key() < k; });
    if (found == previous.pcs.end() || found->Key() != wanted || found->seen)
        return change;
    found->seen = true;
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        if (found->items[item] == items[item])
            continue;
        if (!change.changedItems.empty())
            change.changedItems += "; ";
        change.changedItems += ToUtf8(kResultRows[item].label) + ": " + VerdictWord(found->items[item]) + " -> " +
                               VerdictWord(items[item]);
    }
    change.change = found->fitness == fitness       ? Change::Unchanged
                    : fitness == Fitness::Fit        ? Change::BecameFit
                    : fitness == Fitness::Unfit      ? Change::BecameUnfit
                                                     : Change::BecameUnknown;
    return change;
}
