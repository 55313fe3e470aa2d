// The main dialog in this process, on the real system (Wine in the test run): its colours, its
// icon and how it paints while minimised. Driven by a timer from inside its own modal loop.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <array>

#include "app/item_controls.h"
#include "app/main_dialog.h"
#include "app/res/resource.h"
#include "framework/file.h"
#include "report/report_import.h"
#include "platform/win32_platform.h"
#include "tests/fakes/fake_wmi.h"
#include "tests/win32/scratch_folder.h"

namespace {

COLORREF BrushColour(HBRUSH brush)
{
    LOGBRUSH info = {};
    GetObjectW(brush, sizeof info, &info);
    return info.lbColor;
}

// The system, with high contrast on or off as the test sets it.
class ContrastPlatform : public Win32Platform {
public:
    DisplayColours display;
    DisplayColours GetDisplayColours() override { return display; }
};

class ObservedDialog : public CQuorkelvraDlg {
public:
    ObservedDialog() = default;
    explicit ObservedDialog(ContrastPlatform& platform) : CQuorkelvraDlg(platform), contrast_(&platform) {}

    HBRUSH staticBrush = nullptr;
    COLORREF staticText = 0;
    COLORREF listBrushColour = 0;
    // After high contrast was turned off while the dialog was open.
    COLORREF staticBrushAfterChange = 0;
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
    ContrastPlatform* contrast_ = nullptr;
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
        dialog->staticText = GetTextColor(dc);
        dialog->listBrush = reinterpret_cast<HBRUSH>(SendMessageW(
            window, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
            reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_LIST_RESULTS))));
        dialog->dialogBrush = reinterpret_cast<HBRUSH>(
            SendMessageW(window, WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
        dialog->listBrushColour = BrushColour(dialog->listBrush);
        if (dialog->contrast_ != nullptr) {
            dialog->contrast_->display.highContrast = false;
            SendMessageW(window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
            dialog->staticBrushAfterChange = BrushColour(reinterpret_cast<HBRUSH>(SendMessageW(
                window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                reinterpret_cast<LPARAM>(::GetDlgItem(window, IDC_LABEL_OS)))));
            // The first brush was the dialog's and is gone with the change: only its colour is kept.
            dialog->staticBrush = nullptr;
        }
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
    std::vector<int> liveRegions;  // the controls made live regions, by id

    void MakePoliteLiveRegion(std::uintptr_t window) override
    {
        liveRegions.push_back(GetDlgCtrlID(reinterpret_cast<HWND>(window)));
        Win32Platform::MakePoliteLiveRegion(window);
    }

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

// What a screen reader asks of a control: its client object's name.
CString AccessibleName(HWND control)
{
    IAccessible* object = nullptr;
    // Spelt here: MinGW's oleacc import library also exports IID_IAccessible as the import of a
    // DLL's data, and a link may take that stub's address for the GUID.
    static const IID accessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), accessible,
                                          reinterpret_cast<void**>(&object))) ||
        object == nullptr)
        return u"<no object>";
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    CString text = SUCCEEDED(object->get_accName(self, &name)) && name ? FromWide(name) : CString(u"<no name>");
    SysFreeString(name);
    // Asked by dispatch, as a script or an automation bridge asks, the name is the same.
    DISPPARAMS parameters = {&self, nullptr, 1, 0};
    VARIANT dispatched;
    VariantInit(&dispatched);
    if (FAILED(object->Invoke(-5003 /* DISPID_ACC_NAME */, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                              &parameters, &dispatched, nullptr, nullptr)) ||
        dispatched.vt != VT_BSTR || FromWide(dispatched.bstrVal) != text)
        text += u" <another name by dispatch>";
    VariantClear(&dispatched);
    object->Release();
    return text;
}

// Waits, from inside its own modal loop, for Import File to come back (the run's end), notes what
// it shows and what a screen reader hears of it, and presses OK as a user would.
class DialogOnAHungWmi : public CQuorkelvraDlg {
public:
    explicit DialogOnAHungWmi(Platform& platform) : CQuorkelvraDlg(platform) {}

    bool greyedWhileRunning = false;
    CString hardDrive;
    LRESULT listed = 0;
    std::array<CString, kResultItemCount> markNames, valueNames;
    std::array<CString, kResultItemCount> shown;  // label and value as the dialog shows them
    CString listName;
    CString statusName;
    std::vector<int> tabbed;  // the controls Tab reaches from the list, in turn

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
        for (std::size_t item = 0; item < kResultItemCount; ++item) {
            dialog->markNames[item] = AccessibleName(::GetDlgItem(window, kItemControls[item].mark));
            dialog->valueNames[item] = AccessibleName(::GetDlgItem(window, kItemControls[item].value));
            dialog->shown[item] = dialog->GetDlgItemText(kItemControls[item].label) + u" " +
                                  dialog->GetDlgItemText(kItemControls[item].value);
        }
        dialog->listName = AccessibleName(::GetDlgItem(window, IDC_LIST_RESULTS));
        dialog->statusName = AccessibleName(::GetDlgItem(window, IDC_REPORT_PATH));
        SetFocus(::GetDlgItem(window, IDC_LIST_RESULTS));
        for (std::size_t step = 0; step <= kResultItemCount; ++step) {
            SendMessageW(window, WM_NEXTDLGCTL, 0, FALSE);
            dialog->tabbed.push_back(GetDlgCtrlID(GetFocus()));
        }
        PostMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    }
};

