// A scratch folder for the Win32 suites, so no test writes into the folder it was started from.
#pragma once

#include <windows.h>

#include "text/text.h"
#include "text/wide.h"

// A fresh folder under the system's temporary folder, made the current directory while it lives.
class ScratchFolder {
public:
    ScratchFolder()
    {
        wchar_t base[MAX_PATH];
        GetTempPathW(MAX_PATH, base);
        path_ = FromWide(base) + u"qk-" + DecimalText(GetCurrentProcessId()) + u"-" +
                DecimalText(counter_++);
        CreateDirectoryW(AsWide(path_), nullptr);
        wchar_t previous[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, previous);
        previous_ = FromWide(previous);
        SetCurrentDirectoryW(AsWide(path_));
    }
    ~ScratchFolder()
    {
        SetCurrentDirectoryW(AsWide(previous_));
        DeleteFileW(AsWide(path_ + u"\\Quor-kelvra.vkh"));
        DeleteFileW(AsWide(path_ + u"\\report.vkh"));
        RemoveDirectoryW(AsWide(path_ + u"\\Quor-kelvra.vkh"));
        RemoveDirectoryW(AsWide(path_));
    }
    CString File(const CString& name) const { return path_ + u"\\" + name; }
    const CString& Path() const { return path_; }

private:
    static inline int counter_ = 0;
    CString path_;
    CString previous_;
};
