// Owners of GDI objects: each deletes what it holds when it is destroyed.
#pragma once

#include <windows.h>

class CBitmap {
public:
    CBitmap() = default;
    ~CBitmap() { DeleteObject(); }
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    bool LoadBitmap(UINT resourceId);
    void DeleteObject();
    HBITMAP GetSafeHandle() const { return m_hObject; }

private:
    HBITMAP m_hObject = nullptr;
};

class CBrush {
public:
    CBrush() = default;
    ~CBrush() { DeleteObject(); }
    CBrush(const CBrush&) = delete;
    CBrush& operator=(const CBrush&) = delete;

    bool CreateSolidBrush(COLORREF colour);
    void DeleteObject();
    HBRUSH GetSafeHandle() const { return m_hObject; }

private:
    HBRUSH m_hObject = nullptr;
};
