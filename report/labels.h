// The eleven result rows. Writer and import share these constants: the import recognises a report
// line only by an exact match of its label, so a label must never be spelt twice.
#pragma once

#include <array>

#include "app/res/resource.h"

struct ResultRow {
    const char16_t* label;
    int valueControl;
    int markControl;
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
    {u"Operating System", IDC_VALUE_OS, IDC_MARK_OS},
    {u"Operating System Version", IDC_VALUE_OS_VERSION, IDC_MARK_OS_VERSION},
    {u"System Manufacturer", IDC_VALUE_MANUFACTURER, IDC_MARK_MANUFACTURER},
    {u"Processor Speed", IDC_VALUE_PROCESSOR, IDC_MARK_PROCESSOR},
    {u"BIOS Version", IDC_VALUE_BIOS, IDC_MARK_BIOS},
    {u"Locale", IDC_VALUE_LOCALE, IDC_MARK_LOCALE},
    {u"Username", IDC_VALUE_USER, IDC_MARK_USER},
    {u"Total Physical Memory", IDC_VALUE_TOTAL_MEMORY, IDC_MARK_TOTAL_MEMORY},
    {u"Available Physical Memory", IDC_VALUE_AVAILABLE_MEMORY, IDC_MARK_AVAILABLE_MEMORY},
    {u"Hard Drive Size", IDC_VALUE_HARD_DRIVE, IDC_MARK_HARD_DRIVE},
    {u"Serial Ports Detected", IDC_VALUE_SERIAL_PORTS, IDC_MARK_SERIAL_PORTS},
}};

inline constexpr const char16_t* kReportFileName = u"Quor-kelvra.vkh";
