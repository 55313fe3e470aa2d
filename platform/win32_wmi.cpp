#include "platform/win32_wmi.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wbemidl.h>

#include "text/wide.h"

namespace {

// {CB8555CC-9128-11D1-AD9B-00C04FD8FDFF}: the administrative locator, which works without the
// provider-specific registration of the plain WbemLocator on older systems.
const CLSID kWbemAdministrativeLocator = {
    0xCB8555CC, 0x9128, 0x11D1, {0xAD, 0x9B, 0x00, 0xC0, 0x4F, 0xD8, 0xFD, 0xFF}};

// A BSTR freed when it goes out of scope.
class Bstr {
public:
    explicit Bstr(const CString& text) : value_(SysAllocString(AsWide(text))) {}
    ~Bstr() { SysFreeString(value_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return value_; }

private:
    BSTR value_;
};

// A VARIANT cleared when it goes out of scope.
class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &value_; }
    VARIANT& operator*() { return value_; }

private:
    VARIANT value_;
};

template <typename Interface>
Interface* As(ComHandle handle)
{
    return reinterpret_cast<Interface*>(handle);
}

template <typename Interface>
ComHandle Handle(Interface* pointer)
{
    return reinterpret_cast<ComHandle>(pointer);
}

WmiValue CopyOut(const VARIANT& variant)
{
    WmiValue value;
    value.variantType = variant.vt;
    switch (variant.vt) {
    case VT_BSTR: value.text = variant.bstrVal ? FromWide(variant.bstrVal, SysStringLen(variant.bstrVal)) : CString(); break;
    case VT_I1: value.integer = variant.cVal; break;
    case VT_UI1: value.integer = variant.bVal; break;
    case VT_I2: value.integer = variant.iVal; break;
    case VT_UI2: value.integer = variant.uiVal; break;
    case VT_I4: value.integer = variant.lVal; break;
    case VT_UI4: value.integer = variant.ulVal; break;
    case VT_I8: value.integer = variant.llVal; break;
    case VT_UI8: value.integer = static_cast<std::int64_t>(variant.ullVal); break;
    case VT_BOOL: value.integer = variant.boolVal; break;
    case VT_R4: value.real = variant.fltVal; break;
    case VT_R8: value.real = variant.dblVal; break;
    default: break;
    }
    return value;
}

// Rebuilds the VARIANT a value came from, so the platform's own conversion judges it.
void CopyIn(const WmiValue& value, VARIANT& variant)
{
    variant.vt = value.variantType;
    switch (value.variantType) {
    case VT_BSTR: variant.bstrVal = SysAllocStringLen(AsWide(value.text), static_cast<UINT>(value.text.size())); break;
    case VT_I1: variant.cVal = static_cast<CHAR>(value.integer); break;
    case VT_UI1: variant.bVal = static_cast<BYTE>(value.integer); break;
    case VT_I2: variant.iVal = static_cast<SHORT>(value.integer); break;
    case VT_UI2: variant.uiVal = static_cast<USHORT>(value.integer); break;
    case VT_I4: variant.lVal = static_cast<LONG>(value.integer); break;
    case VT_UI4: variant.ulVal = static_cast<ULONG>(value.integer); break;
    case VT_I8: variant.llVal = value.integer; break;
    case VT_UI8: variant.ullVal = static_cast<ULONGLONG>(value.integer); break;
    case VT_BOOL: variant.boolVal = static_cast<VARIANT_BOOL>(value.integer); break;
    case VT_R4: variant.fltVal = static_cast<float>(value.real); break;
    case VT_R8: variant.dblVal = value.real; break;
    case VT_EMPTY:
    case VT_NULL: break;
    default: variant.vt = VT_ERROR; variant.scode = DISP_E_TYPEMISMATCH; break;
    }
}

}  // namespace

HResult Win32WmiApi::InitializeCom()
{
    return CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

HResult Win32WmiApi::InitializeSecurity()
{
    return CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                                RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
}

HResult Win32WmiApi::InitializeProcessSecurity(bool windowThread)
{
    // Never left: the thread stays in its apartment for the process's life.
    const HRESULT joined = CoInitializeEx(nullptr, windowThread ? COINIT_APARTMENTTHREADED : COINIT_MULTITHREADED);
    if (FAILED(joined))
        return joined;
    return InitializeSecurity();
}

HResult Win32WmiApi::SetProxySecurity(ComHandle proxy)
{
    return CoSetProxyBlanket(reinterpret_cast<IUnknown*>(proxy), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                             RPC_C_AUTHN_LEVEL_PKT, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

void Win32WmiApi::UninitializeCom()
{
    CoUninitialize();
}

HResult Win32WmiApi::CreateLocator(ComHandle& locator)
{
    IWbemLocator* pointer = nullptr;
    const HRESULT status = CoCreateInstance(kWbemAdministrativeLocator, nullptr,
                                            CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                            IID_IWbemLocator, reinterpret_cast<void**>(&pointer));
    locator = Handle(pointer);
    return status;
}

HResult Win32WmiApi::ConnectServer(ComHandle locator, const CString& path, std::int32_t flags, ComHandle& services)
{
    IWbemServices* pointer = nullptr;
    Bstr name(path);
    const HRESULT status =
        As<IWbemLocator>(locator)->ConnectServer(name, nullptr, nullptr, nullptr, flags, nullptr, nullptr, &pointer);
    services = Handle(pointer);
    return status;
}

HResult Win32WmiApi::ExecQuery(ComHandle services, const CString& language, const CString& query,
                               std::int32_t flags, ComHandle& enumerator)
{
    IEnumWbemClassObject* pointer = nullptr;
    Bstr languageText(language);
    Bstr queryText(query);
    const HRESULT status =
        As<IWbemServices>(services)->ExecQuery(languageText, queryText, flags, nullptr, &pointer);
    enumerator = Handle(pointer);
    return status;
}

HResult Win32WmiApi::Next(ComHandle enumerator, std::uint32_t timeout, ComHandle& object,
                          std::uint32_t& returned)
{
    IWbemClassObject* pointer = nullptr;
    ULONG count = 0;
    const HRESULT status = As<IEnumWbemClassObject>(enumerator)->Next(timeout, 1, &pointer, &count);
    object = Handle(pointer);
    returned = count;
    return status;
}

HResult Win32WmiApi::Get(ComHandle object, const CString& property, WmiValue& value)
{
    Bstr name(property);
    Variant variant;
    const HRESULT status = As<IWbemClassObject>(object)->Get(name, 0, variant.get(), nullptr, nullptr);
    if (SUCCEEDED(status))
        value = CopyOut(*variant);
    return status;
}

HResult Win32WmiApi::ChangeTypeToInt64(const WmiValue& value, std::int64_t& result)
{
    Variant variant;
    CopyIn(value, *variant);
    const HRESULT status = VariantChangeTypeEx(variant.get(), variant.get(), 1033, 0, VT_I8);
    if (status == S_OK)
        result = (*variant).llVal;
    return status;
}

void Win32WmiApi::Release(ComHandle handle)
{
    As<IUnknown>(handle)->Release();
}
