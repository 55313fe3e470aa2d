#include "app/main_dialog.h"

#include <windowsx.h>

#include <iterator>
#include <string>

#include "app/about_dialog.h"
#include "app/appearance.h"
#include "app/item_controls.h"
#include "app/open_report_dialog.h"
#include "app/unattended.h"
#include "check/import_view.h"
#include "check/run_texts.h"
#include "framework/app.h"
#include "framework/clipboard.h"
#include "framework/owners.h"
#include "platform/win32_platform.h"
#include "text/wide.h"

namespace {

constexpr const char16_t* kVersion = u"1.07rc1";
constexpr int kMaxValueChars = 128;
// One logo for every dialog of the process, created on first use and freed at exit.
CBitmap& LogoBitmap()
{
    static CBitmap logo;
    return logo;
}

}  // namespace

CQuorkelvraDlg::CQuorkelvraDlg(HWND parent) : CQuorkelvraDlg(SystemPlatform(), parent) {}

CQuorkelvraDlg::CQuorkelvraDlg(Platform& platform, HWND parent)
    : CDialog(IDD_QUORKELVRA_DIALOG, parent),
      m_platform(platform),
      m_runner(platform),
      m_hIcon(LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
    // As the run's own fields start: "?", and the manufacturer's row without a model.
    m_strValues.fill(u"?");
}

CQuorkelvraDlg::~CQuorkelvraDlg() = default;

void CQuorkelvraDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TAB, m_tabCtrl);
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        DDX_Text(pDX, kItemControls[item].value, m_strValues[item]);
        DDV_MaxChars(pDX, m_strValues[item], kMaxValueChars);
    }
}

namespace {

// Posted by OnInitDialog: the check run starts from the dialog's own loop.
constexpr UINT kStartChecksMessage = WM_APP + 1;
// Posted by the run's thread: it has something to show.
constexpr UINT kRunShowsMessage = WM_APP + 2;

}  // namespace

BOOL CQuorkelvraDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CBitmap& logo = LogoBitmap();
    if (logo.GetSafeHandle() == nullptr)
        logo.LoadBitmap(ScaledImageId(IDB_LOGO, StartImageScale()));

    UseDisplayColours();

    m_strVersionCaption = Format(u"Kelvra version %s", {kVersion});
    SetDlgItemText(IDC_VERSION_CAPTION, m_strVersionCaption);

    AddAboutItemToSystemMenu();

    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_tabCtrl.InsertItem(0, u"#1 - PC Check");
    m_tabCtrl.InsertItem(1, u"#2 - System Information");

    SendDlgItemMessageW(m_hWnd, IDC_LOGO, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(logo.GetSafeHandle()));

    m_listResults.m_hWnd = GetDlgItem(IDC_LIST_RESULTS);
    m_pListBox = &m_listResults;
    // Named for what it holds: by the label search a screen reader would name it after the image
    // above it.
    m_listName.Attach(m_listResults.m_hWnd);
    m_listName.SetName(u"Results");
    // Its text is its image's number, which a screen reader would spell out.
    m_logoName.Attach(GetDlgItem(IDC_LOGO));
    m_logoName.SetName(u"Quor-kelvra");
    m_statusName.Attach(GetDlgItem(IDC_REPORT_PATH));
    // What the run's end says there is spoken as it comes (the alert serves systems before 8).
    m_platform.MakePoliteLiveRegion(reinterpret_cast<std::uintptr_t>(GetDlgItem(IDC_REPORT_PATH)));
    m_marks.fill(Mark::Blank);
    // Tab reaches the rows after the list and before OK: the tab order is the windows' order.
    HWND after = m_listResults.m_hWnd;
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        const HWND value = GetDlgItem(kItemControls[item].value);
        m_markNames[item].Attach(GetDlgItem(kItemControls[item].mark));
        m_valueNames[item].Attach(value);
        m_rowFocus[item].Attach(value, [this, item](bool focused) {
            if (focused)
                ShowValueTip(static_cast<ResultItem>(item));
            else
                m_toolTips.Hide();
        });
        SetWindowPos(value, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = value;
        ShowRowName(static_cast<ResultItem>(item));
    }
    LoadMarkImages();
    // Until its item is judged a mark says nothing: the template's cross would read as a failure
    // for as long as WMI takes.
    for (int item = 0; item < kResultItemCount; ++item)
        ShowItemMark(static_cast<ResultItem>(item), Mark::Blank);
    // Import File and Copy wait from the dialog's first moment on screen, which comes before the
    // run starts, until the run's end: a greyed Import File means the results are not all there.
    EnableWindow(GetDlgItem(IDC_IMPORT), FALSE);
    // The run starts from the dialog's own loop, once the dialog is on the screen.
    PostMessageW(m_hWnd, kStartChecksMessage, 0, 0);
    return TRUE;
}

