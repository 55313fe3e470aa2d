#include "platform/platform.h"

SeekPenalty SeekPenaltyFromAnswer(bool succeeded, const std::uint8_t* bytes, std::size_t returned)
{
    constexpr std::size_t kFlagAt = 8;
    if (!succeeded || bytes == nullptr || returned <= kFlagAt)
        return SeekPenalty::NoAnswer;
    const std::uint32_t size = static_cast<std::uint32_t>(bytes[4]) | static_cast<std::uint32_t>(bytes[5]) << 8 |
                               static_cast<std::uint32_t>(bytes[6]) << 16 | static_cast<std::uint32_t>(bytes[7]) << 24;
    if (size <= kFlagAt)
        return SeekPenalty::NoAnswer;
    return bytes[kFlagAt] != 0 ? SeekPenalty::Incurs : SeekPenalty::None;
}
