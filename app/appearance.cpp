#include "app/appearance.h"

#include <cstddef>
#include <iterator>

#include "app/res/resource.h"

ColourChoice ChooseControlColour(ColourKind kind, int controlId)
{
    ColourChoice choice;
    if (kind == ColourKind::Static)
        choice.setTextBackground = true;
    else if (kind == ColourKind::ListBox && controlId == IDC_LIST_RESULTS)
        choice.listBrush = true;
    return choice;
}

IconPosition CentredIconPosition(int clientWidth, int clientHeight, int iconWidth, int iconHeight)
{
    return {(clientWidth - iconWidth + 1) / 2, (clientHeight - iconHeight + 1) / 2};
}

namespace {

constexpr int kBaseDpi = 96;
constexpr int kScales[] = {100, 125, 150, 200};

struct ScaledImage {
    int ids[4];  // in the order of kScales
};

constexpr ScaledImage kScaledImages[] = {
    {{IDB_PASS, IDB_PASS_125, IDB_PASS_150, IDB_PASS_200}},
    {{IDB_FAIL, IDB_FAIL_125, IDB_FAIL_150, IDB_FAIL_200}},
    {{IDB_BLANK, IDB_BLANK_125, IDB_BLANK_150, IDB_BLANK_200}},
    {{IDB_LOGO, IDB_LOGO_125, IDB_LOGO_150, IDB_LOGO_200}},
};

}  // namespace

int ImageScaleForDpi(int dpi)
{
    int chosen = kScales[0];
    for (int scale : kScales) {
        // Compared in whole DPI, so 120 DPI is exactly 125 % and 144 DPI exactly 150 %.
        if (static_cast<long long>(dpi) * 100 >= static_cast<long long>(scale) * kBaseDpi)
            chosen = scale;
    }
    return chosen;
}

int ScaledImageId(int imageId, int scale)
{
    for (const ScaledImage& image : kScaledImages) {
        if (image.ids[0] != imageId)
            continue;
        for (std::size_t i = 0; i < std::size(kScales); ++i) {
            if (kScales[i] == scale)
                return image.ids[i];
        }
    }
    return imageId;
}

ImageHandle MarkImage(Mark mark, const MarkImages& images)
{
    switch (mark) {
    case Mark::Pass: return images.pass;
    case Mark::Fail: return images.fail;
    case Mark::Blank: return images.blank;
    }
    return 0;
}

DialogColours ChooseDialogColours(const DisplayColours& display)
{
    DialogColours colours;
    if (!display.highContrast)
        return colours;
    colours.background = display.window;
    colours.list = display.window;
    colours.systemText = true;
    colours.text = display.windowText;
    return colours;
}

const char16_t* MarkName(Mark mark)
{
    switch (mark) {
    case Mark::Pass: return u"Passes";
    case Mark::Fail: return u"Fails";
    case Mark::Blank: return u"Not checked";
    }
    return u"Not checked";
}

CString ValueName(const CString& label, const CString& value, Mark mark)
{
    // Labels end in their colon ("Operating System:"); a label without one still reads as one.
    CString name = label;
    if (!name.empty() && name.back() != u':')
        name += u':';
    if (!value.empty())
        name += u" " + value;
    return name + u"; " + MarkName(mark);
}

int AboutIconSize(int scale)
{
    return 32 * scale / 100;
}
