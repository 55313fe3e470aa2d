// The COM and WMI calls of one query sequence, one function per platform call, so the sequence's
// order and every failure path can be driven by a fake. Interface pointers cross the seam as
// opaque handles; each one handed out must be given back to Release exactly once.
#pragma once

#include <cstdint>

#include "text/text.h"

using HResult = std::int32_t;
using ComHandle = std::uintptr_t;

inline bool Failed(HResult status)
{
    return status < 0;
}

// A property value, copied out of its VARIANT (which the platform clears at once).
struct WmiValue {
    // The VARIANT type codes the program tells apart; others keep their own code.
    enum : std::uint16_t { kEmpty = 0, kNull = 1, kI4 = 3, kBstr = 8, kI8 = 20 };
    std::uint16_t variantType = kEmpty;
    CString text;              // kBstr
    std::int64_t integer = 0;  // integer and boolean types
    double real = 0.0;         // floating-point types
};

class WmiApi {
public:
    virtual ~WmiApi() = default;
    // CoInitializeEx(nullptr, COINIT_MULTITHREADED).
    virtual HResult InitializeCom() = 0;
    // CoInitializeSecurity with default access, packet authentication and impersonation.
    virtual HResult InitializeSecurity() = 0;
    // At the process's start, before any window: the calling thread joins an apartment and sets
    // the process's security as InitializeSecurity does. Once the window's thread has marshalled an
    // interface, which a screen reader makes it do as soon as a control has focus, COM has fixed
    // the security from the registry's defaults, which allow WMI no impersonation. A thread that
    // will own the dialog joins a single-threaded apartment (accessibility clients call into it);
    // one that owns no window joins the multithreaded one, as the WMI workers do: a single-threaded
    // apartment makes a hidden window of its own, and with it the desktop (200 ms under Wine, where
    // an unattended run may be the first program with a window).
    virtual HResult InitializeProcessSecurity(bool windowThread) = 0;
    // CoSetProxyBlanket of a WMI proxy to packet authentication and impersonation, whatever the
    // process's defaults are. An in-process object, which has no blanket, answers E_NOINTERFACE.
    virtual HResult SetProxySecurity(ComHandle proxy) = 0;
    virtual void UninitializeCom() = 0;
    // CoCreateInstance of the administrative WMI locator, in-process or local server.
    virtual HResult CreateLocator(ComHandle& locator) = 0;
    // IWbemLocator::ConnectServer to the namespace as the current user.
    virtual HResult ConnectServer(ComHandle locator, const CString& path, std::int32_t flags,
                                  ComHandle& services) = 0;
    virtual HResult ExecQuery(ComHandle services, const CString& language, const CString& query,
                              std::int32_t flags, ComHandle& enumerator) = 0;
    virtual HResult Next(ComHandle enumerator, std::uint32_t timeout, ComHandle& object,
                         std::uint32_t& returned) = 0;
    // IWbemClassObject::Get of one property, its name passed as a BSTR.
    virtual HResult Get(ComHandle object, const CString& property, WmiValue& value) = 0;
    // VariantChangeTypeEx to VT_I8 with locale 1033 and no flags.
    virtual HResult ChangeTypeToInt64(const WmiValue& value, std::int64_t& result) = 0;
    virtual void Release(ComHandle handle) = 0;
};
