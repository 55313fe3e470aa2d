// Which controls show each of the eleven result items: its label, its value and its mark. The one table the
// dialog, its tooltips and the tests that read the dialog all use.
#pragma once

#include <array>

#include "app/res/resource.h"
#include "report/labels.h"

struct ItemControls {
    int value;
    int mark;
    int label;
};

// In item order.
inline constexpr std::array<ItemControls, kResultItemCount> kItemControls = {{
    {IDC_VALUE_OS, IDC_MARK_OS, IDC_LABEL_OS},
    {IDC_VALUE_OS_VERSION, IDC_MARK_OS_VERSION, IDC_LABEL_OS_VERSION},
    {IDC_VALUE_MANUFACTURER, IDC_MARK_MANUFACTURER, IDC_LABEL_MANUFACTURER},
    {IDC_VALUE_PROCESSOR, IDC_MARK_PROCESSOR, IDC_LABEL_PROCESSOR},
    {IDC_VALUE_BIOS, IDC_MARK_BIOS, IDC_LABEL_BIOS},
    {IDC_VALUE_LOCALE, IDC_MARK_LOCALE, IDC_LABEL_LOCALE},
    {IDC_VALUE_USER, IDC_MARK_USER, IDC_LABEL_USER},
    {IDC_VALUE_TOTAL_MEMORY, IDC_MARK_TOTAL_MEMORY, IDC_LABEL_TOTAL_MEMORY},
    {IDC_VALUE_AVAILABLE_MEMORY, IDC_MARK_AVAILABLE_MEMORY, IDC_LABEL_AVAILABLE_MEMORY},
    {IDC_VALUE_HARD_DRIVE, IDC_MARK_HARD_DRIVE, IDC_LABEL_HARD_DRIVE},
    {IDC_VALUE_SERIAL_PORTS, IDC_MARK_SERIAL_PORTS, IDC_LABEL_SERIAL_PORTS},
}};

// The value controls alone, or the mark controls alone, in item order.
constexpr std::array<int, kResultItemCount> ItemValueControls()
{
    std::array<int, kResultItemCount> ids{};
    for (std::size_t item = 0; item < ids.size(); ++item)
        ids[item] = kItemControls[item].value;
    return ids;
}

constexpr std::array<int, kResultItemCount> ItemMarkControls()
{
    std::array<int, kResultItemCount> ids{};
    for (std::size_t item = 0; item < ids.size(); ++item)
        ids[item] = kItemControls[item].mark;
    return ids;
}