void CQuorkelvraDlg::StartChecks()
{
    // Once only, whoever posts the message again.
    if (m_runner.State() != RunState::NotStarted)
        return;
    // Shown and painted first: the first WMI connection after a PC starts can take seconds, and a
    // window that shows nothing meanwhile gets started twice.
    ShowWindow(m_hWnd, SW_SHOW);
    UpdateWindow(m_hWnd);
    // Nothing to hover over before the run has explained its items: the tooltips come after the
    // first paint, where they do not hold it up.
    CreateToolTips();
    m_runner.Run().m_reportPath = m_reportPath;
    const std::optional<CString> jsonPath = m_jsonPath;
    // On the run's thread too: a share that holds the file for a moment holds up no window. It
    // touches nothing of the dialog's, which may be closed meanwhile.
    m_runner.Start(m_hWnd, kRunShowsMessage, [&platform = m_platform, jsonPath](CheckRun& run) {
        std::optional<CString> why;
        if (jsonPath && run.Results().ran && !WriteResultsJson(platform, *jsonPath, run.Results(), &why.emplace()))
            return why;
        return std::optional<CString>();
    });
}

void CQuorkelvraDlg::OnRunEnded()
{
    if (Ended())
        return;
    EnableWindow(GetDlgItem(IDC_IMPORT), TRUE);
    // The JSON's failure in the system's words, as a silent run gives it on standard error.
    if (const std::optional<CString>& jsonWhy = m_runner.AfterRunFailure())
        ShowStatus(*jsonWhy);
    AnnounceOutcome();
}

void CQuorkelvraDlg::AnnounceOutcome()
{
    // Said where the user is not: the line under the list takes the outcome as its name, and an
    // alert on it is what screen readers speak at once (a live region's change from Windows 8 on).
    CString outcome = RunOutcomeText(Results(), GetDlgItemText(IDC_REPORT_PATH));
    if (m_runner.AfterRunFailure() && Results().reportWritten)
        outcome += u". " + *m_runner.AfterRunFailure();
    m_statusName.SetName(outcome);
    const HWND status = GetDlgItem(IDC_REPORT_PATH);
    NotifyWinEvent(EVENT_SYSTEM_ALERT, status, OBJID_CLIENT, CHILDID_SELF);
    constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED, not in XP's headers
    NotifyWinEvent(kLiveRegionChanged, status, OBJID_CLIENT, CHILDID_SELF);
}

void CQuorkelvraDlg::AddAboutItemToSystemMenu()
{
    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    if (systemMenu == nullptr)
        return;
    wchar_t text[128] = {};
    if (LoadStringW(AfxGetInstanceHandle(), IDS_ABOUTBOX, text, 128) <= 0)
        return;
    AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
}

