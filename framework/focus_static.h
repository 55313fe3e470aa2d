// A static control that the keyboard reaches: Tab stops on it, and while it has the focus it is
// drawn with the standard focus rectangle and its owner is told, to show what hovering would.
#pragma once

#include <windows.h>

#include <functional>

class CFocusStatic {
public:
    CFocusStatic() = default;
    CFocusStatic(const CFocusStatic&) = delete;
    CFocusStatic& operator=(const CFocusStatic&) = delete;
    ~CFocusStatic();

    // `focused` is called with true when the control gains the focus and false when it loses it.
    void Attach(HWND control, std::function<void(bool focused)> focused);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Detach();

    HWND m_hWnd = nullptr;
    WNDPROC m_previous = nullptr;
    std::function<void(bool)> m_focused;
};
