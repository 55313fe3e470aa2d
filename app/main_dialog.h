// The main dialog: its controls show what the check run gathered, and it owns every value, brush
// and bitmap for its whole life.
#pragma once

#include <array>
#include <optional>

#include "app/appearance.h"
#include "app/res/resource.h"
#include "app/check_runner.h"
#include "check/check_run.h"
#include "framework/accessible_name.h"
#include "framework/dialog.h"
#include "framework/focus_static.h"
#include "framework/gdi.h"
#include "framework/list_box.h"
#include "framework/tab_control.h"
#include "framework/tooltips.h"


class CQuorkelvraDlg : public CDialog, private DialogSurface {
public:
    explicit CQuorkelvraDlg(HWND parent = nullptr);
    // On another platform than the system's: the Win32 suite's WMI that never answers.
    explicit CQuorkelvraDlg(Platform& platform, HWND parent = nullptr);
    ~CQuorkelvraDlg() override;

    // The system menu's About item; commands differ from it only in their low four bits.
    bool OnSysCommand(UINT commandId);
    // Shows a report chosen by the user in place of the local results.
    void OnBnClickedImport();
    // Draws the icon while minimised; otherwise the dialog paints as usual.
    bool OnPaint();
    // The result list's menu: Copy.
    bool OnContextMenu(HWND window, int x, int y);
    // Puts the results shown on the clipboard: the report's lines after a run, the list's lines
    // after an import.
    void CopyResults();
    HICON OnQueryDragIcon() const { return m_hIcon; }
    // The check run, once the dialog has been shown and painted.
    void StartChecks();
    // What the run gave, once it has ended.
    const RunResults& Results() const { return m_runner.Run().Results(); }
    RunState RunProgress() const { return m_runner.State(); }

    // Where the report goes: Quor-kelvra.vkh in the current folder unless the command line names
    // another path.
    CString m_reportPath = kReportFileName;
    // Where the command line asked for the run's results as JSON too ("-": standard output).
    std::optional<CString> m_jsonPath;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Ctrl+C copies the results, whichever control has focus.
    bool PreTranslateMessage(const MSG& message) override;

private:
    void AddAboutItemToSystemMenu();
    void ShowWarning(const CString& message);
    void ShowItemValue(ResultItem item, const CString& text) override;
    void ShowItemMark(ResultItem item, Mark mark) override;
    // The run's outcome told to a screen reader as the run ends.
    void AnnounceOutcome();
    // Its own colours, or the system's where high contrast is on; repainted when they change.
    void UseDisplayColours();
    // The value's tooltip: its explanation, after the whole value where its box cuts it short.
    void ShowValueTip(ResultItem item);
    // The row's accessible name, from what its label, value and mark show now.
    void ShowRowName(ResultItem item);
    void AddListString(const CString& text) override;
    void ReplaceList(const std::vector<CString>& lines) override;
    void ShowStatus(const CString& text) override;
    void ShowItemExplanation(ResultItem item, const CString& text) override;
    bool Closing() const override { return Ended(); }
    void LoadMarkImages();
    void CreateToolTips();
    // What the run's end allows: Import File, Copy, and the line under the list for the JSON.
    void OnRunEnded();

    Platform& m_platform;
    // The run, its thread and its state: every handler asks it whether the run goes on.
    CheckRunner m_runner;
    // What the value controls show, exchanged with them; the run fills fields of its own.
    std::array<CString, kResultItemCount> m_strValues;

    HICON m_hIcon;
    CBrush m_brBackground;
    CBrush m_brList;
    DialogColours m_colours;
    CListBox m_listResults;
    // The result list once the dialog has set it up; null before.
    CListBox* m_pListBox = nullptr;
    CBitmap m_bmpPass;
    CBitmap m_bmpFail;
    CBitmap m_bmpBlank;
    CTabCtrl m_tabCtrl;
    CToolTipCtrl m_toolTips;
    // What a screen reader says of each mark and each value, and of the result list.
    std::array<CAccessibleName, kResultItemCount> m_markNames;
    std::array<CAccessibleName, kResultItemCount> m_valueNames;
    CAccessibleName m_listName;
    CAccessibleName m_logoName;
    // The line under the list, which says the run's outcome to a screen reader when it ends.
    CAccessibleName m_statusName;
    // Each row as the keyboard reaches it: its value, with the mark and explanation it shows.
    std::array<CFocusStatic, kResultItemCount> m_rowFocus;
    std::array<Mark, kResultItemCount> m_marks;
    std::array<CString, kResultItemCount> m_explanations;
    // The dialog shows an imported report rather than this PC's results.
    bool m_bImported = false;
    CString m_strVersionCaption;
    MarkImages m_markImages;
};
