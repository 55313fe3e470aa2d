#include "check/rules.h"

bool PassesOperatingSystem(bool supportedOs)
{
    return supportedOs;
}

bool PassesManufacturer(const CString& manufacturer, const CString& model)
{
    return manufacturer == u"Dell Inc." || model == u"QBOX-2060";
}

bool PassesProcessorSpeed(std::uint32_t processorCount, double speedGhz)
{
    // One processor needs at least 1.9 GHz; two or more need strictly more than 1.61 GHz.
    if (processorCount == 1)
        return speedGhz >= 1.9;
    return processorCount >= 2 && speedGhz > 1.61;
}

bool PassesBiosYear(std::int32_t biosYear)
{
    return biosYear >= 2005;
}

bool PassesLocale(const CString& locale)
{
    return locale == u"English";
}

bool PassesUserName(const CString& userName)
{
    // The markers are plain ASCII, so folding ASCII letters is what ignores the name's case.
    CString upper = userName;
    for (char16_t& c : upper) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    for (const char16_t* marker : {u"\\BRQ7", u"\\TSX", u"\\QUORVALLE"}) {
        if (upper.find(marker) != CString::npos)
            return true;
    }
    return false;
}

bool PassesTotalMemory(std::int32_t totalMemoryMb)
{
    return totalMemoryMb > 1900;
}

bool PassesAvailableMemory(std::int32_t availableMemoryMb)
{
    return availableMemoryMb > 1200;
}

bool PassesHardDrive(std::uint64_t sizeGb, bool solidState)
{
    return sizeGb >= 140 || (solidState && sizeGb >= 58);
}

bool PassesSerialPorts(std::int32_t serialPortCount)
{
    return serialPortCount >= 3;
}
