#include "framework/clipboard.h"

#include <cstring>

#include "framework/owners.h"

bool SetClipboardText(HWND owner, const CString& text, DWORD& error)
{
    const std::size_t bytes = (text.size() + 1) * sizeof(char16_t);
    GlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes));
    if (!memory) {
        error = GetLastError();
        return false;
    }
    void* target = GlobalLock(memory.Get());
    if (target == nullptr) {
        error = GetLastError();
        return false;
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory.Get());
    // Another program may hold the clipboard for a moment (a clipboard manager reading it).
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = OpenClipboard(owner) != FALSE); ++attempt)
        Sleep(20);
    if (!opened) {
        error = GetLastError();
        return false;
    }
    EmptyClipboard();
    const bool stored = SetClipboardData(CF_UNICODETEXT, memory.Get()) != nullptr;
    error = stored ? 0 : GetLastError();
    // Once set, the memory is the clipboard's.
    if (stored)
        memory.Release();
    CloseClipboard();
    return stored;
}
