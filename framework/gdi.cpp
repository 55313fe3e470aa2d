#include "framework/gdi.h"

#include "framework/app.h"

bool CBitmap::LoadBitmap(UINT resourceId)
{
    DeleteObject();
    m_hObject = ::LoadBitmapW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(resourceId));
    return m_hObject != nullptr;
}

void CBitmap::DeleteObject()
{
    if (m_hObject != nullptr)
        ::DeleteObject(m_hObject);
    m_hObject = nullptr;
}

bool CBrush::CreateSolidBrush(COLORREF colour)
{
    DeleteObject();
    m_hObject = ::CreateSolidBrush(colour);
    return m_hObject != nullptr;
}

void CBrush::DeleteObject()
{
    if (m_hObject != nullptr)
        ::DeleteObject(m_hObject);
    m_hObject = nullptr;
}
