#include "check/memory_text.h"

std::int32_t MebibytesFromBytes(std::uint64_t bytes)
{
    return static_cast<std::int32_t>(bytes / 1048576u);
}

CString MemoryText(std::int32_t mebibytes)
{
    if (mebibytes < 1000)
        return Format(u"%i MB", {mebibytes});
    const CString digits = Format(u"%i", {mebibytes});
    CString grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            grouped.push_back(u',');
        grouped.push_back(digits[i]);
    }
    return grouped + u" MB";
}
