// Our window-framework layer on real Win32 (Wine in the test run).
#include <gtest/gtest.h>

#include <windows.h>

#include <new>
#include <string>
#include <vector>

#include "app/appearance.h"
#include "app/res/resource.h"
#include "framework/app.h"
#include "framework/clipboard.h"
#include "framework/dialog.h"
#include "framework/file.h"
#include "framework/gdi.h"
#include "framework/owners.h"
#include "framework/tab_control.h"
#include "text/wide.h"

namespace {

struct MessageBoxSearch {
    HWND dialog;
    std::vector<CString>* texts;
};

BOOL CALLBACK CloseMessageBox(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<MessageBoxSearch*>(param);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (window != search->dialog && std::wstring(className) == L"#32770" && IsWindowVisible(window)) {
        search->texts->push_back(GetWindowTextOf(::GetDlgItem(window, 0xFFFF)));
        PostMessageW(window, WM_COMMAND, IDOK, 0);
    }
    return TRUE;
}

// Reads and closes with OK every message box of this thread other than `dialog`, from inside the
// box's own modal loop.
void CloseMessageBoxes(HWND dialog, std::vector<CString>& texts)
{
    MessageBoxSearch search{dialog, &texts};
    EnumThreadWindows(GetCurrentThreadId(), CloseMessageBox, reinterpret_cast<LPARAM>(&search));
}

// A dialog driven by a script of steps run from a timer, so a modal loop (and a message box inside
// it) can be tested on one thread. The last step ends the dialog with `fallback`, which a test
// expects never to see.
class TimedDialog : public CDialog {
public:
    explicit TimedDialog(UINT templateId) : CDialog(templateId) {}

    std::vector<CString> messageBoxes;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        StartTimer();
        return TRUE;
    }

    // One step of the script, the first being 0; false once the script has run out.
    virtual bool Step(int step) = 0;
    void StartTimer() { SetTimer(m_hWnd, 1, 50, &TimedDialog::OnTimer); }
    void StopTimer() { KillTimer(m_hWnd, 1); }
    // From inside a message box's own loop.
    void CloseMessageBoxes() { ::CloseMessageBoxes(m_hWnd, messageBoxes); }
    void EndWith(INT_PTR result)
    {
        StopTimer();
        EndDialog(result);
    }

    INT_PTR fallback_ = IDABORT;

private:
    static void CALLBACK OnTimer(HWND window, UINT, UINT_PTR, DWORD)
    {
        auto* self = static_cast<TimedDialog*>(reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER)));
        if (!self->Step(self->step_++))
            self->EndWith(self->fallback_);
    }

    int step_ = 0;
};

// A dialog on the program's own template: its data exchange, validation and message map.
class ScriptedDialog : public TimedDialog {
public:
    ScriptedDialog() : TimedDialog(IDD_QUORKELVRA_DIALOG) {}

    CString m_strValue = u"?";
    CTabCtrl m_tab;
    int importClicks = 0;
    std::vector<CString> shownOnInit;

protected:
    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Control(pDX, IDC_TAB, m_tab);
        DDX_Text(pDX, IDC_VALUE_OS, m_strValue);
        DDV_MaxChars(pDX, m_strValue, 128);
    }

    BOOL OnInitDialog() override
    {
        TimedDialog::OnInitDialog();
        shownOnInit.push_back(GetDlgItemText(IDC_VALUE_OS));
        return TRUE;
    }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) override
    {
        if (message != WM_COMMAND || LOWORD(wParam) != IDC_IMPORT || HIWORD(wParam) != BN_CLICKED)
            return false;
        ++importClicks;
        return true;
    }

    // The last step is only reached when OK failed to close the dialog.
    bool Step(int step) override
    {
        switch (step) {
        case 0:
            SendMessageW(GetDlgItem(IDC_IMPORT), BM_CLICK, 0, 0);
            SetDlgItemText(IDC_VALUE_OS, CString(129, u'x'));
            PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return true;
        case 1:
            CloseMessageBoxes();
            return true;
        case 2:
            SetDlgItemText(IDC_VALUE_OS, CString(128, u'y'));
            PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            return true;
        default:
            return false;
        }
    }
};

