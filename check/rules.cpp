#include "check/rules.h"

bool PassesManufacturer(const CString& manufacturer, const CString& model)
{
    return manufacturer == kQualifyingManufacturer || model == kQualifyingModel;
}

bool PassesProcessorSpeed(std::uint32_t processorCount, double speedGhz)
{
    // One processor needs at least its minimum; two or more need strictly more than theirs.
    if (processorCount == 1)
        return speedGhz >= kOneProcessorMinGhz;
    return processorCount >= 2 && speedGhz > kManyProcessorsAboveGhz;
}

bool PassesBiosYear(std::int32_t biosYear)
{
    return biosYear >= kEarliestBiosYear;
}

bool PassesLocale(const CString& locale)
{
    return locale == kQualifyingLocale;
}

bool PassesUserName(const CString& userName)
{
    // The markers are plain ASCII, so folding ASCII letters is what ignores the name's case.
    CString upper = userName;
    for (char16_t& c : upper) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    for (const char16_t* prefix : kAccountPrefixes) {
        if (upper.find(u'\\' + CString(prefix)) != CString::npos)
            return true;
    }
    return false;
}

bool PassesTotalMemory(std::int32_t totalMemoryMb)
{
    return totalMemoryMb >= kMinTotalMemoryMb;
}

bool PassesAvailableMemory(std::int32_t availableMemoryMb)
{
    return availableMemoryMb >= kMinAvailableMemoryMb;
}

bool PassesHardDrive(std::uint64_t sizeGb, bool solidState)
{
    return sizeGb >= kMinDriveGb || (solidState && sizeGb >= kMinSolidStateDriveGb);
}

bool PassesSerialPorts(std::int32_t serialPortCount)
{
    return serialPortCount >= kMinSerialPorts;
}

bool ItemPasses(ResultItem item, const RuleFigures& figures)
{
    switch (item) {
    // Both follow what the identification made of the system: whether it is one Zonfir-plus supports.
    case kItemOperatingSystem:
    case kItemOsVersion:
        return figures.supportedOs;
    case kItemManufacturer:
        return PassesManufacturer(figures.manufacturer, figures.model);
    case kItemProcessor:
        return PassesProcessorSpeed(figures.processorCount, figures.speedGhz);
    case kItemBios:
        return PassesBiosYear(figures.biosYear);
    case kItemLocale:
        return PassesLocale(figures.locale);
    case kItemUserName:
        return PassesUserName(figures.userName);
    case kItemTotalMemory:
        return PassesTotalMemory(figures.totalMemoryMb);
    case kItemAvailableMemory:
        return PassesAvailableMemory(figures.availableMemoryMb);
    case kItemHardDrive:
        return PassesHardDrive(figures.driveGb, figures.solidState);
    case kItemSerialPorts:
        return PassesSerialPorts(figures.serialPorts);
    case kResultItemCount:
        break;
    }
    return false;
}
