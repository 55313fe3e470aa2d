#include "probes/wmi/wmi_query.h"

namespace {

constexpr std::int32_t kWbemFlagReturnImmediately = 0x10;
constexpr std::int32_t kWbemFlagForwardOnly = 0x20;
constexpr std::int32_t kWbemFlagConnectUseMaxWait = 0x80;
// A call that succeeded without handing out its interface is reported as E_POINTER.
constexpr HResult kEPointer = static_cast<HResult>(0x80004003);

// Holds one interface handle and gives it back to the platform exactly once.
class ComRef {
public:
    explicit ComRef(WmiApi& api) : api_(api) {}
    ~ComRef() { Release(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    ComHandle& Out() { return handle_; }
    ComHandle get() const { return handle_; }
    explicit operator bool() const { return handle_ != 0; }
    void Release()
    {
        if (handle_ != 0)
            api_.Release(handle_);
        handle_ = 0;
    }

private:
    WmiApi& api_;
    ComHandle handle_ = 0;
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

// The four interfaces of one sequence. Members are destroyed in reverse order, so they are
// released as locator, services, enumerator, object.
struct Interfaces {
    explicit Interfaces(WmiApi& api) : object(api), enumerator(api), services(api), locator(api) {}
    ComRef object;
    ComRef enumerator;
    ComRef services;
    ComRef locator;
};

WmiAnswer Failure(WmiAnswer& answer, HResult status)
{
    answer.outcome = {WmiOutcome::Kind::Failed, status};
    return answer;
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

WmiAnswer RunWmiQuery(WmiApi& api, const WmiRequest& request)
{
    WmiAnswer answer;
    answer.values.resize(request.properties.size());
    ComScope com(api);
    // A process may set its COM security only once: from the second probe on Windows answers
    // RPC_E_TOO_LATE, which means the security is already in place.
    HResult status = api.InitializeSecurity();
    if (Failed(status) && status != kRpcETooLate)
        return Failure(answer, status);

    Interfaces interfaces(api);
    status = api.CreateLocator(interfaces.locator.Out());
    if (Failed(status) || !interfaces.locator)
        return Failure(answer, Failed(status) ? status : kEPointer);
    status = api.ConnectServer(interfaces.locator.get(), u"root\\cimv2", request.connectFlags,
                               interfaces.services.Out());
    if (Failed(status) || !interfaces.services)
        return Failure(answer, Failed(status) ? status : kEPointer);
    // A forward-only enumerator cannot be reset, and needs no reset: it starts at the first instance.
    status = api.ExecQuery(interfaces.services.get(), u"WQL", request.query,
                           kWbemFlagReturnImmediately | kWbemFlagForwardOnly, interfaces.enumerator.Out());
    if (Failed(status) || !interfaces.enumerator)
        return Failure(answer, Failed(status) ? status : kEPointer);
    std::uint32_t returned = 0;
    status = api.Next(interfaces.enumerator.get(), request.nextTimeoutMs, interfaces.object.Out(), returned);
    if (Failed(status) || status == kWbemSTimedOut)
        return Failure(answer, status);
    if (returned == 0 || !interfaces.object) {
        answer.outcome = {WmiOutcome::Kind::NoInstance, status};
        return answer;
    }

    for (std::size_t index = 0; index < request.properties.size(); ++index) {
        WmiValue value;
        if (Failed(api.Get(interfaces.object.get(), request.properties[index], value)))
            continue;
        if (static_cast<int>(index) == request.int64Property)
            answer.int64Status = api.ChangeTypeToInt64(value, answer.int64Value);
        answer.values[index] = std::move(value);
    }
    answer.outcome = {WmiOutcome::Kind::Read, 0};
    return answer;
}
