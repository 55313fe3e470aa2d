// A WMI that never answers, for the end-to-end tests. Registered for the user as the in-process
// server of WMI's locator class, it is loaded by the program's first WMI probe, whose request for
// the class never returns: a hung provider, as a broken WMI gives one.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** object)
{
    *object = nullptr;
    Sleep(INFINITE);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow()
{
    return S_FALSE;
}
