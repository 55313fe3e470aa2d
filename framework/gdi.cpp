#include "framework/gdi.h"

#include "framework/app.h"

bool CBitmap::LoadBitmap(UINT resourceId)
{
    return Attach(::LoadBitmapW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(resourceId)));
}

bool CBrush::CreateSolidBrush(COLORREF colour)
{
    return Attach(::CreateSolidBrush(colour));
}

bool TextFitsControl(HWND control, const CString& text)
{
    RECT client;
    if (control == nullptr || !GetClientRect(control, &client))
        return true;
    const WindowDC context(control);
    const HDC dc = context.Get();
    if (dc == nullptr)
        return true;
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0));
    const HGDIOBJ previous = font != nullptr ? SelectObject(dc, font) : nullptr;
    SIZE extent = {};
    const bool measured =
        GetTextExtentPoint32W(dc, reinterpret_cast<const wchar_t*>(text.c_str()), static_cast<int>(text.size()), &extent) != FALSE;
    if (previous != nullptr)
        SelectObject(dc, previous);
    return !measured || extent.cx <= client.right - client.left;
}
