#include "check/listing.h"

// "%d" reads every 32-bit field as signed, so a mask or address with its top bit set prints negative,
// as in the reports that other PCs already hold. 16-bit fields widen without sign.
std::array<CString, kSystemInformationLineCount> SystemInformationLines(const SystemRecord& system,
                                                                         const VersionRecord& version)
{
    return {{
        Format(u"Active Process Mask:  %d", {system.activeProcessorMask}),
        Format(u"Allocation Granularity:  %d", {system.allocationGranularity}),
        Format(u"Number of Processors:  %d", {system.numberOfProcessors}),
        Format(u"OEM ID:  %d", {system.OemId()}),
        Format(u"Page Size:  %d", {system.pageSize}),
        Format(u"Processor Type:  %d", {system.processorType}),
        Format(u"Max Application Address:  %d", {system.maximumApplicationAddress}),
        Format(u"Min Application Address:  %d", {system.minimumApplicationAddress}),
        Format(u"Processor Architecture:  %d", {system.processorArchitecture}),
        Format(u"Processor Level:  %d", {system.processorLevel}),
        Format(u"Processor Revision:  %d", {system.processorRevision}),
        Format(u"OS Build Number:  %d", {version.buildNumber}),
        Format(u"OS Major Version:  %d", {version.majorVersion}),
        Format(u"OS Minor Verison:  %d", {version.minorVersion}),
        Format(u"OS Version Info Size:  %d", {version.osVersionInfoSize}),
        Format(u"Platform ID:  %d", {version.platformId}),
        Format(u"CSD Version:  %s", {version.csdVersion}),
    }};
}
