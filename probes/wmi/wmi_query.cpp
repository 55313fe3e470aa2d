#include "probes/wmi/wmi_query.h"

namespace {

constexpr std::int32_t kWbemFlagReturnImmediately = 0x10;
constexpr std::int32_t kWbemFlagForwardOnly = 0x20;
constexpr std::int32_t kWbemFlagConnectUseMaxWait = 0x80;
// A call that succeeded without handing out its interface is reported as E_POINTER.
constexpr HResult kEPointer = static_cast<HResult>(0x80004003);

// Every interface a sequence obtained, given back once when the sequence ends, in the order it was
// obtained: locator, services, then each query's enumerator and its objects.
class Obtained {
public:
    explicit Obtained(WmiApi& api) : api_(api) {}
    ~Obtained()
    {
        for (ComHandle handle : handles_)
            api_.Release(handle);
    }
    Obtained(const Obtained&) = delete;
    Obtained& operator=(const Obtained&) = delete;

    // What a call handed out through `handle`, kept for release; 0 when it handed out nothing.
    ComHandle Keep(ComHandle handle)
    {
        if (handle != 0)
            handles_.push_back(handle);
        return handle;
    }

private:
    WmiApi& api_;
    std::vector<ComHandle> handles_;
};

// Uninitialises COM when the sequence ends, whichever way it ends, but only when the start-up
// succeeded (S_OK, or S_FALSE for an apartment already joined): after RPC_E_CHANGED_MODE the thread
// belongs to an apartment someone else set up (an input method, an accessibility hook), and the
// probe runs in it without tearing it down.
class ComScope {
public:
    explicit ComScope(WmiApi& api) : api_(api), joined_(!Failed(api_.InitializeCom())) {}
    ~ComScope()
    {
        if (joined_)
            api_.UninitializeCom();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    WmiApi& api_;
    bool joined_;
};

WmiAnswer Failure(HResult status)
{
    WmiAnswer answer;
    answer.outcome = {WmiOutcome::Kind::Failed, status};
    return answer;
}

// A call that succeeded but handed out no interface fails as E_POINTER.
HResult Obtain(HResult status, ComHandle handle)
{
    return Failed(status) ? status : handle == 0 ? kEPointer : status;
}

// One query on an open connection: up to `maxInstances` instances, each property read in turn.
WmiAnswer Query(WmiApi& api, Obtained& obtained, ComHandle services, const CString& query,
                const std::vector<const char16_t*>& properties, std::size_t maxInstances, int int64Property,
                std::uint32_t nextTimeoutMs)
{
    // A forward-only enumerator cannot be reset, and needs no reset: it starts at the first instance.
    ComHandle enumerator = 0;
    HResult status = api.ExecQuery(services, u"WQL", query, kWbemFlagReturnImmediately | kWbemFlagForwardOnly,
                                   enumerator);
    if (Failed(status = Obtain(status, obtained.Keep(enumerator))))
        return Failure(status);
    WmiAnswer answer;
    while (answer.instances.size() < maxInstances) {
        ComHandle object = 0;
        std::uint32_t returned = 0;
        status = api.Next(enumerator, nextTimeoutMs, object, returned);
        obtained.Keep(object);
        // An instance missed part-way leaves the set incomplete: what was read cannot be chosen from.
        if (Failed(status) || status == kWbemSTimedOut)
            return Failure(status);
        if (returned == 0 || object == 0)
            break;
        WmiInstance& instance = answer.instances.emplace_back();
        instance.values.resize(properties.size());
        for (std::size_t index = 0; index < properties.size(); ++index) {
            WmiValue value;
            if (Failed(api.Get(object, properties[index], value)))
                continue;
            if (static_cast<int>(index) == int64Property)
                instance.int64Status = api.ChangeTypeToInt64(value, instance.int64Value);
            instance.values[index] = std::move(value);
        }
    }
    answer.outcome = {answer.instances.empty() ? WmiOutcome::Kind::NoInstance : WmiOutcome::Kind::Read, 0};
    return answer;
}

// COM, its security, the locator and the connection: the steps every sequence shares.
HResult Connect(WmiApi& api, Obtained& obtained, std::int32_t connectFlags, ComHandle& services)
{
    // A process may set its COM security only once: from the second probe on Windows answers
    // RPC_E_TOO_LATE, which means the security is already in place.
    HResult status = api.InitializeSecurity();
    if (Failed(status) && status != kRpcETooLate)
        return status;
    ComHandle locator = 0;
    status = api.CreateLocator(locator);
    if (Failed(status = Obtain(status, obtained.Keep(locator))))
        return status;
    status = api.ConnectServer(locator, u"root\\cimv2", connectFlags, services);
    if (Failed(status = Obtain(status, obtained.Keep(services))))
        return status;
    // Where the blanket cannot be set the process's own security, set at its start, stands: the
    // query may still be answered, and its own failure says more than this one would.
    api.SetProxySecurity(services);
    return status;
}

WmiAnswers Run(WmiApi& api, const WmiRequest& request, const WmiFollowUp* followUp)
{
    WmiAnswers answers;
    ComScope com(api);
    Obtained obtained(api);
    ComHandle services = 0;
    const HResult status = Connect(api, obtained, request.connectFlags, services);
    if (Failed(status)) {
        answers.first = Failure(status);
        return answers;
    }
    answers.first = Query(api, obtained, services, request.query, request.properties, request.maxInstances,
                          request.int64Property, request.nextTimeoutMs);
    if (followUp && answers.first.outcome.kind == WmiOutcome::Kind::Read && followUp->asksAgain(answers.first))
        answers.second = Query(api, obtained, services, followUp->query, followUp->properties,
                               followUp->maxInstances, -1, request.nextTimeoutMs);
    return answers;
}

}  // namespace

CString WmiErrorText(HResult status)
{
    return Format(u"Error 0x%x", {static_cast<std::uint32_t>(status)});
}

std::int32_t WmiConnectFlags(std::uint32_t majorVersion)
{
    return majorVersion >= 6 ? kWbemFlagConnectUseMaxWait : 0;
}

const WmiInstance& WmiAnswer::First() const
{
    static const WmiInstance kNothingRead;
    return instances.empty() ? kNothingRead : instances.front();
}

WmiAnswer RunWmiQuery(WmiApi& api, const WmiRequest& request)
{
    return Run(api, request, nullptr).first;
}

WmiAnswers RunWmiQueries(WmiApi& api, const WmiRequest& request, const WmiFollowUp& followUp)
{
    return Run(api, request, &followUp);
}
