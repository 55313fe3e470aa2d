#include "platform/device_names.h"

namespace {

char16_t Lower(char16_t unit)
{
    return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
}

bool IsDeviceBase(const CString& base)
{
    if (base == u"con" || base == u"prn" || base == u"aux" || base == u"nul" || base == u"conin$" ||
        base == u"conout$")
        return true;
    if (base.size() != 4 || (base.compare(0, 3, u"com") != 0 && base.compare(0, 3, u"lpt") != 0))
        return false;
    // Windows counts the superscript digits one to three as port numbers too.
    const char16_t digit = base[3];
    return (digit >= u'0' && digit <= u'9') || digit == u'\u00B9' || digit == u'\u00B2' || digit == u'\u00B3';
}

bool IsSeparator(char16_t unit)
{
    return unit == u'\\' || unit == u'/';
}

bool StartsWithTwoSeparators(const CString& path)
{
    return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

// "\\?\..." or "\\.\...": the device namespace, or a path given with the long-path prefix.
bool StartsWithNamespacePrefix(const CString& path)
{
    return StartsWithTwoSeparators(path) && path.size() >= 4 && (path[2] == u'.' || path[2] == u'?') &&
           IsSeparator(path[3]);
}

}  // namespace

CString ExtendedLengthPath(const CString& full)
{
    if (StartsWithNamespacePrefix(full))
        return u"\\\\?\\" + full.substr(4);
    if (StartsWithTwoSeparators(full))
        return u"\\\\?\\UNC\\" + full.substr(2);
    return u"\\\\?\\" + full;
}

bool NamesADevice(const CString& path)
{
    // The device namespace, except a drive or a share reached through it ("\\?\C:\...",
    // "\\?\UNC\...", "\\.\C:\...").
    if (StartsWithNamespacePrefix(path)) {
        const CString rest = path.substr(4);
        const bool drive = rest.size() >= 2 && rest[1] == u':';
        CString start;
        for (std::size_t i = 0; i < rest.size() && i < 4; ++i)
            start.push_back(Lower(rest[i]));
        if (!drive && start != u"unc\\" && start != u"unc/")
            return true;
    }
    std::size_t begin = path.find_last_of(u"\\/");
    begin = begin == CString::npos ? 0 : begin + 1;
    // "C:nul" is NUL too.
    if (begin == 0 && path.size() >= 2 && path[1] == u':')
        begin = 2;
    CString base;
    for (std::size_t i = begin; i < path.size() && path[i] != u'.' && path[i] != u':'; ++i)
        base.push_back(Lower(path[i]));
    base.erase(base.find_last_not_of(u' ') + 1);
    return IsDeviceBase(base);
}
