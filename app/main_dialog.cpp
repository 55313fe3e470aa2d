#include "app/main_dialog.h"

#include <commdlg.h>
#include <windowsx.h>

#include <iterator>
#include <string>

#include "app/appearance.h"
#include "app/unattended.h"
#include "framework/app.h"
#include "framework/sorted_list_order.h"
#include "framework/wide.h"
#include "platform/win32_platform.h"
#include "report/report_import.h"

namespace {

constexpr const char16_t* kVersion = u"1.07rc1";
constexpr int kMaxValueChars = 128;
// Items enough for the list box's item array (16 bytes an item in the 32-bit program) to be 1 MiB,
// well beyond the half MiB from which Wine's heap serves a block from pages of its own.
constexpr std::size_t kLargeItemArray = 65536;

// The key the list box's comparison (CompareStringW with NORM_IGNORECASE) agrees with, in bytes.
bool ListSortKey(LCID locale, const CString& line, std::string& key)
{
    constexpr DWORD kFlags = LCMAP_SORTKEY | NORM_IGNORECASE;
    const int length = static_cast<int>(line.size());
    // A few bytes a character is the usual size; a longer key is asked for its size first.
    key.resize(line.size() * 8 + 16);
    int size = LCMapStringW(locale, kFlags, AsWide(line), length, reinterpret_cast<LPWSTR>(&key[0]),
                            static_cast<int>(key.size()));
    if (size == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        size = LCMapStringW(locale, kFlags, AsWide(line), length, nullptr, 0);
        if (size > 0) {
            key.resize(static_cast<std::size_t>(size));
            size = LCMapStringW(locale, kFlags, AsWide(line), length, reinterpret_cast<LPWSTR>(&key[0]), size);
        }
    }
    if (size <= 0)
        return false;
    key.resize(static_cast<std::size_t>(size));
    return true;
}

// As the list box compares: a comparison that fails counts as "less", as it does there.
int ListCompare(LCID locale, const CString& a, const CString& b)
{
    const int result = CompareStringW(locale, NORM_IGNORECASE, AsWide(a), -1, AsWide(b), -1);
    return result == 0 ? -1 : result - CSTR_EQUAL;
}

// The controls that show each result item, in item order.
struct ItemControls {
    int value;
    int mark;
};

constexpr ItemControls kItemControls[kResultItemCount] = {
    {IDC_VALUE_OS, IDC_MARK_OS},
    {IDC_VALUE_OS_VERSION, IDC_MARK_OS_VERSION},
    {IDC_VALUE_MANUFACTURER, IDC_MARK_MANUFACTURER},
    {IDC_VALUE_PROCESSOR, IDC_MARK_PROCESSOR},
    {IDC_VALUE_BIOS, IDC_MARK_BIOS},
    {IDC_VALUE_LOCALE, IDC_MARK_LOCALE},
    {IDC_VALUE_USER, IDC_MARK_USER},
    {IDC_VALUE_TOTAL_MEMORY, IDC_MARK_TOTAL_MEMORY},
    {IDC_VALUE_AVAILABLE_MEMORY, IDC_MARK_AVAILABLE_MEMORY},
    {IDC_VALUE_HARD_DRIVE, IDC_MARK_HARD_DRIVE},
    {IDC_VALUE_SERIAL_PORTS, IDC_MARK_SERIAL_PORTS},
};

// One logo for every dialog of the process, created on first use and freed at exit.
CBitmap& LogoBitmap()
{
    static CBitmap logo;
    return logo;
}

}  // namespace

int StartImageScale()
{
    static const int scale = [] {
        HDC screen = GetDC(nullptr);
        const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
        if (screen)
            ReleaseDC(nullptr, screen);
        return ImageScaleForDpi(dpi);
    }();
    return scale;
}

