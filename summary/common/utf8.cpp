#include "summary/common/utf8.h"

std::pair<std::uint32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char first = byte(i);
    if (first < 0x80)
        return {first, 1};
    const std::size_t length = first >= 0xF0 && first <= 0xF4 ? 4 : first >= 0xE0 ? 3 : first >= 0xC2 && first < 0xE0 ? 2 : 0;
    if (length == 0 || i + length > text.size())
        return {0, 0};
    std::uint32_t point = first & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return {0, 0};
        point = point << 6 | (byte(i + k) & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < least[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return {0, 0};
    return {point, length};
}

void AppendUtf8(std::string& to, std::uint32_t point)
{
    if (point < 0x80) {
        to += static_cast<char>(point);
    } else if (point < 0x800) {
        to += static_cast<char>(0xC0 | point >> 6);
        to += static_cast<char>(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
        to += static_cast<char>(0xE0 | point >> 12);
        to += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        to += static_cast<char>(0x80 | (point & 0x3F));
    } else {
        to += static_cast<char>(0xF0 | point >> 18);
        to += static_cast<char>(0x80 | (point >> 12 & 0x3F));
        to += static_cast<char>(0x80 | (point >> 6 & 0x3F));
        to += static_cast<char>(0x80 | (point & 0x3F));
    }
}
