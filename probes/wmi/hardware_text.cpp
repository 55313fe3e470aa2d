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
