// The WMI query sequence that every hardware probe runs: COM opened and closed within the call,
// one query in root\cimv2, and only the first instance read.
#pragma once

#include <functional>
#include <initializer_list>

#include "platform/wmi_api.h"

inline constexpr HResult kRpcETooLate = static_cast<HResult>(0x80010119);

struct WmiOutcome {
    enum class Kind {
        Read,        // the first instance was read (each property that could be read was handed over)
        NoInstance,  // the query answered with no instance: nothing to read
        Failed,      // a step failed; `status` says which error
    };
    Kind kind = Kind::Failed;
    HResult status = 0;
};

// Runs the sequence for `query` and hands each property that Get could read, in order, to
// onProperty (with its index in `properties`). Every interface obtained is released once, in the
// order locator, services, enumerator, object, and COM is uninitialised on every path on which
// its initialisation succeeded.
WmiOutcome RunWmiQuery(WmiApi& api, const CString& query,
                       std::initializer_list<const char16_t*> properties,
                       const std::function<void(std::size_t index, const WmiValue& value)>& onProperty);

// The failure fields' text: "Error 0x" and the status in lower-case hexadecimal.
CString WmiErrorText(HResult status);