// The system, but WMI answers at once from fixed instances, with a manufacturer too long for its
// control's exchange, except the BIOS query, which never answers: the run waits out a deadline.
class WmiWithALongManufacturer : public Win32Platform {
public:
    WmiWithALongManufacturer()
    {
        wmi_.instances[u"Select * from Win32_ComputerSystem"] = {
            {{u"Manufacturer", FakeWmi::Text(CString(200, u'M'))}, {u"Model", FakeWmi::Text(u"Box")},
             {u"UserName", FakeWmi::Text(u"PC\\BRQ7")}}};
        wmi_.instances[u"Select * from Win32_DiskDrive"] = {{{u"Model", FakeWmi::Text(u"Disk")},
                                                             {u"Size", FakeWmi::Text(u"500107862016")}}};
    }

    WaitEnd RunWmiTask(std::function<void(WmiApi&)> task, std::uint32_t,
                       const std::function<bool(std::uint32_t)>& waiting) override
    {
        if (++tasks_ != 3) {
            task(wmi_);
            return WaitEnd::Finished;
        }
        HANDLE never = never_;
        return Win32Platform::RunWmiTask([never](WmiApi&) { WaitForSingleObject(never, INFINITE); }, 1500, waiting);
    }

private:
    FakeWmi wmi_;
    int tasks_ = 0;
    HANDLE never_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
};

// While the run waits for WMI, does what a user and other programs may: starts the run again,
// opens the About box and closes it, presses Enter (whose exchange fails on the long value and
// says so in a message box, closed in turn); then, once the run has ended, closes the dialog.
class DialogPressedDuringTheWait : public CQuorkelvraDlg {
public:
    DialogPressedDuringTheWait(Platform& platform, bool pressKeys) : CQuorkelvraDlg(platform), pressKeys_(pressKeys) {}

    std::vector<std::string> done;  // the steps taken while the run went on
    bool aboutOwned = false;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CQuorkelvraDlg::OnInitDialog();
        SetTimer(m_hWnd, 1, 30, &DialogPressedDuringTheWait::OnTimer);
        return result;
    }