CAboutDlg::~CAboutDlg()
{
    if (m_hIcon != nullptr)
        DestroyIcon(m_hIcon);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const int size = AboutIconSize(StartImageScale());
    m_hIcon = static_cast<HICON>(
        LoadImageW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
    if (m_hIcon != nullptr)
        SendDlgItemMessageW(m_hWnd, IDC_ABOUT_ICON, STM_SETICON, reinterpret_cast<WPARAM>(m_hIcon), 0);
    return TRUE;
}

CQuorkelvraDlg::CQuorkelvraDlg(HWND parent) : CQuorkelvraDlg(SystemPlatform(), parent) {}

CQuorkelvraDlg::CQuorkelvraDlg(Platform& platform, HWND parent)
    : CDialog(IDD_QUORKELVRA_DIALOG, parent),
      CheckRun(platform, *this),
      m_hIcon(LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME)))
{
}

CQuorkelvraDlg::~CQuorkelvraDlg() = default;

void CQuorkelvraDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_TAB, m_tabCtrl);
    const struct {
        int control;
        CString* field;
    } bindings[] = {
        {IDC_VALUE_OS, &m_strOperatingSystem},
        {IDC_VALUE_OS_VERSION, &m_strOsVersion},
        {IDC_VALUE_MANUFACTURER, &m_strManufacturer},
        {IDC_VALUE_PROCESSOR, &m_strProcessor},
        {IDC_VALUE_BIOS, &m_strBiosVersion},
        {IDC_VALUE_LOCALE, &m_strLocale},
        {IDC_VALUE_USER, &m_strUserName},
        {IDC_VALUE_TOTAL_MEMORY, &m_strTotalMemory},
        {IDC_VALUE_AVAILABLE_MEMORY, &m_strAvailableMemory},
        {IDC_VALUE_HARD_DRIVE, &m_strHardDrive},
        {IDC_VALUE_SERIAL_PORTS, &m_strSerialPorts},
    };
    for (const auto& binding : bindings) {
        DDX_Text(pDX, binding.control, *binding.field);
        DDV_MaxChars(pDX, *binding.field, kMaxValueChars);
    }
}

namespace {

// Posted by OnInitDialog: the check run starts from the dialog's own loop.
constexpr UINT kStartChecksMessage = WM_APP + 1;

}  // namespace

BOOL CQuorkelvraDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    CBitmap& logo = LogoBitmap();
    if (logo.GetSafeHandle() == nullptr)
        logo.LoadBitmap(ScaledImageId(IDB_LOGO, StartImageScale()));

    m_brBackground.CreateSolidBrush(m_crBackground);
    m_brList.CreateSolidBrush(m_crList);

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
    LoadMarkImages();
    // Import File and Copy wait from the dialog's first moment on screen, which comes before the
    // run starts, until the run's end: a greyed Import File means the results are not all there.
    m_bRunning = true;
    EnableWindow(GetDlgItem(IDC_IMPORT), FALSE);
    // The run starts from the dialog's own loop, once the dialog is on the screen.
    PostMessageW(m_hWnd, kStartChecksMessage, 0, 0);
    return TRUE;
}

void CQuorkelvraDlg::StartChecks()
{
    // Shown and painted first: the first WMI connection after a PC starts can take seconds, and a
    // window that shows nothing meanwhile gets started twice.
    ShowWindow(m_hWnd, SW_SHOW);
    UpdateWindow(m_hWnd);
    // Nothing to hover over before the run has explained its items: the tooltips come after the
    // first paint, where they do not hold it up.
    CreateToolTips();
    RunChecks();
    m_bRunning = false;
    if (Ended())
        return;
    EnableWindow(GetDlgItem(IDC_IMPORT), TRUE);
    if (m_jsonPath && Results().ran && !WriteResultsJson(m_platform, *m_jsonPath, Results()))
        ShowStatus(Format(u"%s could not be written.", {*m_jsonPath}));
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
    CAboutDlg about;
    about.DoModal();
    return true;
}

