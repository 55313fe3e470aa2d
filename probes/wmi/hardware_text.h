// The hardware probes' conversions of WMI property values into the dialog's texts and numbers.
#pragma once

#include <cstdint>
#include <optional>

#include "text/text.h"
#include "platform/wmi_api.h"

// A text property; none when the value is null or not a string.
std::optional<CString> TextValue(const WmiValue& value);

struct BiosDate {
    std::int32_t year = 0;
    CString text;  // yyyy/mm/dd
};
// The first eight characters of a WMI date and time; none when the text is shorter than that.
std::optional<BiosDate> ParseReleaseDate(const CString& releaseDate);

// The leading number of a text, read as wcstol reads it: white space skipped, an optional sign,
// then digits up to the first other character; 0 when no digit follows.
std::int32_t LeadingNumber(const CString& text);

// MaxClockSpeed in MHz as GHz, and its "%0.3f GHz" text.
double GigahertzFromMegahertz(std::int32_t megahertz);
CString GigahertzText(double gigahertz);

bool IsSolidStateModel(const CString& model);

struct DriveSize {
    std::uint64_t gigabytes = 0;  // whole units of 2^30 bytes
    CString text;
};
DriveSize DriveSizeFromBytes(std::int64_t bytes, bool solidState);
CString DriveReadFailedText(HResult status);
