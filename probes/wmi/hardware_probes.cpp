// The four hardware probes: each runs one WMI query and leaves the conversions to pure functions.
#include "check/check_run.h"
#include "probes/wmi/hardware_text.h"
#include "probes/wmi/wmi_query.h"

bool CheckRun::GetHardDriveInfo()
{
    bool solidState = false;
    m_nHardDriveSizeGB = 0;
    const WmiOutcome outcome = RunWmiQuery(
        m_platform.Wmi(), u"Select * from Win32_DiskDrive", {u"Model", u"Size"},
        [&](std::size_t index, const WmiValue& value) {
            if (index == 0) {
                if (auto model = TextValue(value))
                    solidState = IsSolidStateModel(*model);
                return;
            }
            std::int64_t bytes = 0;
            const HResult status = m_platform.Wmi().ChangeTypeToInt64(value, bytes);
            if (status != 0) {
                m_strHardDrive = DriveReadFailedText(status);
                return;
            }
            const DriveSize size = DriveSizeFromBytes(bytes, solidState);
            m_nHardDriveSizeGB = size.gigabytes;
            m_strHardDrive = size.text;
        });
    if (outcome.kind == WmiOutcome::Kind::Failed) {
        m_strHardDrive = WmiErrorText(outcome.status);
        return false;
    }
    return solidState;
}

void CheckRun::GetComputerSystemInfo()
{
    CString* const fields[] = {&m_strManufacturer, &m_strModel, &m_strUserName};
    const WmiOutcome outcome = RunWmiQuery(
        m_platform.Wmi(), u"Select * from Win32_ComputerSystem", {u"Manufacturer", u"Model", u"UserName"},
        [&](std::size_t index, const WmiValue& value) {
            if (auto text = TextValue(value))
                *fields[index] = *text;
        });
    if (outcome.kind == WmiOutcome::Kind::Failed) {
        for (CString* field : fields)
            *field = WmiErrorText(outcome.status);
    }
}

void CheckRun::GetBiosReleaseDate()
{
    m_nBiosYear = 0;
    const WmiOutcome outcome = RunWmiQuery(
        m_platform.Wmi(), u"Select * from Win32_BIOS", {u"ReleaseDate"},
        [&](std::size_t, const WmiValue& value) {
            auto text = TextValue(value);
            auto date = text ? ParseReleaseDate(*text) : std::nullopt;
            if (!date)
                return;
            m_nBiosYear = date->year;
            m_strBiosVersion = date->text;
        });
    if (outcome.kind == WmiOutcome::Kind::Failed)
        m_strBiosVersion = WmiErrorText(outcome.status);
}

void CheckRun::GetProcessorSpeed(double* speedGhz)
{
    const WmiOutcome outcome = RunWmiQuery(
        m_platform.Wmi(), u"Select * from Win32_Processor", {u"MaxClockSpeed"},
        [&](std::size_t, const WmiValue& value) {
            if (value.variantType != WmiValue::kI4)
                return;
            *speedGhz = GigahertzFromMegahertz(static_cast<std::int32_t>(value.integer));
            m_strProcessor = GigahertzText(*speedGhz);
        });
    if (outcome.kind == WmiOutcome::Kind::Failed)
        m_strProcessor = WmiErrorText(outcome.status);
}
