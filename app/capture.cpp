#include "app/capture.h"

#include <chrono>
#include <cstdio>

#include "check/rules.h"

namespace {

std::string Number(std::uint64_t value)
{
    return std::to_string(value);
}

std::string Status(std::int64_t status)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(status));
    return text;
}

std::string Fields(const SystemRecord& r)
{
    return Number(r.processorArchitecture) + " " + Number(r.reserved) + " " + Number(r.pageSize) + " " +
           Number(r.minimumApplicationAddress) + " " + Number(r.maximumApplicationAddress) + " " +
           Number(r.activeProcessorMask) + " " + Number(r.numberOfProcessors) + " " + Number(r.processorType) + " " +
           Number(r.allocationGranularity) + " " + Number(r.processorLevel) + " " + Number(r.processorRevision);
}

// How long since `start`, in whole milliseconds: what a slow WMI looked like on the PC.
std::string Milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::to_string(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

bool IsUserNameQuery(const CString& query)
{
    return query.find(u"Win32_ComputerSystem") != CString::npos;
}

// The task's WMI, each answer recorded as it passes. Only one query is under way at a time on it.
class CapturingWmi : public WmiApi {
public:
    CapturingWmi(WmiApi& inner, std::shared_ptr<CapturingPlatform::Record> capture, int sequence, bool keepUser)
        : inner_(inner), capture_(std::move(capture)), sequence_(std::to_string(sequence)), keepUser_(keepUser)
    {
    }

    HResult InitializeCom() override { return Step("com", inner_.InitializeCom()); }
    HResult InitializeSecurity() override { return Step("security", inner_.InitializeSecurity()); }
    HResult InitializeProcessSecurity(bool windowThread) override { return inner_.InitializeProcessSecurity(windowThread); }
    HResult SetProxySecurity(ComHandle proxy) override { return inner_.SetProxySecurity(proxy); }
    void UninitializeCom() override { inner_.UninitializeCom(); }
    HResult CreateLocator(ComHandle& locator) override { return Step("locator", inner_.CreateLocator(locator)); }
    HResult ConnectServer(ComHandle locator, const CString& path, std::int32_t flags, ComHandle& services) override
    {
        return Step("connect", inner_.ConnectServer(locator, path, flags, services));
    }
    HResult ExecQuery(ComHandle services, const CString& language, const CString& query, std::int32_t flags,
                      ComHandle& enumerator) override
    {
        const auto start = std::chrono::steady_clock::now();
        const HResult status = inner_.ExecQuery(services, language, query, flags, enumerator);
        userQuery_ = IsUserNameQuery(query);
        capture_->Add("query " + sequence_ + " " + Status(status) + " " + CaptureQuoted(query) + " " +
                      Milliseconds(start) + " ms");
        return status;
    }
    HResult Next(ComHandle enumerator, std::uint32_t timeout, ComHandle& object, std::uint32_t& returned) override
    {
        const HResult status = inner_.Next(enumerator, timeout, object, returned);
        if (Failed(status))
            capture_->Add("next-fails " + sequence_ + " " + Status(status));
        else if (returned != 0)
            capture_->Add("instance " + sequence_);
        return status;
    }
    HResult Get(ComHandle object, const CString& property, WmiValue& value) override
    {
        const HResult status = inner_.Get(object, property, value);
        CString text = value.text;
        if (userQuery_ && !keepUser_ && property == u"UserName" && value.variantType == WmiValue::kBstr)
            text = CapturedUserName(text);
        char real[40];
        std::snprintf(real, sizeof real, "%.17g", value.real);
        capture_->Add("get " + sequence_ + " " + Status(status) + " " + CaptureQuoted(property) + " " +
                     Number(value.variantType) + " " + std::to_string(value.integer) + " " + real + " " +
                     CaptureQuoted(text));
        return status;
    }
    HResult ChangeTypeToInt64(const WmiValue& value, std::int64_t& result) override
    {
        return inner_.ChangeTypeToInt64(value, result);
    }
    void Release(ComHandle handle) override { inner_.Release(handle); }

private:
    HResult Step(const char* step, HResult status)
    {
        // Only what went wrong: a sequence that succeeded replays from its answers alone.
        if (Failed(status))
            capture_->Add(std::string("step ") + sequence_ + " " + step + " " + Status(status));
        return status;
    }

    WmiApi& inner_;
    std::shared_ptr<CapturingPlatform::Record> capture_;
    const std::string sequence_;
    const bool keepUser_;
    bool userQuery_ = false;
};

// The serial-device map's names, recorded as they are listed.
class CapturingNames : public RegistryValueNames {
public:
    CapturingNames(std::unique_ptr<RegistryValueNames> inner, std::shared_ptr<CapturingPlatform::Record> capture)
        : inner_(std::move(inner)), capture_(std::move(capture))
    {
    }
    std::int32_t EnumValueName(std::uint32_t index, char16_t* name, std::uint32_t* capacity) override
    {
        const std::int32_t status = inner_->EnumValueName(index, name, capacity);
        if (status == 0)
            capture_->Add("serial " + CaptureQuoted(CString(name, *capacity)));
        return status;
    }

private:
    std::unique_ptr<RegistryValueNames> inner_;
    std::shared_ptr<CapturingPlatform::Record> capture_;
};

}  // namespace

CString CapturedUserName(const CString& userName)
{
    if (userName.empty())
        return userName;
    // Any account prefix passes as well as another: the first stands for the one the PC had.
    return PassesUserName(userName) ? u"CAPTURED\\" + CString(kAccountPrefixes[0]) + u"-USER" : u"CAPTURED\\USER";
}

