#include "probes/wmi/hardware_text.h"

std::optional<CString> TextValue(const WmiValue& value)
{
    if (value.variantType != WmiValue::kBstr)
        return std::nullopt;
    return value.text;
}

std::int32_t LeadingNumber(const CString& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i] - u'0');
        if (value > 2147483648LL)
            value = 2147483648LL;  // saturates, as wcstol does
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        value = 2147483647LL;
    return static_cast<std::int32_t>(value);
}

std::optional<BiosDate> ParseReleaseDate(const CString& releaseDate)
{
    if (releaseDate.size() < 8)
        return std::nullopt;
    BiosDate date;
    date.year = LeadingNumber(releaseDate.substr(0, 4));
    date.text = releaseDate.substr(0, 4) + u"/" + releaseDate.substr(4, 2) + u"/" +
                releaseDate.substr(6, 2);
    return date;
}

double GigahertzFromMegahertz(std::int32_t megahertz)
{
    // The 32-bit build computes on the x87 unit, whose 80-bit quotient would otherwise reach the
    // rules unrounded; storing it rounds it to the double that the thresholds are stated for.
    volatile double gigahertz = megahertz / 1000.0;
    return gigahertz;
}

CString GigahertzText(double gigahertz)
{
    return Format(u"%0.3f GHz", {gigahertz});
}

bool IsSolidStateModel(const CString& model)
{
    return model.find(u"SSD") != CString::npos;
}

DriveSize DriveSizeFromBytes(std::int64_t bytes, bool solidState)
{
    constexpr std::int64_t kUnit = 1073741824;  // 2^30
    DriveSize size;
    const std::int64_t quotient = bytes / kUnit;
    // A negative byte count is nonsense from the platform; it must not become a huge unsigned
    // size that passes the rule, so it counts as less than one unit.
    if (quotient >= 1) {
        size.gigabytes = static_cast<std::uint64_t>(quotient);
        size.text = DecimalText(quotient) + u" GB";
    } else {
        size.text = u"< 1 GB";
    }
    if (solidState)
        size.text += u" SSD";
    return size;
}

CString DriveReadFailedText(HResult status)
{
    return Format(u"Read Failed [%d]", {status});
}

std::optional<std::int64_t> IntegerValue(const WmiValue& value)
{
    // VT_I2, VT_I4, VT_I1, VT_UI1, VT_UI2, VT_UI4, VT_I8, VT_UI8: an unsigned 32-bit WMI property
    // arrives as VT_I4.
    switch (value.variantType) {
    case 2: case 3: case 16: case 17: case 18: case 19: case 20: case 21: return value.integer;
    default: return std::nullopt;
    }
}

CString SystemDrivePartitionsQuery(const CString& windowsFolder)
{
    if (windowsFolder.size() < 2 || windowsFolder[1] != u':')
        return CString();
    char16_t letter = windowsFolder[0];
    if (letter >= u'a' && letter <= u'z')
        letter = static_cast<char16_t>(letter - u'a' + u'A');
    if (letter < u'A' || letter > u'Z')
        return CString();
    return u"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"" + CString(1, letter) +
           u":\"} WHERE AssocClass = Win32_LogicalDiskToPartition";
}

std::size_t SystemDiskPosition(const std::vector<std::optional<std::int64_t>>& diskIndexes,
                               const std::vector<std::optional<std::int64_t>>& partitionDiskIndexes)
{
    if (partitionDiskIndexes.empty() || !partitionDiskIndexes.front())
        return 0;
    const std::int64_t wanted = *partitionDiskIndexes.front();
    for (const auto& index : partitionDiskIndexes) {
        if (index != wanted)
            return 0;
    }
    std::size_t found = diskIndexes.size();
    for (std::size_t position = 0; position < diskIndexes.size(); ++position) {
        if (diskIndexes[position] != wanted)
            continue;
        // Two disks claiming one index: WMI contradicts itself, and neither can be trusted.
        if (found != diskIndexes.size())
            return 0;
        found = position;
    }
    return found == diskIndexes.size() ? 0 : found;
}

bool AsksSeekPenalty(std::uint32_t majorVersion, std::uint32_t minorVersion)
{
    return majorVersion > 6 || (majorVersion == 6 && minorVersion >= 1);
}

bool IsPhysicalDriveName(const CString& deviceId)
{
    const CString prefix = u"\\\\.\\PHYSICALDRIVE";
    if (deviceId.size() <= prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char16_t c = deviceId[i];
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
        if (c != prefix[i])
            return false;
    }
    for (std::size_t i = prefix.size(); i < deviceId.size(); ++i) {
        if (deviceId[i] < u'0' || deviceId[i] > u'9')
            return false;
    }
    return true;
}
