// The base of every control object: the window it stands for, bound by DDX_Control.
#pragma once

#include <windows.h>

class CWndControl {
public:
    HWND m_hWnd = nullptr;
};