// Its Import handler throws, as an allocation failure would, while a timer watches from inside.
class ThrowingDialog : public TimedDialog {
public:
    explicit ThrowingDialog(bool outOfMemory) : TimedDialog(IDD_QUORKELVRA_DIALOG), outOfMemory_(outOfMemory)
    {
        fallback_ = IDCANCEL;  // only reached when the barrier did not end the dialog
    }

    int handlerCalls = 0;

protected:
    bool OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&) override
    {
        if (message != WM_COMMAND || LOWORD(wParam) != IDC_IMPORT || HIWORD(wParam) != BN_CLICKED)
            return false;
        ++handlerCalls;
        if (outOfMemory_)
            throw std::bad_alloc();
        throw 42;
    }

    bool Step(int step) override
    {
        if (step > 1)
            return false;
        SendMessageW(GetDlgItem(IDC_IMPORT), BM_CLICK, 0, 0);
        // The second time inside the message box's own loop: the dialog ignores a click meanwhile.
        if (step == 1)
            CloseMessageBoxes();
        return true;
    }

private:
    bool outOfMemory_;
};

// Offered the messages of its modal loop: it keeps what it was offered, swallows WM_APP + 1 and
// throws on WM_APP + 3. A nested dialog of the same kind runs inside it once.
class KeyedDialog : public TimedDialog {
public:
    explicit KeyedDialog(KeyedDialog* nested = nullptr) : TimedDialog(IDD_ABOUTBOX), nested_(nested)
    {
        fallback_ = IDCANCEL;  // only reached when the barrier did not end the dialog
    }

    std::vector<UINT> offered;    // WM_APP messages, as PreTranslateMessage saw them
    std::vector<UINT> received;   // WM_APP messages that reached the dialog procedure
    bool throws_ = false;

protected:
    bool PreTranslateMessage(const MSG& message) override
    {
        if (message.message < WM_APP || message.message > WM_APP + 10)
            return false;
        offered.push_back(message.message);
        if (message.message == WM_APP + 3)
            throw 3;
        return message.message == WM_APP + 1;
    }

    bool OnMessage(UINT message, WPARAM, LPARAM, LRESULT&) override
    {
        if (message != WM_APP + 1 && message != WM_APP + 2)
            return false;
        received.push_back(message);
        return true;
    }

    bool Step(int step) override
    {
        switch (step) {
        case 0:
            // To a control, to the dialog, and to a window that is not the dialog's.
            PostMessageW(GetDlgItem(IDOK), WM_APP + 1, 0, 0);
            PostMessageW(m_hWnd, WM_APP + 2, 0, 0);
            PostMessageW(m_hWnd, WM_APP + 1, 0, 0);
            outsider_ = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
            PostMessageW(outsider_, WM_APP + 4, 0, 0);
            return true;
        case 1:
            if (nested_ != nullptr) {
                // The outer dialog is offered nothing while the inner one runs.
                StopTimer();
                nested_->DoModal();
                PostMessageW(m_hWnd, WM_APP + 5, 0, 0);
                StartTimer();
            }
            return true;
        case 2:
            DestroyWindow(outsider_);
            if (throws_)
                PostMessageW(m_hWnd, WM_APP + 3, 0, 0);
            else
                EndWith(IDOK);
            return true;
        case 3:
            CloseMessageBoxes();
            return true;
        default:
            return false;
        }
    }

private:
    KeyedDialog* nested_;
    HWND outsider_ = nullptr;
};

}  // namespace

