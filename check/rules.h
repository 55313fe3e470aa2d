// The eleven built-in compatibility rules. Each is a pure test of numbers and texts the probes have
// already delivered; display texts with separators or units are never parsed here.
#pragma once

#include <cstdint>

#include "text/text.h"
#include "report/labels.h"

// The figures and words the rules are stated in. The explanations a technician reads beside the
// marks are written from these same constants, so a rule and its explanation cannot drift apart.
inline constexpr const char16_t* kQualifyingManufacturer = u"Dell Inc.";
inline constexpr const char16_t* kQualifyingModel = u"QBOX-2060";
inline constexpr double kOneProcessorMinGhz = 1.9;
inline constexpr double kManyProcessorsAboveGhz = 1.61;
inline constexpr std::int32_t kEarliestBiosYear = 2005;
inline constexpr const char16_t* kQualifyingLocale = u"English";
// An account qualifies when a name in its path (after a backslash) begins with one of these.
inline constexpr const char16_t* kAccountPrefixes[] = {u"BRQ7", u"TSX", u"QUORVALLE"};
inline constexpr std::int32_t kMinTotalMemoryMb = 1901;
inline constexpr std::int32_t kMinAvailableMemoryMb = 1201;
inline constexpr std::uint64_t kMinDriveGb = 140;
inline constexpr std::uint64_t kMinSolidStateDriveGb = 58;
inline constexpr std::int32_t kMinSerialPorts = 3;

bool PassesManufacturer(const CString& manufacturer, const CString& model);
bool PassesProcessorSpeed(std::uint32_t processorCount, double speedGhz);
bool PassesBiosYear(std::int32_t biosYear);
bool PassesLocale(const CString& locale);
bool PassesUserName(const CString& userName);
bool PassesTotalMemory(std::int32_t totalMemoryMb);
bool PassesAvailableMemory(std::int32_t availableMemoryMb);
bool PassesHardDrive(std::uint64_t sizeGb, bool solidState);
bool PassesSerialPorts(std::int32_t serialPortCount);

// Everything the rules judge on one PC, as the probes read it: what an item is judged on is also
// what its explanation names as this PC's figure.
struct RuleFigures {
    bool supportedOs = false;
    CString operatingSystem;  // the name the system was identified by
    CString manufacturer;
    CString model;
    std::uint32_t processorCount = 0;
    double speedGhz = 0.0;
    std::int32_t biosYear = 0;  // 0 when no release date was read
    CString locale;
    CString userName;
    std::int32_t totalMemoryMb = 0;
    std::int32_t availableMemoryMb = 0;
    std::uint64_t driveGb = 0;
    bool solidState = false;
    std::int32_t serialPorts = 0;
};

// The item's rule applied to the figures.
bool ItemPasses(ResultItem item, const RuleFigures& figures);
