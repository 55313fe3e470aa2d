// The About box, with the program's icon drawn for the display scale.
#pragma once

#include "app/res/resource.h"
#include "framework/dialog.h"
#include "framework/owners.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr) : CDialog(IDD_ABOUTBOX, parent) {}

protected:
    BOOL OnInitDialog() override;

private:
    // The icon drawn for the display scale; the template's own would be the system's icon size.
    IconHandle m_icon;
};

// The display scale, in percent, whose images the program draws with: read once, at the first call,
// so the scale at start is kept for the program's whole life.
int StartImageScale();
