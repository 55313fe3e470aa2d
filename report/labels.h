// The eleven result rows. Writer and import share these constants: the import recognises a report
// line only by an exact match of its label, so a label must never be spelt twice. Which controls
// show a row is the dialog's business alone.
#pragma once

#include <array>

struct ResultRow {
    const char16_t* label;
};

enum ResultItem {
    kItemOperatingSystem,
    kItemOsVersion,
    kItemManufacturer,
    kItemProcessor,
    kItemBios,
    kItemLocale,
    kItemUserName,
    kItemTotalMemory,
    kItemAvailableMemory,
    kItemHardDrive,
    kItemSerialPorts,
    kResultItemCount
};

inline constexpr std::array<ResultRow, kResultItemCount> kResultRows = {{
    {u"Operating System"},
    {u"Operating System Version"},
    {u"System Manufacturer"},
    {u"Processor Speed"},
    {u"BIOS Version"},
    {u"Locale"},
    {u"Username"},
    {u"Total Physical Memory"},
    {u"Available Physical Memory"},
    {u"Hard Drive Size"},
    {u"Serial Ports Detected"},
}};

inline constexpr const char16_t* kReportFileName = u"Quor-kelvra.vkh";
