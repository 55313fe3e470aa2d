// The main dialog in this process, on the real system (Wine in the test run): its colours, its
// icon and how it paints while minimised. Driven by a timer from inside its own modal loop.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/main_dialog.h"
#include "app/res/resource.h"
#include "framework/file.h"
#include "platform/win32_platform.h"
#include "tests/win32/scratch_folder.h"

namespace {

COLORREF BrushColour(HBRUSH brush)
{
    LOGBRUSH info = {};
    GetObjectW(brush, sizeof info, &info);
    return info.lbColor;
}

class ObservedDialog : public CQuorkelvraDlg {
public:
    HBRUSH staticBrush = nullptr;
    COLORREF staticTextBackground = 0;
    HBRUSH listBrush = nullptr;
    HBRUSH dialogBrush = nullptr;
    HICON dragIcon = nullptr;
    bool iconic = false;
    int iconBackgroundErasures = 0;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CQuorkelvraDlg::OnInitDialog();
        SetTimer(m_hWnd, 1, 10, &ObservedDialog::OnTimer);
        return result;
    }

private:
    static ObservedDialog* self_;
    static WNDPROC original_;

    // Sees the messages the dialog sends itself while painting.
    static LRESULT CALLBACK Spy(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_ICONERASEBKGND && wParam != 0)
            ++self_->iconBackgroundErasures;
        return CallWindowProcW(original_, window, message, wParam, lParam);
    }

    static void CALLBACK OnTimer(HWND window, UINT, UINT_PTR, DWORD)
    {
        KillTimer(window, 1);
        auto* dialog = static_cast<ObservedDialog*>(
            reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER)));
        HDC dc = CreateCompatibleDC(nullptr);
        dialog->staticBrush = reinterpret_cast<HBRUSH>(SendMessageW(
            window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
            reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_LABEL_OS))));
        dialog->staticTextBackground = GetBkColor(dc);
        dialog->listBrush = reinterpret_cast<HBRUSH>(SendMessageW(
            window, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
            reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_LIST_RESULTS))));
        dialog->dialogBrush = reinterpret_cast<HBRUSH>(
            SendMessageW(window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
        DeleteDC(dc);
        dialog->dragIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_QUERYDRAGICON, 0, 0));

        self_ = dialog;
        original_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Spy)));
        ShowWindow(window, SW_MINIMIZE);
        dialog->iconic = IsIconic(window) != FALSE;
        // Without a window manager a minimised window has no client area to invalidate, so the
        // paint is asked for directly.
        SendMessageW(window, WM_PAINT, 0, 0);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        ShowWindow(window, SW_RESTORE);
        dialog->EndDialog(IDCANCEL);
    }
};

ObservedDialog* ObservedDialog::self_ = nullptr;
WNDPROC ObservedDialog::original_ = nullptr;

// The system, but every WMI query blocks for ever on its worker thread, and the deadline is short.
class WmiThatNeverAnswers : public Win32Platform {
public:
    int tasks = 0;

    WaitEnd RunWmiTask(std::function<void(WmiApi&)>, std::uint32_t,
                       const std::function<bool(std::uint32_t)>& waiting) override
    {
        ++tasks;
        HANDLE never = never_;
        return Win32Platform::RunWmiTask([never](WmiApi&) { WaitForSingleObject(never, INFINITE); }, 300,
                                         waiting);
    }

private:
    HANDLE never_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// Waits, from inside its own modal loop, for Import File to come back (the run's end), notes what
// it shows, and presses OK as a user would.
class DialogOnAHungWmi : public CQuorkelvraDlg {
public:
    explicit DialogOnAHungWmi(Platform& platform) : CQuorkelvraDlg(platform) {}

    bool greyedWhileRunning = false;
    CString hardDrive;
    LRESULT listed = 0;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CQuorkelvraDlg::OnInitDialog();
        greyedWhileRunning = !IsWindowEnabled(::GetDlgItem(m_hWnd, IDC_IMPORT));
        SetTimer(m_hWnd, 1, 20, &DialogOnAHungWmi::OnTimer);
        return result;
    }

private:
    static void CALLBACK OnTimer(HWND window, UINT, UINT_PTR, DWORD)
    {
        if (!IsWindowEnabled(::GetDlgItem(window, IDC_IMPORT)))
            return;
        KillTimer(window, 1);
        auto* dialog = static_cast<DialogOnAHungWmi*>(
            reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER)));
        wchar_t text[256] = {};
        ::GetDlgItemTextW(window, IDC_VALUE_HARD_DRIVE, text, 256);
        dialog->hardDrive = FromWide(text);
        dialog->listed = ::SendDlgItemMessageW(window, IDC_LIST_RESULTS, LB_GETCOUNT, 0, 0);
        PostMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    }
};

}  // namespace

TEST(MainDialog, PaintsInItsTwoColoursAndDrawsItsIconWhenMinimised)
{
    // The dialog's check run writes its report into the current folder.
    ScratchFolder folder;
    ObservedDialog dialog;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    const COLORREF background = RGB(153, 186, 190);
    ASSERT_NE(dialog.staticBrush, nullptr);
    EXPECT_EQ(BrushColour(dialog.staticBrush), background);
    EXPECT_EQ(dialog.staticTextBackground, background);
    ASSERT_NE(dialog.listBrush, nullptr);
    EXPECT_EQ(BrushColour(dialog.listBrush), RGB(255, 255, 255));
    EXPECT_EQ(dialog.dialogBrush, dialog.staticBrush);
    EXPECT_NE(dialog.dragIcon, nullptr);
    EXPECT_TRUE(dialog.iconic);
    EXPECT_GE(dialog.iconBackgroundErasures, 1);
}

TEST(MainDialog, OnAWmiThatNeverAnswersItCompletesItsRunAndEndsWhenOkIsPressed)
{
    ScratchFolder folder;
    WmiThatNeverAnswers platform;
    DialogOnAHungWmi dialog(platform);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(dialog.greyedWhileRunning);
    EXPECT_EQ(platform.tasks, 1) << "the probes after the first that timed out waited again";
    EXPECT_NE(dialog.hardDrive.find(u"Error 0x40004"), CString::npos) << ToUtf8(dialog.hardDrive);
    EXPECT_EQ(dialog.listed, 28);
    CFile report;
    ASSERT_TRUE(report.Open(folder.File(u"Quor-kelvra.vkh"), CFile::modeRead));
    EXPECT_GT(report.GetLength(), 0u);
    // The worker still blocks; the suite's process ending at its end shows it holds nothing up.
}
