// The real platform: every call into Windows that the logic needs.
#pragma once

#include "platform/platform.h"

class Win32Platform : public Platform {
public:
    bool GetVersionRecord(VersionRecord& record) override;
    bool GetNativeSystemRecord(SystemRecord& record) override;
    void GetSystemRecord(SystemRecord& record) override;
    std::unique_ptr<OutputFile> CreateReportFile(const CString& name) override;
};

// The one instance the program uses.
Win32Platform& SystemPlatform();
