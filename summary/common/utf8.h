// UTF-8 as the summary reads and writes it: one rule for what is valid, shared by the JSON writer,
// which puts U+FFFD for each byte that is not, and by the PC keys, which must match what it wrote.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

// The code point at `text[i]` and its length in bytes; length 0 for a byte that starts no valid
// UTF-8 sequence (overlong forms and surrogates included).
std::pair<std::uint32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t i);

// Appends a code point (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::string& to, std::uint32_t point);
