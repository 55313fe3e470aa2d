// The four hardware probes: each runs one WMI query on a worker and leaves the conversions to pure
// functions. Only these functions, on the check run's thread, write the fields.
#include <memory>

#include "check/check_run.h"
#include "probes/wmi/hardware_text.h"
#include "probes/wmi/wmi_query.h"

WmiAnswer CheckRun::AskWmi(WmiRequest request, std::initializer_list<ResultItem> items)
{
    WmiAnswer answer;
    answer.values.resize(request.properties.size());
    answer.outcome = {WmiOutcome::Kind::Failed, kWbemSTimedOut};
    // Once WMI has missed a deadline in this run, it is not asked again: the run ends within one
    // deadline of its start however many probes follow.
    if (!m_wmiTimedOut && !m_stopped) {
        request.connectFlags = m_wmiConnectFlags;
        request.nextTimeoutMs = m_wmiDeadlineMs;
        // The worker writes only into an answer it shares; the run reads it only once the worker
        // has ended, and an abandoned worker keeps it alive for itself.
        auto shared = std::make_shared<WmiAnswer>();
        bool saidWaiting = false;
        const WaitEnd end = m_platform.RunWmiTask(
            [shared, request](WmiApi& api) { *shared = RunWmiQuery(api, request); }, m_wmiDeadlineMs,
            [&](std::uint32_t elapsedMs) {
                if (!saidWaiting && elapsedMs >= kSlowWaitMs) {
                    m_surface.ShowStatus(WaitingForWmiText(request.query));
                    saidWaiting = true;
                }
                return !m_surface.Closing();
            });
        if (end == WaitEnd::Finished)
            answer = *shared;
        m_stopped = end == WaitEnd::Stopped;
        if (saidWaiting && !m_stopped)
            m_surface.ShowStatus(kCheckingText);
    }
    if (answer.outcome.TimedOut() && !m_stopped) {
        m_wmiTimedOut = true;
        for (ResultItem item : items)
            m_itemTimedOut[item] = true;
    }
    return answer;
}

bool CheckRun::GetHardDriveInfo()
{
    bool solidState = false;
    m_nHardDriveSizeGB = 0;
    const WmiAnswer answer = AskWmi({u"Select * from Win32_DiskDrive", {u"Model", u"Size"}, 0, 0, 1}, {kItemHardDrive});
    if (answer.outcome.kind == WmiOutcome::Kind::Failed) {
        m_strHardDrive = WmiErrorText(answer.outcome.status);
        return false;
    }
    if (const auto& model = answer.values[0]) {
        if (auto text = TextValue(*model))
            solidState = IsSolidStateModel(*text);
    }
    if (answer.values[1]) {
        if (answer.int64Status != 0) {
            m_strHardDrive = DriveReadFailedText(answer.int64Status);
        } else {
            const DriveSize size = DriveSizeFromBytes(answer.int64Value, solidState);
            m_nHardDriveSizeGB = size.gigabytes;
            m_strHardDrive = size.text;
        }
    }
    return solidState;
}

void CheckRun::GetComputerSystemInfo()
{
    CString* const fields[] = {&m_strManufacturer, &m_strModel, &m_strUserName};
    const WmiAnswer answer = AskWmi({u"Select * from Win32_ComputerSystem", {u"Manufacturer", u"Model", u"UserName"}},
                                    {kItemManufacturer, kItemUserName});
    if (answer.outcome.kind == WmiOutcome::Kind::Failed) {
        for (CString* field : fields)
            *field = WmiErrorText(answer.outcome.status);
        return;
    }
    for (std::size_t index = 0; index < answer.values.size(); ++index) {
        if (!answer.values[index])
            continue;
        if (auto text = TextValue(*answer.values[index]))
            *fields[index] = *text;
    }
}

void CheckRun::GetBiosReleaseDate()
{
    m_nBiosYear = 0;
    const WmiAnswer answer = AskWmi({u"Select * from Win32_BIOS", {u"ReleaseDate"}}, {kItemBios});
    if (answer.outcome.kind == WmiOutcome::Kind::Failed) {
        m_strBiosVersion = WmiErrorText(answer.outcome.status);
        return;
    }
    if (!answer.values[0])
        return;
    auto text = TextValue(*answer.values[0]);
    auto date = text ? ParseReleaseDate(*text) : std::nullopt;
    if (!date)
        return;
    m_nBiosYear = date->year;
    m_strBiosVersion = date->text;
}

void CheckRun::GetProcessorSpeed(double* speedGhz)
{
    const WmiAnswer answer = AskWmi({u"Select * from Win32_Processor", {u"MaxClockSpeed"}}, {kItemProcessor});
    if (answer.outcome.kind == WmiOutcome::Kind::Failed) {
        m_strProcessor = WmiErrorText(answer.outcome.status);
        return;
    }
    const auto& value = answer.values[0];
    if (!value || value->variantType != WmiValue::kI4)
        return;
    *speedGhz = GigahertzFromMegahertz(static_cast<std::int32_t>(value->integer));
    m_strProcessor = GigahertzText(*speedGhz);
}
