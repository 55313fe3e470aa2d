// The four hardware probes that read WMI.
//
// They do not query WMI yet: each leaves its fields as the dialog created them.
#include "check/check_run.h"

bool CheckRun::GetHardDriveInfo()
{
    m_nHardDriveSizeGB = 0;
    return false;
}

void CheckRun::GetComputerSystemInfo() {}

void CheckRun::GetBiosReleaseDate()
{
    m_nBiosYear = 0;
}

void CheckRun::GetProcessorSpeed(double*) {}
