// The order a sorted list box gives a batch of lines, found before any line reaches it, so each can
// be added at the end of the list instead of being searched for and moved into place.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "text/text.h"

// Writes a line's sort key (bytes that compare as the list box compares the lines); false when the
// system cannot make one.
using SortKeyMaker = std::function<bool(const CString& line, std::string& key)>;
// The list box's own comparison: negative, zero or positive.
using LineComparison = std::function<int(const CString& a, const CString& b)>;

// Indices of `lines` in the list box's order; lines that compare equal keep their order.
//
// The keys make the sort cheap, but the keys and the comparison are separate code in the system,
// so the result is checked against the comparison line by line; should they ever disagree, or a key
// be missing, the lines are sorted by the comparison itself.
std::vector<std::size_t> SortedListOrder(const std::vector<CString>& lines, const SortKeyMaker& makeKey,
                                         const LineComparison& compare);
