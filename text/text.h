// Portable UTF-16 text and the few formatting patterns the program uses.
//
// Windows' wchar_t is UTF-16 but Linux's is not, so every piece of logic works on char16_t and the
// Win32 layer converts at its boundary. Format strings are always program constants: a value is
// only ever substituted, so a percent sign inside a manufacturer name stays a percent sign.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

using CString = std::u16string;

// One argument of Format. Only the conversions the program uses exist.
class FormatArg {
public:
    enum class Kind { Signed, Unsigned, Double, Text };

    FormatArg(std::int32_t value) : kind_(Kind::Signed), signed_(value) {}
    FormatArg(std::uint32_t value) : kind_(Kind::Unsigned), unsigned_(value) {}
    FormatArg(double value) : kind_(Kind::Double), double_(value) {}
    FormatArg(const CString& value) : kind_(Kind::Text), text_(&value) {}
    FormatArg(const char16_t* value) : kind_(Kind::Text), literal_(value) {}

    Kind kind() const { return kind_; }
    std::int64_t AsInteger() const;
    double AsDouble() const;
    CString AsText() const;

private:
    Kind kind_;
    std::int32_t signed_ = 0;
    std::uint32_t unsigned_ = 0;
    double double_ = 0.0;
    const CString* text_ = nullptr;
    const char16_t* literal_ = nullptr;
};

// printf-like formatting for "%d", "%i", "%x", "%s", "%.Nf" / "%0.Nf" and "%%". A conversion
// without a matching argument prints nothing; surplus arguments are ignored.
CString Format(const char16_t* format, std::initializer_list<FormatArg> args);

CString DecimalText(std::int64_t value);
CString DecimalTextUnsigned(std::uint64_t value);

// The file name of a path without its directory and extension: "C:\\x\\Quor-kelvra.exe" gives
// "Quor-kelvra".
CString AppNameFromModulePath(const CString& path);

// The data-exchange length check: the message to show when a value is longer than maxChars, or an
// empty text when it fits.
CString MaxCharsMessage(const CString& value, int maxChars);

// ASCII/Latin-1 text into UTF-16; used for the program's own literals and for test output.
CString Widen(const std::string& narrow);
// UTF-16 into UTF-8; an unpaired surrogate becomes U+FFFD, so the result is always valid UTF-8.
std::string ToUtf8(const CString& text);
// The same appended in place.
void AppendUtf8(std::string& out, std::u16string_view text);
// UTF-8 this program made back into UTF-16; a byte that starts no whole sequence becomes U+FFFD.
CString FromUtf8(std::string_view text);
