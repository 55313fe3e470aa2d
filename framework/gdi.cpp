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
