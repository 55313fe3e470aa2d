#pragma once

#include "framework/app.h"

class CQuorkelvraApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
