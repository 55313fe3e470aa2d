// Operating-system identification, serial ports, memory and locale.
//
// These probes do not read the platform yet: each leaves its fields as the dialog created them, so
// the operating system counts as unrecognised and the hardware and serial probes are skipped.
#include "check/check_run.h"

bool CheckRun::GetOperatingSystemName(SystemRecord, VersionRecord, bool* recognisedOs)
{
    *recognisedOs = false;
    return false;
}

void CheckRun::GetSerialPortCount(std::int32_t* count)
{
    *count = 0;
}

void CheckRun::GetPhysicalMemory() {}

void CheckRun::GetLocaleLanguage() {}