bool CQuorkelvraDlg::OnSysCommand(UINT commandId)
{
    if ((commandId & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    // Owned by the dialog, so the dialog cannot be closed from under it.
    CAboutDlg about(m_hWnd);
    about.DoModal();
    return true;
}

void CQuorkelvraDlg::OnBnClickedImport()
{
    // An import in the middle of a run would be overwritten by the rest of it.
    if (m_runner.State() != RunState::Done)
        return;
    CString chosen;
    const FileChoice choice = ChooseReportFile(m_hWnd, chosen);
    if (choice == FileChoice::PathTooLong)
        ShowWarning(ImportMessage(ImportOutcome::PathTooLong, u""));
    if (choice != FileChoice::Chosen)
        return;
    const ImportOutcome outcome = ImportReport(m_platform, *this, chosen);
    if (outcome == ImportOutcome::Shown)
        m_bImported = true;
    else
        ShowWarning(ImportMessage(outcome, chosen));
}

bool CQuorkelvraDlg::PreTranslateMessage(const MSG& message)
{
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool alt = (GetKeyState(VK_MENU) & 0x8000) != 0;
    if (message.message != WM_KEYDOWN || message.wParam != 'C' || !control || alt)
        return false;
    // Copied from the dialog procedure, as the menu's Copy is: a message box saying the clipboard
    // is held must not run inside the message hook.
    PostMessageW(m_hWnd, WM_COMMAND, MAKEWPARAM(IDM_COPY, 0), 0);
    return true;
}

bool CQuorkelvraDlg::OnContextMenu(HWND window, int x, int y)
{
    if (window != m_listResults.m_hWnd)
        return false;
    // From the keyboard (Shift+F10, the menu key) the menu opens at the list's corner.
    if (x == -1 && y == -1) {
        RECT rect;
        GetWindowRect(window, &rect);
        x = rect.left;
        y = rect.top;
    }
    const MenuHandle menu(CreatePopupMenu());
    if (!menu)
        return true;
    AppendMenuW(menu.Get(), MF_STRING, IDM_COPY, L"&Copy\tCtrl+C");
    // The choice comes back as WM_COMMAND IDM_COPY.
    TrackPopupMenu(menu.Get(), TPM_RIGHTBUTTON, x, y, 0, m_hWnd, nullptr);
    return true;
}

void CQuorkelvraDlg::CopyResults()
{
    // The results are not there yet; the list would be half of them.
    if (m_runner.State() != RunState::Done)
        return;
    // A run that stopped at the version query wrote no report lines; the list shows why.
    const std::vector<CString> lines =
        m_bImported || !Results().ran ? m_listResults.GetLines() : ReportLines(Results());
    DWORD error = 0;
    if (SetClipboardText(m_hWnd, LinesText(lines), error))
        return;
    ShowWarning(Format(u"The results could not be copied to the clipboard: %s",
                       {Reason(m_platform.SystemErrorMessage(error), error)}));
}

void CQuorkelvraDlg::ShowWarning(const CString& message)
{
    const CWinApp* app = AfxGetApp();
    MessageBoxW(m_hWnd, AsWide(message), app ? AsWide(app->m_strAppName) : L"", MB_OK | MB_ICONWARNING);
}

bool CQuorkelvraDlg::OnPaint()
{
    if (!IsIconic(m_hWnd))
        return false;
    CPaintDC dc(m_hWnd);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    RECT client;
    GetClientRect(m_hWnd, &client);
    const IconPosition at = CentredIconPosition(client.right - client.left, client.bottom - client.top,
                                                GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
    DrawIcon(dc.GetSafeHdc(), at.x, at.y, m_hIcon);
    return true;
}

HBRUSH CQuorkelvraDlg::OnCtlColor(HDC dc, HWND control, UINT message)
{
    static const ColourKind kinds[] = {ColourKind::MessageBoxes, ColourKind::Edit, ColourKind::ListBox,
                                       ColourKind::Button, ColourKind::Dialog, ColourKind::ScrollBar,
                                       ColourKind::Static};
    const ColourChoice choice = ChooseControlColour(kinds[message - WM_CTLCOLORMSGBOX], GetDlgCtrlID(control));
    if (choice.setTextBackground)
        SetBkColor(dc, m_colours.background);
    if (m_colours.systemText) {
        // The list's lines and the buttons' faces are drawn on what their brush paints too.
        SetTextColor(dc, m_colours.text);
        SetBkColor(dc, choice.listBrush ? m_colours.list : m_colours.background);
    }
    return choice.listBrush ? m_brList.GetSafeHandle() : m_brBackground.GetSafeHandle();
}

void CQuorkelvraDlg::UseDisplayColours()
{
    const DialogColours colours = ChooseDialogColours(m_platform.GetDisplayColours());
    const bool changed = colours.background != m_colours.background || colours.list != m_colours.list ||
                         colours.systemText != m_colours.systemText || colours.text != m_colours.text;
    if (changed || m_brBackground.GetSafeHandle() == nullptr) {
        m_colours = colours;
        m_brBackground.CreateSolidBrush(m_colours.background);
        m_brList.CreateSolidBrush(m_colours.list);
    }
    if (changed && m_hWnd != nullptr)
        RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool CQuorkelvraDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SYSCOMMAND:
        return OnSysCommand(static_cast<UINT>(wParam));
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(OnQueryDragIcon());
        return true;
    // Every WM_CTLCOLOR message, from WM_CTLCOLORMSGBOX to WM_CTLCOLORSTATIC, goes to one handler.
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        result = reinterpret_cast<LRESULT>(
            OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
        return true;
    // High contrast turned on or off, or the system's colours changed, while the dialog is open.
    case WM_SYSCOLORCHANGE:
    case WM_SETTINGCHANGE:
        UseDisplayColours();
        return false;
    case WM_CONTEXTMENU:
        return OnContextMenu(reinterpret_cast<HWND>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    case kStartChecksMessage:
        StartChecks();
        return true;
    case kRunShowsMessage:
        if (m_runner.Deliver(*this))
            OnRunEnded();
        return true;
    case WM_DESTROY:
        // The run's thread ends with the window, not with whichever member happens to be destroyed
        // last: the JSON it may still be writing is the runner's own.
        m_runner.StopAndWait(INFINITE);
        return false;
    case WM_ENDSESSION:
        // Windows may end the process as soon as this returns: the run stops here, and its partial
        // report is gone before then.
        if (wParam) {
            // A JSON caught waiting on a held target gives up now, rather than be cut off.
            m_platform.StopWaitingOutHolds();
            m_runner.StopAndWait(5000);
        }
        return false;
    case WM_COMMAND:
        // The menu's Copy, and Ctrl+C posted as it.
        if (LOWORD(wParam) == IDM_COPY && HIWORD(wParam) == 0) {
            CopyResults();
            return true;
        }
        if (LOWORD(wParam) == IDC_IMPORT && HIWORD(wParam) == BN_CLICKED) {
            OnBnClickedImport();
            return true;
        }
        return false;
    default:
        return false;
    }
}

void CQuorkelvraDlg::ShowItemValue(ResultItem item, const CString& text)
{
    SetDlgItemText(kItemControls[item].value, text);
    ShowRowName(item);
    ShowValueTip(item);
}

void CQuorkelvraDlg::ShowValueTip(ResultItem item)
{
    // A value its box cuts short is given whole where its explanation is, above it.
    const HWND value = GetDlgItem(kItemControls[item].value);
    const CString shown = GetDlgItemText(kItemControls[item].value);
    CString tip = m_explanations[item];
    if (!TextFitsControl(value, shown))
        tip = tip.empty() ? shown : shown + u"\r\n" + tip;
    m_toolTips.UpdateTipText(value, tip);
    if (GetFocus() == value)
        m_toolTips.ShowBelow(value, tip);
}

void CQuorkelvraDlg::ShowRowName(ResultItem item)
{
    m_valueNames[item].SetName(ValueName(GetDlgItemText(kItemControls[item].label),
                                         GetDlgItemText(kItemControls[item].value), m_marks[item]));
}

void CQuorkelvraDlg::ShowItemMark(ResultItem item, Mark mark)
{
    // Said whether or not its image loaded: the verdict is the same.
    m_marks[item] = mark;
    m_markNames[item].SetName(MarkName(mark));
    ShowRowName(item);
    if (const ImageHandle image = MarkImage(mark, m_markImages))
        SendDlgItemMessageW(m_hWnd, kItemControls[item].mark, STM_SETIMAGE, IMAGE_BITMAP,
                            static_cast<LPARAM>(image));
}

void CQuorkelvraDlg::ShowStatus(const CString& text)
{
    SetDlgItemText(IDC_REPORT_PATH, text);
    // The name follows the line until the run's end gives it the outcome, and again after an import.
    m_statusName.SetName(text);
}

void CQuorkelvraDlg::ShowItemExplanation(ResultItem item, const CString& text)
{
    m_explanations[item] = text;
    m_toolTips.UpdateTipText(GetDlgItem(kItemControls[item].mark), text);
    // A row the keyboard is on shows its explanation as it comes.
    ShowValueTip(item);
}

void CQuorkelvraDlg::CreateToolTips()
{
    // Wide enough for a rule on two or three lines, at any display scale; shown long enough to be
    // read to its end.
    const int width = 320 * StartImageScale() / 100;
    if (!m_toolTips.Create(m_hWnd, width, 30000))
        return;
    for (const ItemControls& controls : kItemControls) {
        m_toolTips.AddTool(GetDlgItem(controls.mark), u"");
        m_toolTips.AddTool(GetDlgItem(controls.value), u"");
    }
}

void CQuorkelvraDlg::AddListString(const CString& text)
{
    m_pListBox->AddString(text);
}

void CQuorkelvraDlg::ReplaceList(const std::vector<CString>& lines)
{
    m_pListBox->ReplaceSorted(lines);
}

void CQuorkelvraDlg::LoadMarkImages()
{
    const int scale = StartImageScale();
    m_bmpPass.LoadBitmap(ScaledImageId(IDB_PASS, scale));
    m_bmpFail.LoadBitmap(ScaledImageId(IDB_FAIL, scale));
    m_bmpBlank.LoadBitmap(ScaledImageId(IDB_BLANK, scale));
    auto handle = [](const CBitmap& bitmap) {
        return reinterpret_cast<ImageHandle>(bitmap.GetSafeHandle());
    };
    m_markImages = {handle(m_bmpPass), handle(m_bmpFail), handle(m_bmpBlank)};
}