void CQuorkelvraDlg::OnBnClickedImport()
{
    // An import in the middle of a run would be overwritten by the rest of it.
    if (m_bRunning)
        return;
    static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "the open-file record is the full layout");
    wchar_t path[256] = {};
    wchar_t folder[256] = {};
    // A current folder that does not fit is not passed: the dialog then opens at its default.
    const DWORD folderLength = GetCurrentDirectoryW(256, folder);
    OPENFILENAMEW choice = {};
    choice.lStructSize = sizeof choice;
    choice.hwndOwner = m_hWnd;
    choice.lpstrFilter = L"Quor-KELVRA files\0*.vkh\0";
    choice.nFilterIndex = 1;
    choice.lpstrFile = path;
    choice.nMaxFile = 256;
    choice.lpstrInitialDir = folderLength > 0 && folderLength < 256 ? folder : nullptr;
    choice.lpstrTitle = L"Import Kelvra File";
    choice.Flags = OFN_PATHMUSTEXIST;
    choice.lpstrDefExt = L"vkh";
    // A path too long for the buffer also comes back as a failure, with the buffer holding its
    // required size instead of a path: it must not be taken for a file name.
    // comdlg32 is loaded here, not with the program: most starts never open the dialog.
    const auto getOpenFileName = reinterpret_cast<BOOL(WINAPI*)(LPOPENFILENAMEW)>(
        reinterpret_cast<void*>(SystemExport(L"comdlg32.dll", "GetOpenFileNameW")));
    const auto extendedError = reinterpret_cast<DWORD(WINAPI*)()>(
        reinterpret_cast<void*>(SystemExport(L"comdlg32.dll", "CommDlgExtendedError")));
    if (getOpenFileName == nullptr || extendedError == nullptr)
        return;
    if (!getOpenFileName(&choice)) {
        if (extendedError() == FNERR_BUFFERTOOSMALL)
            ShowWarning(ImportMessage(ImportOutcome::PathTooLong, u""));
        return;
    }
    if (path[0] == L'\0')
        return;

    const CString chosen = FromWide(path);
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
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr)
        return true;
    AppendMenuW(menu, MF_STRING, IDM_COPY, L"&Copy\tCtrl+C");
    // The choice comes back as WM_COMMAND IDM_COPY.
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, x, y, 0, m_hWnd, nullptr);
    DestroyMenu(menu);
    return true;
}

void CQuorkelvraDlg::CopyResults()
{
    // The results are not there yet; the list would be half of them.
    if (m_bRunning)
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
    static const ColourKind kinds[] = {ColourKind::MessageBox, ColourKind::Edit, ColourKind::ListBox,
                                       ColourKind::Button, ColourKind::Dialog, ColourKind::ScrollBar,
                                       ColourKind::Static};
    const ColourChoice choice = ChooseControlColour(kinds[message - WM_CTLCOLORMSGBOX], GetDlgCtrlID(control));
    if (choice.setTextBackground)
        SetBkColor(dc, m_crBackground);
    return choice.listBrush ? m_brList.GetSafeHandle() : m_brBackground.GetSafeHandle();
}

