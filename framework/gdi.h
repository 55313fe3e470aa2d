// Owners of GDI objects and of a paint context: each gives back what it holds when it is destroyed.
#pragma once

#include <windows.h>

#include "framework/owners.h"
#include "text/text.h"

// One GDI object of the handle type `Handle`, deleted with the holder.
template <typename Handle>
class CGdiObject {
public:
    Handle GetSafeHandle() const { return m_object.Get(); }
    void DeleteObject() { m_object.Reset(); }

protected:
    // Takes `handle`, giving back what was held before; true when there is something to hold.
    bool Attach(Handle handle)
    {
        m_object.Reset(handle);
        return handle != nullptr;
    }

private:
    GdiObject<Handle> m_object;
};

class CBitmap : public CGdiObject<HBITMAP> {
public:
    bool LoadBitmap(UINT resourceId);
};

class CBrush : public CGdiObject<HBRUSH> {
public:
    bool CreateSolidBrush(COLORREF colour);
};

// BeginPaint on construction, EndPaint on destruction.
class CPaintDC {
public:
    explicit CPaintDC(HWND window) : m_hWnd(window), m_hDC(BeginPaint(window, &m_ps)) {}
    ~CPaintDC() { EndPaint(m_hWnd, &m_ps); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps = {};
    HDC m_hDC;
};

// Whether `text` fits the control's width in the control's own font, on one line.
bool TextFitsControl(HWND control, const CString& text);
