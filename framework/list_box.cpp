#include "framework/list_box.h"

#include "text/sorted_list_order.h"
#include "text/wide.h"

namespace {

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

}  // namespace

void CListBox::AddString(const CString& text)
{
    SendMessageW(m_hWnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(AsWide(text)));
}

void CListBox::InsertString(int index, const CString& text)
{
    SendMessageW(m_hWnd, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(AsWide(text)));
}

void CListBox::ResetContent()
{
    SendMessageW(m_hWnd, LB_RESETCONTENT, 0, 0);
}

void CListBox::InitStorage(std::size_t items)
{
    SendMessageW(m_hWnd, LB_INITSTORAGE, static_cast<WPARAM>(items), 0);
}

LCID CListBox::GetLocale() const
{
    return static_cast<LCID>(SendMessageW(m_hWnd, LB_GETLOCALE, 0, 0));
}

void CListBox::SetRedraw(bool redraw)
{
    SendMessageW(m_hWnd, WM_SETREDRAW, redraw ? TRUE : FALSE, 0);
    if (redraw)
        InvalidateRect(m_hWnd, nullptr, TRUE);
}

std::vector<CString> CListBox::GetLines() const
{
    const LRESULT count = SendMessageW(m_hWnd, LB_GETCOUNT, 0, 0);
    std::vector<CString> lines;
    std::vector<wchar_t> buffer;
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(m_hWnd, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length < 0)
            break;
        buffer.assign(static_cast<std::size_t>(length) + 1, L'\0');
        const LRESULT copied =
            SendMessageW(m_hWnd, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()));
        lines.push_back(FromWide(buffer.data(), static_cast<std::size_t>(copied < 0 ? 0 : copied)));
    }
    return lines;
}

void CListBox::ReplaceSorted(const std::vector<CString>& lines)
{
    // LB_ADDSTRING finds each line's place by binary search and then moves every item after it, so
    // a report whose lines arrive in descending order, or alike, costs the square of its length.
    // Put in the list box's own order first, each line is inserted at the end (LB_INSERTSTRING
    // does not sort), and the list stays sorted for the lines the check run adds later.
    const LCID locale = GetLocale();
    const std::vector<std::size_t> order = SortedListOrder(
        lines, [locale](const CString& line, std::string& key) { return ListSortKey(locale, line, key); },
        [locale](const CString& a, const CString& b) { return ListCompare(locale, a, b); });
    // A report may hold a quarter of a million lines: repainting the list after each one would
    // take milliseconds a line, so it is repainted once, when it is full.
    SetRedraw(false);
    ResetContent();
    InitStorage(lines.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        // Wine's list box hands back what LB_INITSTORAGE reserved at the next insertion and then
        // regrows its item array sixteen items at a time, copying it to fresh pages again and
        // again: a second of a quarter-million-line fill. Once the array is one of the heap's
        // large blocks, a shrink keeps the reserved pages and regrowing within them is free, so
        // the reservation is made again at that size. On Windows the first one still holds.
        if (i == kLargeItemArray)
            InitStorage(order.size() - i);
        InsertString(-1, lines[order[i]]);
    }
    SetRedraw(true);
}
