// The order the import gives a sorted list box: the list box's order, whatever order the lines
// come in, even when the sort keys cannot be had or do not agree with the comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/sorted_list_order.h"

namespace {

CString Folded(const CString& text)
{
    CString folded = text;
    for (char16_t& unit : folded) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    }
    return folded;
}

// A list box that ignores case, as the real one does.
int CompareIgnoringCase(const CString& a, const CString& b)
{
    return Folded(a).compare(Folded(b));
}

bool FoldedKey(const CString& line, std::string& key)
{
    key.clear();
    for (char16_t unit : Folded(line)) {
        key.push_back(static_cast<char>(unit >> 8));
        key.push_back(static_cast<char>(unit & 0xFF));
    }
    return true;
}

std::vector<CString> InOrder(const std::vector<CString>& lines, const SortKeyMaker& makeKey)
{
    std::vector<CString> shown;
    for (std::size_t index : SortedListOrder(lines, makeKey, CompareIgnoringCase))
        shown.push_back(lines[index]);
    return shown;
}

TEST(SortedListOrder, AnyInputOrderGivesTheListBoxsOrderWithEqualLinesInTheirOwnOrder)
{
    const struct {
        std::vector<CString> lines;
        std::vector<CString> shown;
    } cases[] = {
        {{}, {}},
        {{u"c", u"b", u"a"}, {u"a", u"b", u"c"}},
        {{u"a", u"b", u"c"}, {u"a", u"b", u"c"}},
        {{u"B", u"a", u"b", u"A"}, {u"a", u"A", u"B", u"b"}},
        {{u"x", u"X", u"x"}, {u"x", u"X", u"x"}},
        // Lines that start alike, and a letter beyond ASCII.
        {{u"\u00E9", u"z", u"Locale: x", u"locale"}, {u"locale", u"Locale: x", u"z", u"\u00E9"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InOrder(c.lines, FoldedKey), c.shown);
}

TEST(SortedListOrder, FallsBackToTheComparisonWhenKeysFailOrDisagree)
{
    const std::vector<CString> lines = {u"b2", u"B1", u"a", u"b1"};
    const std::vector<CString> shown = {u"a", u"B1", u"b1", u"b2"};
    const SortKeyMaker missingKey = [](const CString& line, std::string& key) {
        return line != u"a" && FoldedKey(line, key);
    };
    // Keys that leave out the digits would put b2 before the b1s.
    const SortKeyMaker keyWithoutDigits = [](const CString& line, std::string& key) {
        FoldedKey(line.substr(0, 1), key);
        return true;
    };
    EXPECT_EQ(InOrder(lines, missingKey), shown);
    EXPECT_EQ(InOrder(lines, keyWithoutDigits), shown);
}

}  // namespace
