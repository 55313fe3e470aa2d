// The four hardware probes: each runs one WMI query on a worker and leaves the conversions to pure
// functions. Only these functions, on the check run's thread, write the fields.
#include <iterator>
#include <memory>

#include "check/check_run.h"
#include "probes/wmi/hardware_text.h"
#include "probes/wmi/wmi_query.h"

namespace {

// A site's file server or a SAN-attached server lists many disks; past this many, the system disk
// is looked for no further and the first one is taken, as on a PC whose disks cannot be matched.
constexpr std::size_t kMaxDiskDrives = 64;
// A volume spans at most a few partitions; more than this is no system drive.
constexpr std::size_t kMaxSystemPartitions = 8;

// Only a PC with more than one disk needs to be told which is the system's.
bool HasSeveralDisks(const WmiAnswer& disks)
{
    return disks.instances.size() > 1;
}

}  // namespace

WmiAnswers CheckRun::AskWmi(WmiRequest request, std::initializer_list<ResultItem> items, const WmiFollowUp* followUp)
{
    WmiAnswers answers;
    answers.first.outcome = {WmiOutcome::Kind::Failed, kWbemSTimedOut};
    // Once WMI has missed a deadline in this run, it is not asked again: the run ends within one
    // deadline of its start however many probes follow.
    if (!m_wmiTimedOut && !m_stopped) {
        request.connectFlags = m_wmiConnectFlags;
        request.nextTimeoutMs = m_wmiDeadlineMs;
        // The worker writes only into an answer it shares, from copies of what it was asked; the run
        // reads it only once the worker has ended, and an abandoned worker keeps it alive for itself.
        auto shared = std::make_shared<WmiAnswers>();
        std::optional<WmiFollowUp> second;
        if (followUp)
            second = *followUp;
        bool saidWaiting = false;
        const WaitEnd end = m_platform.RunWmiTask(
            [shared, request, second](WmiApi& api) {
                if (second)
                    *shared = RunWmiQueries(api, request, *second);
                else
                    shared->first = RunWmiQuery(api, request);
            },
            m_wmiDeadlineMs,
            [&](std::uint32_t elapsedMs) {
                if (!saidWaiting && elapsedMs >= kSlowWaitMs) {
                    m_surface.ShowStatus(WaitingForWmiText(request.query));
                    saidWaiting = true;
                }
                return !m_surface.Closing();
            });
        if (end == WaitEnd::Finished)
            answers = *shared;
        m_stopped = end == WaitEnd::Stopped;
        if (saidWaiting && !m_stopped)
            m_surface.ShowStatus(kCheckingText);
    }
    // The follow-up only refines the first answer: failing, it leaves that answer as it stands, as
    // finding nothing does. Only a missed deadline is the item's failure, since WMI is then stuck.
    if (answers.second && answers.second->outcome.kind == WmiOutcome::Kind::Failed) {
        if (answers.second->outcome.TimedOut())
            answers.first = *answers.second;
        answers.second.reset();
    }
    const WmiOutcome& outcome = answers.first.outcome;
    if (outcome.kind == WmiOutcome::Kind::Failed && !m_stopped) {
        m_wmiTimedOut = m_wmiTimedOut || outcome.TimedOut();
        for (ResultItem item : items)
            m_itemError[item] = static_cast<std::uint32_t>(outcome.status);
    }
    return answers;
}

