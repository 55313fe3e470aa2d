// Which object a control subclassed by the program belongs to, found on every message the control
// gets. A window property would do, but under Wine each GetProp is a round trip to the wineserver:
// with the result list subclassed, filling it with a 1 MiB report took 16 times as long. A control
// gets its messages on the thread that made it, so each thread keeps its own few entries.
#pragma once

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

template <typename Owner>
class SubclassOwners {
public:
    static void Add(HWND control, Owner* owner)
    {
        Remove(control);
        Entries().emplace_back(control, owner);
    }

    static void Remove(HWND control)
    {
        std::vector<std::pair<HWND, Owner*>>& entries = Entries();
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [control](const std::pair<HWND, Owner*>& entry) { return entry.first == control; }),
                      entries.end());
    }

    static Owner* Find(HWND control)
    {
        for (const std::pair<HWND, Owner*>& entry : Entries()) {
            if (entry.first == control)
                return entry.second;
        }
        return nullptr;
    }

private:
    static std::vector<std::pair<HWND, Owner*>>& Entries()
    {
        thread_local std::vector<std::pair<HWND, Owner*>> entries;
        return entries;
    }
};

// Puts `procedure` in front of the control's own and notes whose it is; returns the procedure it
// replaced, for every message the new one passes on.
template <typename Owner>
WNDPROC Subclass(HWND control, Owner* owner, WNDPROC procedure)
{
    SubclassOwners<Owner>::Add(control, owner);
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure)));
}

// Gives the control its `previous` procedure back while it exists, and forgets whose it was.
template <typename Owner>
void Unsubclass(HWND control, WNDPROC previous)
{
    if (IsWindow(control))
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    SubclassOwners<Owner>::Remove(control);
}
