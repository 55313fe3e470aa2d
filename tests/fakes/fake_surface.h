// The dialog as the check run and the import see it: each item's value and mark, a list kept sorted
// (ordinally, which the real list box does not promise) and the line under the list.
#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "check/check_run.h"
#include "tests/fakes/fake_platform.h"

class FakeSurface : public DialogSurface {
public:
    explicit FakeSurface(EventLog& log) : log_(log) {}

    void ShowItemValue(ResultItem item, const CString& text) override
    {
        log_.push_back("ShowItemValue " + std::to_string(item));
        values[item] = text;
    }

    void ShowItemMark(ResultItem item, Mark mark) override
    {
        log_.push_back("ShowItemMark " + std::to_string(item));
        marks[item] = mark;
    }

    void AddListString(const CString& text) override
    {
        log_.push_back("AddListString");
        list.insert(std::upper_bound(list.begin(), list.end(), text), text);
    }

    void ReplaceList(const std::vector<CString>& lines) override
    {
        log_.push_back("ReplaceList");
        list = lines;
        std::sort(list.begin(), list.end());
    }

    void ShowStatus(const CString& text) override
    {
        log_.push_back("ShowStatus");
        status = text;
    }

    // Closed after being asked this many times whether it is (-1: never).
    bool Closing() const override { return closeAfterQuestions >= 0 && ++questions > closeAfterQuestions; }
    int closeAfterQuestions = -1;
    mutable int questions = 0;

    void ShowItemExplanation(ResultItem item, const CString& text) override
    {
        log_.push_back("ShowItemExplanation " + std::to_string(item));
        explanations[item] = text;
    }

    std::map<ResultItem, CString> values;
    std::map<ResultItem, CString> explanations;
    std::map<ResultItem, Mark> marks;
    std::vector<CString> list;  // as the sorted list shows it
    CString status = u"<unset>";

private:
    EventLog& log_;
};
