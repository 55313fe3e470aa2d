#include "framework/focus_static.h"

#include <utility>

#include "framework/owners.h"
#include "framework/subclass_owners.h"

CFocusStatic::~CFocusStatic()
{
    Detach();
}

void CFocusStatic::Attach(HWND control, std::function<void(bool)> focused)
{
    Detach();
    if (control == nullptr)
        return;
    m_hWnd = control;
    m_focused = std::move(focused);
    SetWindowLongPtrW(control, GWL_STYLE, GetWindowLongPtrW(control, GWL_STYLE) | WS_TABSTOP);
    m_previous = Subclass(control, this, &CFocusStatic::WindowProc);
}

void CFocusStatic::Detach()
{
    if (m_hWnd == nullptr)
        return;
    Unsubclass<CFocusStatic>(m_hWnd, m_previous);
    m_hWnd = nullptr;
    m_previous = nullptr;
}

LRESULT CALLBACK CFocusStatic::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CFocusStatic* self = SubclassOwners<CFocusStatic>::Find(window);
    if (self == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    const WNDPROC previous = self->m_previous;
    switch (message) {
    case WM_PAINT: {
        const LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
        if (GetFocus() == window) {
            // Over what the static drew, inside its edge, as a button or a list draws its own.
            const WindowDC dc(window);
            if (dc.Get() != nullptr) {
                RECT rect;
                GetClientRect(window, &rect);
                DrawFocusRect(dc.Get(), &rect);
            }
        }
        return result;
    }
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        const LRESULT result = CallWindowProcW(previous, window, message, wParam, lParam);
        // Drawn afresh: the focus rectangle comes with the focus and goes with it.
        InvalidateRect(window, nullptr, TRUE);
        if (self->m_focused)
            self->m_focused(message == WM_SETFOCUS);
        return result;
    }
    case WM_NCDESTROY:
        self->Detach();
        break;
    default:
        break;
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}
