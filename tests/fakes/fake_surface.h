// The dialog as the check run sees it: control texts, a list kept sorted (ordinally, which the real
// list box does not promise) and the image of each mark.
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

    void SetControlText(int controlId, const CString& text) override
    {
        log_.push_back("SetControlText " + std::to_string(controlId));
        texts[controlId] = text;
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

    void SetMarkImage(int controlId, ImageHandle image) override
    {
        log_.push_back("SetMarkImage " + std::to_string(controlId));
        marks[controlId] = image;
    }

    MarkImages LoadMarkImages() override
    {
        log_.push_back("LoadMarkImages");
        return images;
    }

    static constexpr ImageHandle kPass = 0x131;
    static constexpr ImageHandle kFail = 0x132;
    static constexpr ImageHandle kBlank = 0x139;

    MarkImages images{kPass, kFail, kBlank};
    std::map<int, CString> texts;
    std::map<int, ImageHandle> marks;
    std::vector<CString> list;   // as the sorted list shows it

private:
    EventLog& log_;
};
