// Owners of GDI objects and of a paint context: each gives back what it holds when it is destroyed.
#pragma once

#include <windows.h>

// One GDI object of the handle type `Handle`, deleted with the holder.
template <typename Handle>
class CGdiObject {
public:
    CGdiObject() = default;
    ~CGdiObject() { DeleteObject(); }
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    Handle GetSafeHandle() const { return m_hObject; }
    void DeleteObject()
    {
        if (m_hObject != nullptr)
            ::DeleteObject(m_hObject);
        m_hObject = nullptr;
    }

protected:
    // Takes `handle`, giving back what was held before; true when there is something to hold.
    bool Attach(Handle handle)
    {
        DeleteObject();
        m_hObject = handle;
        return m_hObject != nullptr;
    }

private:
    Handle m_hObject = nullptr;
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
