// A WMI service made of fixed instances. Any step of any query sequence can fail or never return
// (until the test lets it); every call is recorded, and every handle handed out is tracked until it
// is released.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/wmi_api.h"
#include "tests/fakes/fake_worker.h"

class FakeWmi : public WmiApi {
public:
    enum class Step { InitializeCom, Security, CreateLocator, Connect, ExecQuery, Next, Get };

    using Instance = std::map<CString, WmiValue>;

    static WmiValue Text(const CString& text)
    {
        WmiValue value;
        value.variantType = WmiValue::kBstr;
        value.text = text;
        return value;
    }
    static WmiValue Int32(std::int32_t number)
    {
        WmiValue value;
        value.variantType = WmiValue::kI4;
        value.integer = number;
        return value;
    }
    static WmiValue Null()
    {
        WmiValue value;
        value.variantType = WmiValue::kNull;
        return value;
    }

    // Instances each query answers with, in enumeration order.
    std::map<CString, std::vector<Instance>> instances;
    // Step -> status, for the sequence with this index (0 for the first probe) or for all (-1).
    struct Failure {
        int sequence;
        Step step;
        HResult status;
        bool withoutHandle = false;  // succeed but hand out no interface
    };
    std::vector<Failure> failures;
    // Queries whose ExecQuery fails, with the status it returns.
    std::map<CString, HResult> failingQueries;
    // Properties whose Get fails, with the status it returns.
    std::map<CString, HResult> failingGets;
    // What CoInitializeSecurity returns from the second sequence on, as Windows does.
    std::optional<HResult> laterSecurityStatus;
    // What CoSetProxyBlanket returns: E_NOINTERFACE for an in-process provider, as Wine's is.
    HResult proxySecurityStatus = 0;
    // A step of the sequence with this index (-1: every one) that does not return until
    // ReleaseHangs, as a hung provider's call; then it goes on as usual.
    struct Hang {
        int sequence;
        Step step;
    };
    std::optional<Hang> hang;
    void ReleaseHangs() { hangGate_.Open(); }

    std::vector<std::string> calls;
    int initializeCount = 0;
    int uninitializeCount = 0;
    int joinedApartments = 0;  // successful initialisations not yet uninitialised
    int sequence = -1;

    // Handles handed out and not yet released; releases of, and calls through, handles that were
    // not live.
    std::map<ComHandle, std::string> live;
    std::vector<std::string> faults;
    std::vector<std::string> releaseOrder;

    HResult InitializeCom() override
    {
        ++sequence;
        ++initializeCount;
        calls.push_back("CoInitializeEx");
        HangIfAsked(Step::InitializeCom);
        const HResult status = FailureFor(Step::InitializeCom).value_or(0);
        if (status >= 0)
            ++joinedApartments;
        return status;
    }

    HResult InitializeSecurity() override
    {
        calls.push_back("CoInitializeSecurity");
        HangIfAsked(Step::Security);
        if (auto failure = FailureFor(Step::Security))
            return *failure;
        if (sequence > 0 && laterSecurityStatus)
            return *laterSecurityStatus;
        return 0;
    }

    HResult InitializeProcessSecurity(bool windowThread) override
    {
        calls.push_back(windowThread ? "CoInitializeEx apartment" : "CoInitializeEx multithreaded");
        calls.push_back("CoInitializeSecurity");
        return 0;
    }

    HResult SetProxySecurity(ComHandle proxy) override
    {
        calls.push_back("CoSetProxyBlanket");
        Use(proxy, "services");
        return proxySecurityStatus;
    }

    void UninitializeCom() override
    {
        ++uninitializeCount;
        calls.push_back("CoUninitialize");
        // Windows would tear down an apartment that the thread joined elsewhere.
        if (joinedApartments == 0)
            faults.push_back("CoUninitialize without a successful CoInitializeEx");
        else
            --joinedApartments;
    }

    HResult CreateLocator(ComHandle& locator) override
    {
        calls.push_back("CreateLocator");
        HangIfAsked(Step::CreateLocator);
        return Issue(Step::CreateLocator, "locator", locator);
    }

    HResult ConnectServer(ComHandle locator, const CString& path, std::int32_t flags, ComHandle& services) override
    {
        calls.push_back("ConnectServer " + ToUtf8(path) + " " + std::to_string(flags));
        Use(locator, "locator");
        HangIfAsked(Step::Connect);
        return Issue(Step::Connect, "services", services);
    }

