// The WMI query sequence that every hardware probe runs: COM opened and closed within the call,
// one query in root\cimv2, and only the first instance read. It runs on a worker thread of its own
// (Platform::RunWmiTask), so it reads into an answer it owns and touches nothing else.
#pragma once

#include <optional>
#include <vector>

#include "platform/wmi_api.h"

inline constexpr HResult kRpcETooLate = static_cast<HResult>(0x80010119);
// WBEM_S_TIMEDOUT: a success code, the one WMI gives a wait that ran out. A probe that got no answer
// in time shows it as it shows every WMI failure, "Error 0x40004".
inline constexpr HResult kWbemSTimedOut = 0x40004;

// How long one WMI probe may take. The first connection after a PC starts brings up the WMI service
// and loads its repository, a few seconds on a slow disk; a healthy query then answers in well under
// one. Fifteen seconds covers a cold start with room to spare, and bounds a run whose WMI is dead:
// once one probe has missed it, the later ones do not wait again.
inline constexpr std::uint32_t kWmiDeadlineMs = 15000;

// ConnectServer's flags: WBEM_FLAG_CONNECT_USE_MAX_WAIT bounds its own wait, but Windows before
// Vista (major version 6) rejects the flag.
std::int32_t WmiConnectFlags(std::uint32_t majorVersion);

struct WmiOutcome {
    enum class Kind {
        Read,        // the first instance was read (each property that could be read was handed over)
        NoInstance,  // the query answered with no instance: nothing to read
        Failed,      // a step failed; `status` says which error
    };
    Kind kind = Kind::Failed;
    HResult status = 0;

    bool TimedOut() const { return kind == Kind::Failed && status == kWbemSTimedOut; }
};

struct WmiRequest {
    const char16_t* query = u"";             // string literals: an abandoned worker may outlive the run
    std::vector<const char16_t*> properties;
    std::int32_t connectFlags = 0;
    std::uint32_t nextTimeoutMs = kWmiDeadlineMs;
    // The property also converted to a 64-bit integer (VariantChangeTypeEx) as it is read, or -1.
    int int64Property = -1;
    // How many instances are read, in the enumeration's order.
    std::size_t maxInstances = 1;
};

// One instance's properties as they were read.
struct WmiInstance {
    std::vector<std::optional<WmiValue>> values;  // one per property: what Get read, if it could
    HResult int64Status = 0;
    std::int64_t int64Value = 0;

    // The property with this index as it was read; null when it could not be.
    const WmiValue* Value(std::size_t index) const
    {
        return index < values.size() && values[index] ? &*values[index] : nullptr;
    }
};

struct WmiAnswer {
    WmiOutcome outcome;
    std::vector<WmiInstance> instances;  // at least one when the outcome is Read

    // The first instance, or one with nothing read.
    const WmiInstance& First() const;
};

// Runs the sequence: semi-synchronous and forward-only, so no step waits without bound where WMI
// offers a bound. Every interface obtained is released once, in the order locator, services,
// enumerator, object, and COM is uninitialised on every path on which its initialisation
// succeeded.
WmiAnswer RunWmiQuery(WmiApi& api, const WmiRequest& request);

// The same sequence with a second query on the same connection, asked only when the first one read
// something and `asksAgain` says so of its answer.
struct WmiAnswers {
    WmiAnswer first;
    std::optional<WmiAnswer> second;
};
struct WmiFollowUp {
    bool (*asksAgain)(const WmiAnswer& first) = nullptr;
    // Owned text: it is built at run time, and an abandoned worker may outlive the run.
    CString query;
    std::vector<const char16_t*> properties;
    std::size_t maxInstances = 1;
};
WmiAnswers RunWmiQueries(WmiApi& api, const WmiRequest& request, const WmiFollowUp& followUp);

// The failure fields' text: "Error 0x" and the status in lower-case hexadecimal.
CString WmiErrorText(HResult status);