private:
    static void CALLBACK OnTimer(HWND window, UINT, UINT_PTR, DWORD)
    {
        auto* dialog = static_cast<DialogPressedDuringTheWait*>(
            reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER)));
        dialog->Step(window);
    }

    void Step(HWND window)
    {
        if (RunProgress() == RunState::Done) {
            KillTimer(window, 1);
            PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        // The manufacturer is shown early: the run is in its wait for the BIOS.
        wchar_t text[8] = {};
        if (!pressKeys_ || RunProgress() != RunState::Running ||
            ::GetDlgItemTextW(window, IDC_VALUE_MANUFACTURER, text, 8) == 0 || text[0] != L'M')
            return;
        const HWND popup = GetLastActivePopup(window);
        switch (done.size()) {
        case 0:
            PostMessageW(window, WM_APP + 1, 0, 0);
            done.push_back("start again");
            break;
        case 1:
            PostMessageW(window, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
            done.push_back("about");
            break;
        case 2:
            if (popup == window)
                return;
            aboutOwned = GetWindow(popup, GW_OWNER) == window;
            PostMessageW(popup, WM_COMMAND, IDOK, 0);
            done.push_back("about closed");
            break;
        case 3:
            if (popup != window)
                return;
            PostMessageW(window, WM_COMMAND, IDOK, 0);
            done.push_back("enter");
            break;
        case 4:
            if (popup == window)
                return;
            PostMessageW(popup, WM_COMMAND, IDOK, 0);
            done.push_back("message closed");
            break;
        default:
            break;
        }
    }

    bool pressKeys_;
};

// Told by Windows that the session ends while its run waits for WMI.
class DialogAtTheSessionsEnd : public CQuorkelvraDlg {
public:
    explicit DialogAtTheSessionsEnd(Platform& platform) : CQuorkelvraDlg(platform) {}

    LRESULT mayEnd = 0;
    bool partialAfterEnd = true;
    RunState stateAfterEnd = RunState::NotStarted;

protected:
    BOOL OnInitDialog() override
    {
        const BOOL result = CQuorkelvraDlg::OnInitDialog();
        SetTimer(m_hWnd, 1, 20, &DialogAtTheSessionsEnd::OnTimer);
        return result;
    }

private:
    static void CALLBACK OnTimer(HWND window, UINT, UINT_PTR, DWORD)
    {
        auto* dialog = static_cast<DialogAtTheSessionsEnd*>(
            reinterpret_cast<CDialog*>(GetWindowLongPtrW(window, DWLP_USER)));
        if (dialog->RunProgress() != RunState::Running)
            return;
        KillTimer(window, 1);
        dialog->mayEnd = SendMessageW(window, WM_QUERYENDSESSION, 0, 0);
        SendMessageW(window, WM_ENDSESSION, TRUE, 0);
        // Windows may end the process from here on: nothing half-written may be left.
        dialog->partialAfterEnd = GetFileAttributesW(L"Quor-kelvra.vkh.partial") != INVALID_FILE_ATTRIBUTES;
        dialog->stateAfterEnd = dialog->RunProgress();
        PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
    }
};

// OK is pressed as the run starts its JSON, which takes a while to open (a share holding it).
class JsonOpenedSlowly : public WmiThatNeverAnswers {
public:
    HWND dialog = nullptr;
    bool jsonOpened = false;

    std::unique_ptr<OutputFile> CreateReportFile(const CString& name, std::uint32_t& error) override
    {
        if (name.size() < 5 || name.substr(name.size() - 5) != u".json")
            return WmiThatNeverAnswers::CreateReportFile(name, error);
        PostMessageW(::GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        Sleep(300);
        std::unique_ptr<OutputFile> file = WmiThatNeverAnswers::CreateReportFile(name, error);
        jsonOpened = true;
        return file;
    }
};

class DialogClosedDuringItsJson : public CQuorkelvraDlg {
public:
    explicit DialogClosedDuringItsJson(JsonOpenedSlowly& platform) : CQuorkelvraDlg(platform), platform_(platform) {}

protected:
    BOOL OnInitDialog() override
    {
        platform_.dialog = m_hWnd;
        return CQuorkelvraDlg::OnInitDialog();
    }

private:
    JsonOpenedSlowly& platform_;
};

}  // namespace

TEST(MainDialog, ClosedWhileItsJsonIsWrittenItEndsOnlyOnceTheRunHas)
{
    ScratchFolder folder;
    JsonOpenedSlowly platform;
    DialogClosedDuringItsJson dialog(platform);
    dialog.m_jsonPath = folder.File(u"run.json");
    EXPECT_EQ(dialog.DoModal(), IDOK);
    // The window's end waited for the run: nothing of the dialog's was written after it had gone.
    EXPECT_TRUE(platform.jsonOpened);
    EXPECT_EQ(GetFileAttributesW(L"run.json.partial"), INVALID_FILE_ATTRIBUTES);
    CFile json;
    ASSERT_TRUE(json.Open(folder.File(u"run.json"), CFile::modeRead));
    EXPECT_GT(json.GetLength(), 0u);
}

TEST(MainDialog, KeysAndMessagesDuringAWmiWaitNeverChangeTheReport)
{
    // The same machine twice: left alone, and pressed during its wait.
    std::vector<std::vector<std::uint8_t>> reports;
    for (const bool pressKeys : {false, true}) {
        ScratchFolder folder;
        WmiWithALongManufacturer platform;
        DialogPressedDuringTheWait dialog(platform, pressKeys);
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        if (pressKeys) {
            EXPECT_EQ(dialog.done, (std::vector<std::string>{"start again", "about", "about closed", "enter",
                                                             "message closed"}));
            EXPECT_TRUE(dialog.aboutOwned) << "the About box belongs to the dialog";
        }
        CFile report;
        ASSERT_TRUE(report.Open(folder.File(u"Quor-kelvra.vkh"), CFile::modeRead));
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(report.GetLength()));
        ASSERT_FALSE(bytes.empty());
        report.Read(bytes.data(), static_cast<DWORD>(bytes.size()));
        reports.push_back(bytes);
    }
    // Line by line, but for the available memory, which moves between two runs.
    const auto lines = [](const std::vector<std::uint8_t>& bytes) {
        std::vector<std::string> result(1);
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            const char16_t unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
            if (unit == u'\n')
                result.emplace_back();
            else
                result.back() += ToUtf8(CString(1, unit));
        }
        return result;
    };
    const std::vector<std::string> alone = lines(reports[0]);
    const std::vector<std::string> pressed = lines(reports[1]);
    ASSERT_EQ(alone.size(), 29u) << "28 lines and the end";
    ASSERT_EQ(pressed.size(), alone.size());
    for (std::size_t i = 0; i < alone.size(); ++i) {
        if (alone[i].rfind("Available Physical Memory", 0) != 0) {
            EXPECT_EQ(pressed[i], alone[i]);
        }
    }
    EXPECT_EQ(pressed[17].rfind("Operating System: Microsoft Windows", 0), 0u) << pressed[17];
}