    HResult ExecQuery(ComHandle services, const CString& language, const CString& query,
                      std::int32_t flags, ComHandle& enumerator) override
    {
        calls.push_back("ExecQuery " + ToUtf8(language) + " " + ToUtf8(query) + " " +
                        std::to_string(flags));
        Use(services, "services");
        HangIfAsked(Step::ExecQuery);
        query_ = query;
        position_ = 0;
        auto failing = failingQueries.find(query);
        if (failing != failingQueries.end()) {
            enumerator = 0;
            return failing->second;
        }
        return Issue(Step::ExecQuery, "enumerator", enumerator);
    }

    HResult Next(ComHandle enumerator, std::uint32_t timeout, ComHandle& object,
                 std::uint32_t& returned) override
    {
        calls.push_back("Next " + std::to_string(timeout));
        Use(enumerator, "enumerator");
        HangIfAsked(Step::Next);
        returned = 0;
        if (auto failure = FailureFor(Step::Next))
            return *failure;
        const auto& answers = instances[query_];
        if (position_ >= answers.size())
            return 1;  // WBEM_S_FALSE: no more objects
        current_ = answers[position_++];
        returned = 1;
        return Issue(Step::Next, "object", object);
    }

    HResult Get(ComHandle object, const CString& property, WmiValue& value) override
    {
        calls.push_back("Get " + ToUtf8(property));
        Use(object, "object");
        HangIfAsked(Step::Get);
        auto failing = failingGets.find(property);
        if (failing != failingGets.end())
            return failing->second;
        auto found = current_.find(property);
        if (found == current_.end())
            return static_cast<HResult>(0x80041002);  // WBEM_E_NOT_FOUND
        value = found->second;
        return 0;
    }

    // VariantChangeTypeEx to VT_I8 for the types a property can arrive in.
    HResult ChangeTypeToInt64(const WmiValue& value, std::int64_t& result) override
    {
        calls.push_back("ChangeTypeToInt64");
        constexpr HResult kTypeMismatch = static_cast<HResult>(0x80020005);
        constexpr HResult kOverflow = static_cast<HResult>(0x8002000A);
        switch (value.variantType) {
        case WmiValue::kEmpty: result = 0; return 0;
        case WmiValue::kNull: return kTypeMismatch;
        case WmiValue::kI4:
        case WmiValue::kI8: result = value.integer; return 0;
        case WmiValue::kBstr: {
            const CString& text = value.text;
            std::size_t i = text[0] == u'-' ? 1 : 0;
            if (text.empty() || i == text.size())
                return kTypeMismatch;
            unsigned long long magnitude = 0;
            for (; i < text.size(); ++i) {
                if (text[i] < u'0' || text[i] > u'9')
                    return kTypeMismatch;
                if (magnitude > (9223372036854775807ull - (text[i] - u'0')) / 10)
                    return kOverflow;
                magnitude = magnitude * 10 + (text[i] - u'0');
            }
            result = text[0] == u'-' ? -static_cast<std::int64_t>(magnitude)
                                     : static_cast<std::int64_t>(magnitude);
            return 0;
        }
        default: return kTypeMismatch;
        }
    }

    void Release(ComHandle handle) override
    {
        auto found = live.find(handle);
        if (found == live.end()) {
            faults.push_back("release of a handle that was not live: " + std::to_string(handle));
            return;
        }
        calls.push_back("Release " + found->second);
        releaseOrder.push_back(found->second);
        live.erase(found);
    }

private:
    void HangIfAsked(Step step)
    {
        if (hang && hang->step == step && (hang->sequence == -1 || hang->sequence == sequence))
            hangGate_.Wait();
    }

    std::optional<HResult> FailureFor(Step step) const
    {
        for (const Failure& failure : failures) {
            if (failure.step == step && !failure.withoutHandle &&
                (failure.sequence == -1 || failure.sequence == sequence))
                return failure.status;
        }
        return std::nullopt;
    }

    bool WithoutHandle(Step step) const
    {
        for (const Failure& failure : failures) {
            if (failure.step == step && failure.withoutHandle &&
                (failure.sequence == -1 || failure.sequence == sequence))
                return true;
        }
        return false;
    }

    HResult Issue(Step step, const std::string& kind, ComHandle& handle)
    {
        handle = 0;
        if (auto failure = FailureFor(step))
            return *failure;
        if (WithoutHandle(step))
            return 0;
        handle = nextHandle_++;
        live[handle] = kind;
        return 0;
    }

    // A call through a handle that is not live is a fault of the sequence.
    void Use(ComHandle handle, const std::string& kind)
    {
        auto found = live.find(handle);
        if (found == live.end() || found->second != kind)
            faults.push_back("call through a " + kind + " that was not obtained");
    }

    FakeGate hangGate_;
    ComHandle nextHandle_ = 0x1000;
    CString query_;
    std::size_t position_ = 0;  // the next instance of the query's enumeration
    Instance current_;
};