TEST(Dialog, AnExceptionInAHandlerEndsTheDialogWithAMessageInsteadOfUnwindingThroughUser32)
{
    for (bool outOfMemory : {true, false}) {
        ThrowingDialog dialog(outOfMemory);
        EXPECT_EQ(dialog.DoModal(), IDABORT);
        EXPECT_EQ(dialog.handlerCalls, 1);
        ASSERT_EQ(dialog.messageBoxes.size(), 1u);
        EXPECT_EQ(dialog.messageBoxes[0], outOfMemory ? u"Quor-kelvra ran out of memory and must close."
                                                      : u"Quor-kelvra met an unexpected error and must close.");
    }
}

TEST(Dialog, ExchangesValidatesAndDispatchesItsOwnMessages)
{
    ScriptedDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.shownOnInit, std::vector<CString>{u"?"});
    EXPECT_EQ(dialog.importClicks, 1);
    EXPECT_NE(dialog.m_tab.m_hWnd, nullptr);
    EXPECT_EQ(dialog.messageBoxes, std::vector<CString>{u"Enter no more than 128 characters."});
    EXPECT_EQ(dialog.m_strValue, CString(128, u'y'));
}

TEST(File, ReadsWhatWasWrittenAndRefusesMissingFiles)
{
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    const CString path = FromWide(base) + u"qk-file-test.bin";
    {
        CFile out;
        ASSERT_TRUE(out.Open(path, CFile::modeCreate | CFile::modeWrite));
        EXPECT_TRUE(out.Write("abcde", 5));
        EXPECT_EQ(out.GetLength(), 5);
    }
    CFile in;
    ASSERT_TRUE(in.Open(path, CFile::modeRead));
    char buffer[8] = {};
    EXPECT_EQ(in.Read(buffer, sizeof buffer), 5);
    EXPECT_EQ(std::string(buffer), "abcde");
    EXPECT_FALSE(in.Write("x", 1));
    in.Close();
    DeleteFileW(AsWide(path));

    CFile missing;
    EXPECT_FALSE(missing.Open(path, CFile::modeRead));
    EXPECT_EQ(missing.GetLength(), -1);
    EXPECT_EQ(missing.Read(buffer, 1), -1);
}

TEST(Bitmap, LoadsTheProgramsImages)
{
    // Each set is drawn at its scale: the 150 % logo is 1.5 times the 195 x 59 pixels, rounded.
    for (int scale : {100, 125, 150, 200}) {
        for (int image : {IDB_PASS, IDB_FAIL, IDB_BLANK, IDB_LOGO}) {
            const UINT id = static_cast<UINT>(ScaledImageId(image, scale));
            CBitmap bitmap;
            ASSERT_TRUE(bitmap.LoadBitmap(id)) << id;
            BITMAP info = {};
            GetObjectW(bitmap.GetSafeHandle(), sizeof info, &info);
            EXPECT_EQ(info.bmWidth, image == IDB_LOGO ? (195 * scale + 50) / 100 : 24 * scale / 100) << id;
            EXPECT_EQ(info.bmHeight, image == IDB_LOGO ? (59 * scale + 50) / 100 : 24 * scale / 100) << id;
        }
    }
    CBitmap missing;
    EXPECT_FALSE(missing.LoadBitmap(999));
}

TEST(Dialog, OffersItsOwnMessagesBeforeItsLoopHandlesThemAndSwallowsTheHandledOnes)
{
    KeyedDialog inner;
    KeyedDialog outer(&inner);
    EXPECT_EQ(outer.DoModal(), IDOK);
    const std::vector<UINT> offered = {WM_APP + 1, WM_APP + 2, WM_APP + 1, WM_APP + 5};
    EXPECT_EQ(outer.offered, offered);
    EXPECT_EQ(outer.received, std::vector<UINT>{WM_APP + 2});
    EXPECT_EQ(inner.offered, (std::vector<UINT>{WM_APP + 1, WM_APP + 2, WM_APP + 1}));

    // A handler that throws there ends the dialog as one in its procedure does.
    KeyedDialog throwing;
    throwing.throws_ = true;
    EXPECT_EQ(throwing.DoModal(), IDABORT);
    EXPECT_EQ(throwing.messageBoxes, std::vector<CString>{u"Quor-kelvra met an unexpected error and must close."});
}