std::string CaptureQuoted(const CString& text)
{
    std::string quoted = "\"";
    for (const char16_t unit : text) {
        if (unit == u'"' || unit == u'\\') {
            quoted += '\\';
            quoted += static_cast<char>(unit);
        } else if (unit >= 0x20 && unit < 0x7f) {
            quoted += static_cast<char>(unit);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
            quoted += escape;
        }
    }
    return quoted + "\"";
}

CapturingPlatform::CapturingPlatform(Platform& inner, bool keepUser) : inner_(inner), keepUser_(keepUser) {}

void CapturingPlatform::Record::Add(std::string line)
{
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
    lines.push_back(std::move(line));
    busy.clear(std::memory_order_release);
}

std::vector<std::string> CapturingPlatform::Record::Lines()
{
    while (busy.test_and_set(std::memory_order_acquire)) {
    }
    std::vector<std::string> copy = lines;
    busy.clear(std::memory_order_release);
    return copy;
}

std::string CapturingPlatform::Text(const RunResults& results) const
{
    std::string text = std::string(kCaptureHeader) + "\n";
    for (const std::string& line : record_->Lines())
        text += line + "\n";
    // The report as the run wrote it, the user's name as the capture keeps it.
    RunResults shown = results;
    if (!keepUser_ && !shown.items[kItemUserName].error)
        shown.items[kItemUserName].value = CapturedUserName(shown.items[kItemUserName].value);
    for (const CString& line : ReportLines(shown))
        text += "report " + CaptureQuoted(line) + "\n";
    return text;
}

bool CapturingPlatform::GetVersionRecord(VersionRecord& record)
{
    const bool got = inner_.GetVersionRecord(record);
    Add(got ? "version " + Number(record.osVersionInfoSize) + " " + Number(record.majorVersion) + " " +
                  Number(record.minorVersion) + " " + Number(record.buildNumber) + " " + Number(record.platformId) +
                  " " + Number(record.suiteMask) + " " + Number(record.productType) + " " +
                  CaptureQuoted(record.csdVersion)
            : "version fails");
    return got;
}

bool CapturingPlatform::GetNativeSystemRecord(SystemRecord& record)
{
    const bool got = inner_.GetNativeSystemRecord(record);
    Add(got ? "native-system " + Fields(record) : "native-system absent");
    return got;
}

void CapturingPlatform::GetSystemRecord(SystemRecord& record)
{
    inner_.GetSystemRecord(record);
    Add("system " + Fields(record));
}

bool CapturingPlatform::GetNativeMachine(std::uint16_t& machine)
{
    const bool got = inner_.GetNativeMachine(machine);
    Add(got ? "native-machine " + Number(machine) : "native-machine absent");
    return got;
}

CString CapturingPlatform::WindowsFolder()
{
    const CString folder = inner_.WindowsFolder();
    Add("windows-folder " + CaptureQuoted(folder));
    return folder;
}

SeekPenalty CapturingPlatform::QuerySeekPenalty(const CString& device)
{
    const SeekPenalty answer = inner_.QuerySeekPenalty(device);
    Add("seek-penalty " + CaptureQuoted(device) + " " +
        (answer == SeekPenalty::None ? "none" : answer == SeekPenalty::Incurs ? "incurs" : "no-answer"));
    return answer;
}

int CapturingPlatform::GetSystemMetric(int index)
{
    const int value = inner_.GetSystemMetric(index);
    Add("metric " + std::to_string(index) + " " + std::to_string(value));
    return value;
}

bool CapturingPlatform::GetProductInfo(std::uint32_t major, std::uint32_t minor, std::uint32_t& productType)
{
    const bool got = inner_.GetProductInfo(major, minor, productType);
    Add(got ? "product-info " + Number(productType) : "product-info fails");
    return got;
}

bool CapturingPlatform::LocalMachineKeyExists(const CString& subkey)
{
    const bool exists = inner_.LocalMachineKeyExists(subkey);
    Add("key " + CaptureQuoted(subkey) + (exists ? " present" : " absent"));
    return exists;
}

std::unique_ptr<RegistryValueNames> CapturingPlatform::OpenLocalMachineKey(const CString& subkey)
{
    std::unique_ptr<RegistryValueNames> names = inner_.OpenLocalMachineKey(subkey);
    if (!names) {
        Add("serial-map absent");
        return names;
    }
    return std::make_unique<CapturingNames>(std::move(names), record_);
}

void CapturingPlatform::GetPhysicalMemoryStatus(std::uint64_t& totalBytes, std::uint64_t& availableBytes)
{
    inner_.GetPhysicalMemoryStatus(totalBytes, availableBytes);
    Add("memory " + Number(totalBytes) + " " + Number(availableBytes));
}

CString CapturingPlatform::GetSystemLocaleLanguage()
{
    const CString locale = inner_.GetSystemLocaleLanguage();
    Add("locale " + CaptureQuoted(locale));
    return locale;
}

WaitEnd CapturingPlatform::RunWmiTask(std::function<void(WmiApi&)> task, std::uint32_t milliseconds,
                                      const std::function<bool(std::uint32_t elapsedMs)>& waiting)
{
    const int sequence = ++sequence_;
    const bool keepUser = keepUser_;
    const auto start = std::chrono::steady_clock::now();
    // The task may outlive the wait (abandoned at its deadline), so it holds the record itself.
    const WaitEnd end = inner_.RunWmiTask(
        [record = record_, task = std::move(task), sequence, keepUser](WmiApi& api) {
            CapturingWmi capturing(api, record, sequence, keepUser);
            task(capturing);
        },
        milliseconds, waiting);
    Add("task " + std::to_string(sequence) + " " +
        (end == WaitEnd::Finished ? "finished" : end == WaitEnd::TimedOut ? "timed-out" : "stopped") + " " +
        Milliseconds(start) + " ms");
    return end;
}