TEST(MainDialog, TheSessionsEndStopsTheRunAndLeavesNothingHalfWritten)
{
    ScratchFolder folder;
    WmiThatNeverAnswers platform;
    DialogAtTheSessionsEnd dialog(platform);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_NE(dialog.mayEnd, 0) << "a check run is no reason to keep Windows from ending";
    EXPECT_FALSE(dialog.partialAfterEnd);
    EXPECT_EQ(dialog.stateAfterEnd, RunState::Stopping);
    EXPECT_EQ(GetFileAttributesW(AsWide(folder.File(u"Quor-kelvra.vkh"))), INVALID_FILE_ATTRIBUTES);
}

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

TEST(MainDialog, WithHighContrastItDrawsInTheSystemsColoursAndFollowsTheirChange)
{
    ScratchFolder folder;
    ContrastPlatform platform;
    platform.display = {true, RGB(0, 0, 0), RGB(255, 255, 0)};
    ObservedDialog dialog(platform);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(dialog.staticTextBackground, RGB(0, 0, 0));
    EXPECT_EQ(dialog.staticText, RGB(255, 255, 0));
    EXPECT_EQ(dialog.listBrushColour, RGB(0, 0, 0));
    EXPECT_EQ(dialog.staticBrushAfterChange, RGB(153, 186, 190));
}

// The controls the program raised an alert on, as a screen reader's hook sees them.
std::vector<int> g_alerted;

void CALLBACK OnAlert(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD)
{
    if (object == OBJID_CLIENT)
        g_alerted.push_back(GetDlgCtrlID(window));
}

TEST(MainDialog, OnAWmiThatNeverAnswersItCompletesItsRunAndEndsWhenOkIsPressed)
{
    ScratchFolder folder;
    WmiThatNeverAnswers platform;
    DialogOnAHungWmi dialog(platform);
    g_alerted.clear();
    const HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, &OnAlert,
                                               GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    EXPECT_EQ(dialog.DoModal(), IDOK);
    UnhookWinEvent(hook);
    // The outcome was said without the user moving: an alert on the line under the list, named so.
    EXPECT_EQ(g_alerted, std::vector<int>{IDC_REPORT_PATH});
    // And it is a live region, which Narrator speaks from Windows 8 on (Wine keeps no such property).
    EXPECT_EQ(platform.liveRegions, std::vector<int>{IDC_REPORT_PATH});
    EXPECT_TRUE(dialog.greyedWhileRunning);
    EXPECT_EQ(platform.tasks, 1) << "the probes after the first that timed out waited again";
    EXPECT_NE(dialog.hardDrive.find(u"Error 0x40004"), CString::npos) << ToUtf8(dialog.hardDrive);
    EXPECT_EQ(dialog.listed, 28);
    CFile report;
    ASSERT_TRUE(report.Open(folder.File(u"Quor-kelvra.vkh"), CFile::modeRead));
    EXPECT_GT(report.GetLength(), 0u);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(report.GetLength()));
    report.Read(bytes.data(), static_cast<UINT>(bytes.size()));
    const ImportedReport written = ParseReport(ReportTextFromBytes(bytes), false);
    // A screen reader hears each verdict the report holds, in words, and what each value is of.
    EXPECT_EQ(dialog.listName, u"Results");
    int fails = 0;
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        ASSERT_TRUE(written.rows[item].present) << item;
        EXPECT_EQ(dialog.markNames[item], written.rows[item].pass ? u"Passes" : u"Fails") << item;
        fails += written.rows[item].pass ? 0 : 1;
        EXPECT_EQ(dialog.valueNames[item], dialog.shown[item] + (written.rows[item].pass ? u"; Passes" : u"; Fails"));
    }
    EXPECT_GE(fails, 1);
    EXPECT_EQ(dialog.statusName, Widen(std::to_string(fails)) + u" of 11 items fail");
    EXPECT_EQ(dialog.valueNames[0].rfind(u"Operating System: ", 0), 0u) << ToUtf8(dialog.valueNames[0]);
    EXPECT_EQ(dialog.valueNames[9], u"Hard Drive Size: " + dialog.hardDrive + u"; Fails");
    // Tab from the list visits the eleven rows in order, then OK; the dialog's own tab order.
    std::vector<int> expectedTabs;
    for (const ItemControls& controls : kItemControls)
        expectedTabs.push_back(controls.value);
    expectedTabs.push_back(IDOK);
    EXPECT_EQ(dialog.tabbed, expectedTabs);
    // The worker still blocks; the suite's process ending at its end shows it holds nothing up.
}
