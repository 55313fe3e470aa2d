#include "framework/accessible_name.h"

#include <objbase.h>
#include <oleacc.h>

#include <new>

#include "framework/subclass_owners.h"
#include "text/wide.h"

namespace {

// {618736E0-3C3D-11CF-810C-00AA00389B71}: spelt here so that nothing links oleacc.dll at start-up.
const IID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
// {6D5140C1-7436-11CE-8034-00AA006009FA}
const IID kIidServiceProvider = {0x6d5140c1, 0x7436, 0x11ce, {0x80, 0x34, 0x00, 0xaa, 0x00, 0x60, 0x09, 0xfa}};
constexpr DISPID kDispidAccName = -5003;  // DISPID_ACC_NAME

using CreateStdAccessibleObjectFunction = HRESULT(WINAPI*)(HWND, LONG, REFIID, void**);
using LresultFromObjectFunction = LRESULT(WINAPI*)(REFIID, WPARAM, LPUNKNOWN);

struct Oleacc {
    CreateStdAccessibleObjectFunction createStandard = nullptr;
    LresultFromObjectFunction lresultFromObject = nullptr;
};

// Loaded once, on the first request, and kept: a screen reader asks again and again.
const Oleacc& LoadOleacc()
{
    static const Oleacc oleacc = [] {
        Oleacc functions;
        if (HMODULE module = LoadLibraryW(L"oleacc.dll")) {
            functions.createStandard =
                reinterpret_cast<CreateStdAccessibleObjectFunction>(
                    reinterpret_cast<void*>(GetProcAddress(module, "CreateStdAccessibleObject")));
            functions.lresultFromObject =
                reinterpret_cast<LresultFromObjectFunction>(
                    reinterpret_cast<void*>(GetProcAddress(module, "LresultFromObject")));
        }
        return functions;
    }();
    return oleacc;
}

// The standard object with another name for the control itself; its children keep theirs.
class NamedAccessible final : public IAccessible {
public:
    NamedAccessible(IAccessible* standard, const CString& name) : m_standard(standard), m_name(name) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, kIidAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        // Through the standard object's services UI Automation's bridge would reach the control's
        // own provider, which names it by its text: the name is this object's alone.
        if (IsEqualIID(iid, kIidServiceProvider)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        // Anything else the standard object offers (IEnumVARIANT for a list's items, say) is its own.
        return m_standard->QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_references)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG left = InterlockedDecrement(&m_references);
        if (left == 0) {
            m_standard->Release();
            delete this;
        }
        return static_cast<ULONG>(left);
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { return m_standard->GetTypeInfoCount(count); }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override
    {
        return m_standard->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override
    {
        return m_standard->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argument) override
    {
        // A client that asks for the name by dispatch (a script, an automation bridge) hears the
        // same name as one that calls get_accName.
        const bool ofSelf = parameters == nullptr || parameters->cArgs == 0 || IsSelf(parameters->rgvarg[0]);
        if (id == kDispidAccName && (flags & DISPATCH_PROPERTYGET) != 0 && result != nullptr && ofSelf) {
            VariantInit(result);
            result->bstrVal = SysAllocString(AsWide(m_name));
            if (result->bstrVal == nullptr)
                return E_OUTOFMEMORY;
            result->vt = VT_BSTR;
            return S_OK;
        }
        return m_standard->Invoke(id, iid, locale, flags, parameters, result, exception, argument);
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        if (!IsSelf(child))
            return m_standard->get_accName(child, name);
        if (name == nullptr)
            return E_POINTER;
        *name = SysAllocString(AsWide(m_name));
        return *name != nullptr ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override { return m_standard->get_accParent(parent); }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override { return m_standard->get_accChildCount(count); }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override
    {
        return m_standard->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return m_standard->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return m_standard->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return m_standard->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override { return m_standard->get_accHelp(child, help); }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override { return m_standard->get_accFocus(child); }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override
    {
        return m_standard->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return m_standard->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override { return m_standard->accSelect(flags, child); }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height, VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override
    {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override { return m_standard->accDoDefaultAction(child); }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_standard->put_accValue(child, value);
    }

private:
    ~NamedAccessible() = default;
    static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

    IAccessible* m_standard;
    const CString m_name;
    LONG m_references = 1;
};

// The answer to WM_GETOBJECT for the control's client object, or 0 to leave it to the control.
LRESULT ClientObject(HWND window, WPARAM flags, const CString& name)
{
    const Oleacc& oleacc = LoadOleacc();
    if (oleacc.createStandard == nullptr || oleacc.lresultFromObject == nullptr)
        return 0;
    // The object is marshalled to the asking process through COM, which this thread may not have
    // started yet (the check run's COM is on its own thread). Started once, and left running.
    static thread_local const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (void)com;
    IAccessible* standard = nullptr;
    if (FAILED(oleacc.createStandard(window, OBJID_CLIENT, kIidAccessible, reinterpret_cast<void**>(&standard))) ||
        standard == nullptr)
        return 0;
    NamedAccessible* named = new (std::nothrow) NamedAccessible(standard, name);
    if (named == nullptr) {
        standard->Release();
        return 0;
    }
    const LRESULT result = oleacc.lresultFromObject(kIidAccessible, flags, static_cast<IAccessible*>(named));
    // LresultFromObject holds its own reference while the asker has not taken the object.
    named->Release();
    return result;
}

}  // namespace

CAccessibleName::~CAccessibleName()
{
    Detach();
}

void CAccessibleName::Attach(HWND control)
{
    Detach();
    if (control == nullptr)
        return;
    m_hWnd = control;
    m_previous = Subclass(control, this, &CAccessibleName::WindowProc);
}

void CAccessibleName::Detach()
{
    if (m_hWnd == nullptr)
        return;
    Unsubclass<CAccessibleName>(m_hWnd, m_previous);
    m_hWnd = nullptr;
    m_previous = nullptr;
}

void CAccessibleName::SetName(const CString& name)
{
    if (name == m_name)
        return;
    m_name = name;
    if (m_hWnd != nullptr)
        NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT CALLBACK CAccessibleName::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CAccessibleName* self = SubclassOwners<CAccessibleName>::Find(window);
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC previous = self->m_previous;
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        if (const LRESULT object = ClientObject(window, wParam, self->m_name))
            return object;
    }
    if (message == WM_NCDESTROY)
        self->Detach();
    return CallWindowProcW(previous, window, message, wParam, lParam);
}