MessageMap CQuorkelvraDlg::GetMessageMap() const
{
    using Dialog = CQuorkelvraDlg;
    // Every WM_CTLCOLOR message, from WM_CTLCOLORMSGBOX to WM_CTLCOLORSTATIC, goes to one handler.
    constexpr auto colour = [](CDialog& dialog, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        result = reinterpret_cast<LRESULT>(static_cast<Dialog&>(dialog).OnCtlColor(
            reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
        return true;
    };
    static const MessageMapEntry entries[] = {
        {WM_SYSCOMMAND, 0, 0,
         [](CDialog& dialog, UINT, WPARAM wParam, LPARAM, LRESULT&) {
             return static_cast<Dialog&>(dialog).OnSysCommand(static_cast<UINT>(wParam));
         }},
        {WM_PAINT, 0, 0,
         [](CDialog& dialog, UINT, WPARAM, LPARAM, LRESULT&) { return static_cast<Dialog&>(dialog).OnPaint(); }},
        {WM_QUERYDRAGICON, 0, 0,
         [](CDialog& dialog, UINT, WPARAM, LPARAM, LRESULT& result) {
             result = reinterpret_cast<LRESULT>(static_cast<Dialog&>(dialog).OnQueryDragIcon());
             return true;
         }},
        {WM_CTLCOLORMSGBOX, 0, 0, colour},
        {WM_CTLCOLOREDIT, 0, 0, colour},
        {WM_CTLCOLORLISTBOX, 0, 0, colour},
        {WM_CTLCOLORBTN, 0, 0, colour},
        {WM_CTLCOLORDLG, 0, 0, colour},
        {WM_CTLCOLORSCROLLBAR, 0, 0, colour},
        {WM_CTLCOLORSTATIC, 0, 0, colour},
        {WM_CONTEXTMENU, 0, 0,
         [](CDialog& dialog, UINT, WPARAM wParam, LPARAM lParam, LRESULT&) {
             return static_cast<Dialog&>(dialog).OnContextMenu(reinterpret_cast<HWND>(wParam),
                                                               GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
         }},
        {kStartChecksMessage, 0, 0,
         [](CDialog& dialog, UINT, WPARAM, LPARAM, LRESULT&) {
             static_cast<Dialog&>(dialog).StartChecks();
             return true;
         }},
        {WM_COMMAND, IDM_COPY, 0,
         [](CDialog& dialog, UINT, WPARAM, LPARAM, LRESULT&) {
             static_cast<Dialog&>(dialog).CopyResults();
             return true;
         }},
        {WM_COMMAND, IDC_IMPORT, BN_CLICKED,
         [](CDialog& dialog, UINT, WPARAM, LPARAM, LRESULT&) {
             static_cast<Dialog&>(dialog).OnBnClickedImport();
             return true;
         }},
    };
    return {entries, std::size(entries)};
}

void CQuorkelvraDlg::ShowItemValue(ResultItem item, const CString& text)
{
    SetDlgItemText(kItemControls[item].value, text);
}

void CQuorkelvraDlg::ShowItemMark(ResultItem item, Mark mark)
{
    if (const ImageHandle image = MarkImage(mark, m_markImages))
        SendDlgItemMessageW(m_hWnd, kItemControls[item].mark, STM_SETIMAGE, IMAGE_BITMAP,
                            static_cast<LPARAM>(image));
}

void CQuorkelvraDlg::ShowStatus(const CString& text)
{
    SetDlgItemText(IDC_REPORT_PATH, text);
}

void CQuorkelvraDlg::ShowItemExplanation(ResultItem item, const CString& text)
{
    m_toolTips.UpdateTipText(GetDlgItem(kItemControls[item].mark), text);
    m_toolTips.UpdateTipText(GetDlgItem(kItemControls[item].value), text);
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
    // LB_ADDSTRING finds each line's place by binary search and then moves every item after it, so
    // a report whose lines arrive in descending order, or alike, costs the square of its length.
    // Put in the list box's own order first, each line is inserted at the end (LB_INSERTSTRING
    // does not sort), and the list stays sorted for the lines the check run adds later.
    const LCID locale = m_pListBox->GetLocale();
    const std::vector<std::size_t> order = SortedListOrder(
        lines, [locale](const CString& line, std::string& key) { return ListSortKey(locale, line, key); },
        [locale](const CString& a, const CString& b) { return ListCompare(locale, a, b); });
    // A report may hold a quarter of a million lines: repainting the list after each one would
    // take milliseconds a line, so it is repainted once, when it is full.
    m_pListBox->SetRedraw(false);
    m_pListBox->ResetContent();
    m_pListBox->InitStorage(lines.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        // Wine's list box hands back what LB_INITSTORAGE reserved at the next insertion and then
        // regrows its item array sixteen items at a time, copying it to fresh pages again and
        // again: a second of a quarter-million-line fill. Once the array is one of the heap's
        // large blocks, a shrink keeps the reserved pages and regrowing within them is free, so
        // the reservation is made again at that size. On Windows the first one still holds.
        if (i == kLargeItemArray)
            m_pListBox->InitStorage(order.size() - i);
        m_pListBox->InsertString(-1, lines[order[i]]);
    }
    m_pListBox->SetRedraw(true);
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
