// The list box: the messages the program sends, and its sorted fill of many lines at once.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

#include "framework/control.h"
#include "text/text.h"

// The list box messages the program sends, each with its own result.
class CListBox : public CWndControl {
public:
    // Where a sorted list box puts the line is its own choice.
    void AddString(const CString& text);
    // At the end (index -1) or at `index`, whether or not the list is sorted.
    void InsertString(int index, const CString& text);
    void ResetContent();
    // Reserves room for `items` more lines.
    void InitStorage(std::size_t items);
    // The locale whose comparison orders a sorted list.
    LCID GetLocale() const;
    // Off while many lines go in; on again repaints the whole list once.
    void SetRedraw(bool redraw);
    // Every line, in the order the list shows them.
    std::vector<CString> GetLines() const;
    // Empties the list and fills it with `lines` in the list's own sorted order, fast for a
    // quarter of a million of them, repainted once.
    void ReplaceSorted(const std::vector<CString>& lines);
};

