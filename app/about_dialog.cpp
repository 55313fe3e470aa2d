#include "app/about_dialog.h"

#include "app/appearance.h"
#include "app/res/resource.h"
#include "framework/app.h"
#include "framework/owners.h"

int StartImageScale()
{
    static const int scale = [] {
        const WindowDC screen(nullptr);
        return ImageScaleForDpi(screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0);
    }();
    return scale;
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const int size = AboutIconSize(StartImageScale());
    m_icon.Reset(static_cast<HICON>(
        LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0)));
    if (m_icon)
        SendDlgItemMessageW(m_hWnd, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(m_icon.Get()), 0);
    return TRUE;
}

