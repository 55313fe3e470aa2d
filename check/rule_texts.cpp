#include "check/rule_texts.h"

#include "check/memory_text.h"

namespace {

// A threshold as a person writes it: no trailing zeros ("1.9", "1.61").
CString ShortDecimal(double value)
{
    CString text = Format(u"%0.3f", {value});
    while (!text.empty() && text.back() == u'0')
        text.pop_back();
    if (!text.empty() && text.back() == u'.')
        text.pop_back();
    return text;
}

CString Gigabytes(std::uint64_t gigabytes)
{
    return DecimalTextUnsigned(gigabytes) + u" GB";
}

CString Quoted(const CString& text)
{
    return u"\"" + text + u"\"";
}

CString AccountPrefixList()
{
    CString list;
    const std::size_t count = std::size(kAccountPrefixes);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0)
            list += i + 1 == count ? u" or " : u", ";
        list += kAccountPrefixes[i];
    }
    return list;
}

// Which systems the identification accepts; the operating system's rule lives there, in its
// edition table, not among the thresholds.
constexpr const char16_t* kSupportedSystems =
    u"Windows 7 Professional or Ultimate, or Windows XP Professional, 32-bit";

}  // namespace

CString RuleText(ResultItem item)
{
    switch (item) {
    case kItemOperatingSystem:
        return Format(u"Passes on %s.", {kSupportedSystems});
    case kItemOsVersion:
        return Format(u"Passes when the operating system does: %s.", {kSupportedSystems});
    case kItemManufacturer:
        return Format(u"Passes when the manufacturer is %s or the model is %s.",
                      {Quoted(kQualifyingManufacturer), Quoted(kQualifyingModel)});
    case kItemProcessor:
        return Format(u"Passes with %s GHz or more for one processor, or more than %s GHz for two or more.",
                      {ShortDecimal(kOneProcessorMinGhz), ShortDecimal(kManyProcessorsAboveGhz)});
    case kItemBios:
        return Format(u"Passes with a BIOS from %d or later.", {kEarliestBiosYear});
    case kItemLocale:
        return Format(u"Passes with the locale %s.", {Quoted(kQualifyingLocale)});
    case kItemUserName:
        return Format(u"Passes with an account (after its domain and backslash) beginning with %s, in "
                      u"any case.",
                      {AccountPrefixList()});
    case kItemTotalMemory:
        return Format(u"Passes with %s or more.", {MemoryText(kMinTotalMemoryMb)});
    case kItemAvailableMemory:
        return Format(u"Passes with %s or more available.", {MemoryText(kMinAvailableMemoryMb)});
    case kItemHardDrive:
        return Format(u"Passes with a hard drive of %s or more, or %s or more for a solid-state drive.",
                      {Gigabytes(kMinDriveGb), Gigabytes(kMinSolidStateDriveGb)});
    case kItemSerialPorts:
        return Format(u"Passes with %d or more serial ports.", {kMinSerialPorts});
    case kResultItemCount:
        break;
    }
    return CString();
}

CString FigureText(ResultItem item, const RuleFigures& figures)
{
    switch (item) {
    case kItemOperatingSystem:
    case kItemOsVersion:
        return figures.operatingSystem;
    case kItemManufacturer:
        return Format(u"%s, model %s", {Quoted(figures.manufacturer), Quoted(figures.model)});
    case kItemProcessor:
        return Format(figures.processorCount == 1 ? u"%d processor at %s GHz" : u"%d processors at %s GHz",
                      {figures.processorCount, ShortDecimal(figures.speedGhz)});
    case kItemBios:
        return figures.biosYear == 0 ? CString(u"no BIOS date read") : DecimalText(figures.biosYear);
    case kItemLocale:
        return Quoted(figures.locale);
    case kItemUserName:
        return figures.userName;
    case kItemTotalMemory:
        return MemoryText(figures.totalMemoryMb);
    case kItemAvailableMemory:
        return MemoryText(figures.availableMemoryMb);
    case kItemHardDrive: {
        const CString size = figures.driveGb == 0 ? CString(u"less than 1 GB") : Gigabytes(figures.driveGb);
        return figures.solidState ? size + u", solid-state" : size;
    }
    case kItemSerialPorts:
        return DecimalText(figures.serialPorts);
    case kResultItemCount:
        break;
    }
    return CString();
}

CString ItemExplanation(ResultItem item, const RuleFigures* figures)
{
    if (figures == nullptr)
        return RuleText(item);
    return Format(u"%s This PC: %s.", {RuleText(item), FigureText(item, *figures)});
}

CString WindowsPeExplanation(ResultItem item)
{
    return Format(u"Not judged: Windows PE is running, so this is the boot medium's, not that of the Windows "
                  u"installed on this PC. The rule: %s",
                  {RuleText(item)});
}

CString NoWmiAnswerExplanation(ResultItem item, std::uint32_t deadlineMs)
{
    return Format(u"%s This PC: WMI gave no answer within the %d seconds allowed.",
                  {RuleText(item), deadlineMs / 1000});
}