bool CheckRun::GetHardDriveInfo()
{
    bool solidState = false;
    m_nHardDriveSizeGB = 0;
    WmiRequest request{u"Select * from Win32_DiskDrive", {u"Model", u"Size", u"Index", u"DeviceID"}, 0, 0, 1};
    request.maxInstances = kMaxDiskDrives;
    WmiFollowUp partitions{HasSeveralDisks, SystemDrivePartitionsQuery(m_platform.WindowsFolder()), {u"DiskIndex"},
                           kMaxSystemPartitions};
    const WmiAnswers answers = AskWmi(request, {kItemHardDrive}, partitions.query.empty() ? nullptr : &partitions);
    if (answers.first.outcome.kind == WmiOutcome::Kind::Failed) {
        m_strHardDrive = WmiErrorText(answers.first.outcome.status);
        return false;
    }
    std::size_t position = 0;
    if (answers.second) {
        std::vector<std::optional<std::int64_t>> diskIndexes, partitionDiskIndexes;
        for (const WmiInstance& disk : answers.first.instances)
            diskIndexes.push_back(disk.Value(2) ? IntegerValue(*disk.Value(2)) : std::nullopt);
        for (const WmiInstance& partition : answers.second->instances)
            partitionDiskIndexes.push_back(partition.Value(0) ? IntegerValue(*partition.Value(0)) : std::nullopt);
        position = SystemDiskPosition(diskIndexes, partitionDiskIndexes);
    }
    const WmiInstance none;
    const WmiInstance& disk = position < answers.first.instances.size() ? answers.first.instances[position] : none;
    if (const WmiValue* model = disk.Value(0)) {
        if (auto text = TextValue(*model))
            solidState = IsSolidStateModel(*text);
    }
    // Many NVMe drives name no "SSD": Windows 7 and later say of the disk itself that it has no
    // seek penalty. Wine answers no such query, and an older Windows knows no such property.
    if (!solidState && m_asksSeekPenalty && disk.Value(3)) {
        const auto device = TextValue(*disk.Value(3));
        if (device && IsPhysicalDriveName(*device))
            solidState = m_platform.QuerySeekPenalty(*device) == SeekPenalty::None;
    }
    if (disk.Value(1)) {
        if (disk.int64Status != 0) {
            m_strHardDrive = DriveReadFailedText(disk.int64Status);
            m_itemError[kItemHardDrive] = static_cast<std::uint32_t>(disk.int64Status);
        } else {
            const DriveSize size = DriveSizeFromBytes(disk.int64Value, solidState);
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
                                    {kItemManufacturer, kItemUserName})
                                 .first;
    if (answer.outcome.kind == WmiOutcome::Kind::Failed) {
        for (CString* field : fields)
            *field = WmiErrorText(answer.outcome.status);
        return;
    }
    for (std::size_t index = 0; index < std::size(fields); ++index) {
        if (const WmiValue* value = answer.First().Value(index)) {
            if (auto text = TextValue(*value))
                *fields[index] = *text;
        }
    }
}

void CheckRun::GetBiosReleaseDate()
{
    m_nBiosYear = 0;
    const WmiAnswer answer = AskWmi({u"Select * from Win32_BIOS", {u"ReleaseDate"}}, {kItemBios}).first;
    if (answer.outcome.kind == WmiOutcome::Kind::Failed) {
        m_strBiosVersion = WmiErrorText(answer.outcome.status);
        return;
    }
    const WmiValue* value = answer.First().Value(0);
    if (!value)
        return;
    auto text = TextValue(*value);
    auto date = text ? ParseReleaseDate(*text) : std::nullopt;
    if (!date)
        return;
    m_nBiosYear = date->year;
    m_strBiosVersion = date->text;
}

void CheckRun::GetProcessorSpeed(double* speedGhz)
{
    const WmiAnswer answer = AskWmi({u"Select * from Win32_Processor", {u"MaxClockSpeed"}}, {kItemProcessor}).first;
    if (answer.outcome.kind == WmiOutcome::Kind::Failed) {
        m_strProcessor = WmiErrorText(answer.outcome.status);
        return;
    }
    const WmiValue* value = answer.First().Value(0);
    if (!value || value->variantType != WmiValue::kI4)
        return;
    *speedGhz = GigahertzFromMegahertz(static_cast<std::int32_t>(value->integer));
    m_strProcessor = GigahertzText(*speedGhz);
}
