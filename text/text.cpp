#include "text/text.h"

#include <cstdio>

std::int64_t FormatArg::AsInteger() const
{
    switch (kind_) {
    case Kind::Signed: return signed_;
    case Kind::Unsigned: return unsigned_;
    case Kind::Double: return static_cast<std::int64_t>(double_);
    case Kind::Text: break;
    }
    return 0;
}

double FormatArg::AsDouble() const
{
    return kind_ == Kind::Double ? double_ : static_cast<double>(AsInteger());
}

CString FormatArg::AsText() const
{
    if (kind_ != Kind::Text)
        return CString();
    return text_ ? *text_ : CString(literal_ ? literal_ : u"");
}

CString DecimalTextUnsigned(std::uint64_t value)
{
    char16_t digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    CString text;
    while (count > 0)
        text.push_back(digits[--count]);
    return text;
}

CString DecimalText(std::int64_t value)
{
    if (value >= 0)
        return DecimalTextUnsigned(static_cast<std::uint64_t>(value));
    // Negate in unsigned arithmetic so the most negative value does not overflow.
    return u"-" + DecimalTextUnsigned(0 - static_cast<std::uint64_t>(value));
}

static CString HexText(std::uint32_t value)
{
    static const char16_t kDigits[] = u"0123456789abcdef";
    char16_t digits[8];
    int count = 0;
    do {
        digits[count++] = kDigits[value & 0xF];
        value >>= 4;
    } while (value != 0);
    CString text;
    while (count > 0)
        text.push_back(digits[--count]);
    return text;
}

static CString FixedText(double value, int precision)
{
    // snprintf is only given a format this function builds, never program data.
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", precision);
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, format, value);
    return Widen(buffer);
}

CString Format(const char16_t* format, std::initializer_list<FormatArg> args)
{
    CString out;
    auto next = args.begin();
    for (const char16_t* p = format; *p != u'\0'; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        ++p;
        if (*p == u'%') {
            out.push_back(u'%');
            continue;
        }
        // Flags and width are accepted and ignored: the program only writes "%0.3f".
        while (*p == u'0' || *p == u'-')
            ++p;
        int precision = 6;
        if (*p == u'.') {
            precision = 0;
            for (++p; *p >= u'0' && *p <= u'9'; ++p)
                precision = precision * 10 + (*p - u'0');
        }
        if (*p == u'\0')
            break;
        if (next == args.end())
            continue;
        const FormatArg& arg = *next++;
        switch (*p) {
        case u'd':
        case u'i':
            out += arg.kind() == FormatArg::Kind::Unsigned
                       ? DecimalText(static_cast<std::int32_t>(arg.AsInteger()))
                       : DecimalText(arg.AsInteger());
            break;
        case u'x': out += HexText(static_cast<std::uint32_t>(arg.AsInteger())); break;
        case u'f': out += FixedText(arg.AsDouble(), precision > 20 ? 20 : precision); break;
        case u's': out += arg.AsText(); break;
        default: break;
        }
    }
    return out;
}

CString Widen(const std::string& narrow)
{
    CString wide;
    wide.reserve(narrow.size());
    for (unsigned char c : narrow)
        wide.push_back(c);
    return wide;
}

CString FromUtf8(std::string_view text)
{
    CString out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF8 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        std::uint32_t c = length == 1 ? lead : lead & (0x7Fu >> length);
        bool whole = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3Fu);
        }
        if (!whole) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

std::string ToUtf8(const CString& text)
{
    std::string out;
    AppendUtf8(out, text);
    return out;
}

void AppendUtf8(std::string& out, std::u16string_view text)
{
    std::size_t i = 0;
    // Most of a report is ASCII: a run of it goes in without a push for each character.
    for (;;) {
        const std::size_t start = i;
        while (i < text.size() && text[i] < 0x80)
            ++i;
        if (i != start) {
            const std::size_t at = out.size();
            out.resize(at + (i - start));
            for (std::size_t k = start; k < i; ++k)
                out[at + k - start] = static_cast<char>(text[k]);
        }
        if (i == text.size())
            return;
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            // Half a surrogate pair has no UTF-8 form: it becomes the replacement character.
            c = 0xFFFD;
        }
        ++i;
        if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

CString AppNameFromModulePath(const CString& path)
{
    const std::size_t slash = path.find_last_of(u"\\/");
    CString name = slash == CString::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(u'.');
    if (dot != CString::npos && dot != 0)
        name.erase(dot);
    return name;
}

CString MaxCharsMessage(const CString& value, int maxChars)
{
    if (static_cast<std::int64_t>(value.size()) <= maxChars)
        return CString();
    CString message = u"Enter no more than %1 characters.";
    message.replace(message.find(u"%1"), 2, DecimalText(maxChars));
    return message;
}