namespace {

bool IsOpenHandle(HANDLE handle)
{
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != FALSE;
}

}  // namespace

TEST(Owners, EachHandleIsClosedOnceByWhoeverOwnsItLast)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    {
        UniqueHandle first(event);
        UniqueHandle second(std::move(first));
        EXPECT_FALSE(first) << "a moved-from owner holds nothing";
        EXPECT_TRUE(IsOpenHandle(event)) << "closed by the move";
        UniqueHandle third;
        third = std::move(second);
        EXPECT_EQ(third.Get(), event);
    }
    EXPECT_FALSE(IsOpenHandle(event)) << "not closed with its last owner";

    // Given another, an owner closes the one it held; given up, it closes nothing.
    HANDLE kept = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE replaced = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        UniqueHandle owner(replaced);
        owner.Reset(kept);
        EXPECT_FALSE(IsOpenHandle(replaced));
        EXPECT_EQ(owner.Release(), kept);
    }
    EXPECT_TRUE(IsOpenHandle(kept));
    CloseHandle(kept);
    // CreateFile's failure is never closed, whichever empty value it comes as.
    EXPECT_FALSE(UniqueHandle(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(UniqueHandle(nullptr));

    // Memory handed on is not freed; memory kept is.
    HGLOBAL handed = GlobalAlloc(GMEM_MOVEABLE, 16);
    HGLOBAL freed = GlobalAlloc(GMEM_MOVEABLE, 16);
    {
        GlobalMemory a(handed), b(freed);
        a.Release();
    }
    EXPECT_NE(GlobalFlags(handed), GMEM_INVALID_HANDLE);
    EXPECT_EQ(GlobalFlags(freed), GMEM_INVALID_HANDLE);
    GlobalMemory(handed).Reset();
}

TEST(Clipboard, HoldsTheTextAsUnicodeWithItsLineEnds)
{
    const CString text = u"Locale: English:1\r\nUsername: CORP\\Zo\u00eb \u2013 \U0001F600:0\r\n";
    DWORD error = 1;
    ASSERT_TRUE(SetClipboardText(nullptr, text, error));
    EXPECT_EQ(error, 0u);
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* stored = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    const CString read = stored ? FromWide(stored) : CString(u"<none>");
    if (stored)
        GlobalUnlock(data);
    CloseClipboard();
    EXPECT_EQ(read, text);
}

namespace {

struct ClipboardHolder {
    HANDLE opened, release;
};

// Stands for the other program: the clipboard is open to one window at a time.
DWORD WINAPI HoldClipboard(void* param)
{
    auto* holder = static_cast<ClipboardHolder*>(param);
    // Open for a window of its own: the clipboard tells its holders apart by window.
    HWND window = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    const BOOL held = OpenClipboard(window);
    SetEvent(holder->opened);
    WaitForSingleObject(holder->release, 10000);
    if (held)
        CloseClipboard();
    DestroyWindow(window);
    return held ? 0 : 1;
}

}  // namespace

TEST(Clipboard, HeldByAnotherProgramItFailsAndKeepsWhatItHeld)
{
    DWORD error = 0;
    ASSERT_TRUE(SetClipboardText(nullptr, u"before", error));
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ClipboardHolder holder{opened, release};
    HANDLE thread = CreateThread(nullptr, 0, HoldClipboard, &holder, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    WaitForSingleObject(opened, 10000);
    EXPECT_FALSE(SetClipboardText(nullptr, u"after", error));
    EXPECT_NE(error, 0u);
    SetEvent(release);
    WaitForSingleObject(thread, 10000);
    DWORD held = 1;
    GetExitCodeThread(thread, &held);
    EXPECT_EQ(held, 0u) << "the other thread could not open the clipboard";
    CloseHandle(thread);
    CloseHandle(opened);
    CloseHandle(release);

    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* stored = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    EXPECT_EQ(stored ? FromWide(stored) : CString(u"<none>"), u"before");
    if (stored)
        GlobalUnlock(data);
    CloseClipboard();
}
