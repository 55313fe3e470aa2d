// Conversions between the portable UTF-16 strings and Windows' wide strings. Both are UTF-16 on
// Windows, so a conversion is a copy of code units; only Windows code includes this.
#pragma once

#include <string>

#include "text/text.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

inline const wchar_t* AsWide(const CString& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline CString FromWide(const wchar_t* text)
{
    return text ? CString(reinterpret_cast<const char16_t*>(text)) : CString();
}

inline CString FromWide(const wchar_t* text, std::size_t count)
{
    return CString(reinterpret_cast<const char16_t*>(text), count);
}
