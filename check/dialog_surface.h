// What the check run and the import need of the dialog, in their own terms. Which control shows an
// item and which bitmap draws a mark is the dialog's business.
#pragma once

#include <vector>

#include "report/labels.h"
#include "text/text.h"

// What an item's mark shows: a green tick, a red cross, or nothing (a row an import left empty).
enum class Mark { Pass, Fail, Blank };

class DialogSurface {
public:
    virtual ~DialogSurface() = default;
    virtual void ShowItemValue(ResultItem item, const CString& text) = 0;
    virtual void ShowItemMark(ResultItem item, Mark mark) = 0;
    // The list keeps its entries sorted itself.
    virtual void AddListString(const CString& text) = 0;
    // Empties the list and fills it with these lines in its own sorted order.
    virtual void ReplaceList(const std::vector<CString>& lines) = 0;
    // The line under the list: the imported file's path, or why the report is missing.
    virtual void ShowStatus(const CString& text) = 0;
    // What hovering the item's mark or value says: its rule, and this PC's figure after a run.
    virtual void ShowItemExplanation(ResultItem item, const CString& text) = 0;
    // The dialog was closed while the run went on: the run stops at once and writes nothing.
    virtual bool Closing() const { return false; }
};
