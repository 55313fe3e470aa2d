// The hardware probes' conversions of WMI property values into the dialog's texts and numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

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

// The disk Windows runs from. WMI lists disks in no set order (a USB stick, a card reader or a second
// disk may come first), so the disk is found inside WMI, whose own indexes then agree: the system
// drive's partitions name their disk's index, and the disk drive with that Index is the one.

// An integer property (Index, DiskIndex); none when the value is null or no integer.
std::optional<std::int64_t> IntegerValue(const WmiValue& value);
// The partitions of the drive the Windows folder is on; empty when the folder names no drive.
CString SystemDrivePartitionsQuery(const CString& windowsFolder);
// The position, in WMI's list, of the disk whose Index is the one index every partition of the
// system drive names; the first disk listed when no such disk is found (a partition without an
// index, a volume spanning disks, no partition at all).
std::size_t SystemDiskPosition(const std::vector<std::optional<std::int64_t>>& diskIndexes,
                               const std::vector<std::optional<std::int64_t>>& partitionDiskIndexes);

// Windows 7 and later tell whether a disk incurs a seek penalty.
bool AsksSeekPenalty(std::uint32_t majorVersion, std::uint32_t minorVersion);
// A disk drive's DeviceID that names a physical drive (\\.\PHYSICALDRIVE0), the one kind of name
// the seek-penalty query is asked of.
bool IsPhysicalDriveName(const CString& deviceId);
