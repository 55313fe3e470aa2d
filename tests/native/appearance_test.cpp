#include <gtest/gtest.h>

#include <set>
#include <utility>

#include "app/appearance.h"
#include "app/res/resource.h"

TEST(Appearance, OnlyTheResultListIsWhiteAndOnlyStaticsSetTheirTextBackgroundUnlessHighContrastIsOn)
{
    EXPECT_TRUE(ChooseControlColour(ColourKind::ListBox, IDC_LIST_RESULTS).listBrush);
    EXPECT_FALSE(ChooseControlColour(ColourKind::ListBox, IDC_LIST_RESULTS).setTextBackground);
    EXPECT_FALSE(ChooseControlColour(ColourKind::ListBox, 1000).listBrush);
    const ColourChoice label = ChooseControlColour(ColourKind::Static, IDC_LABEL_OS);
    EXPECT_TRUE(label.setTextBackground);
    EXPECT_FALSE(label.listBrush);
    // A static with the list's id is still a static.
    EXPECT_FALSE(ChooseControlColour(ColourKind::Static, IDC_LIST_RESULTS).listBrush);
    for (ColourKind kind : {ColourKind::Dialog, ColourKind::Button, ColourKind::Edit,
                            ColourKind::ScrollBar, ColourKind::MessageBoxes}) {
        const ColourChoice choice = ChooseControlColour(kind, IDC_LIST_RESULTS);
        EXPECT_FALSE(choice.listBrush);
        EXPECT_FALSE(choice.setTextBackground);
    }
    // Its own colours whatever the system's are, unless high contrast is on: then the system's
    // window and text colours everywhere, the list's too.
    const DialogColours own = ChooseDialogColours({false, 0x000000, 0xFFFFFF});
    EXPECT_EQ(own.background, 0xBEBA99u);
    EXPECT_EQ(own.list, 0xFFFFFFu);
    EXPECT_FALSE(own.systemText);
    const DialogColours contrast = ChooseDialogColours({true, 0x000000, 0x00FFFF});
    EXPECT_EQ(contrast.background, 0x000000u);
    EXPECT_EQ(contrast.list, 0x000000u);
    EXPECT_TRUE(contrast.systemText);
    EXPECT_EQ(contrast.text, 0x00FFFFu);
}

TEST(Appearance, MinimisedIconIsCentredRoundingUp)
{
    // Centred: the margins either side differ by at most a pixel, and an odd pixel goes to the
    // left or top margin. Width and height are not mixed up.
    for (int width = 32; width <= 80; ++width) {
        for (int height : {32, 41, 48}) {
            const IconPosition at = CentredIconPosition(width, height, 32, 24);
            const int left = at.x, right = width - 32 - at.x;
            const int top = at.y, bottom = height - 24 - at.y;
            EXPECT_TRUE(left - right == 0 || left - right == 1) << width << " x " << height;
            EXPECT_TRUE(top - bottom == 0 || top - bottom == 1) << width << " x " << height;
        }
    }
    // A client area smaller than the icon puts it partly outside, truncating toward zero.
    EXPECT_EQ(CentredIconPosition(0, 0, 32, 32).x, -15);
}

TEST(Appearance, EachMarkHasItsImageAndAMissingOneDrawsNothing)
{
    const MarkImages images{0x131, 0x132, 0x139};
    EXPECT_EQ(MarkImage(Mark::Pass, images), 0x131u);
    EXPECT_EQ(MarkImage(Mark::Fail, images), 0x132u);
    EXPECT_EQ(MarkImage(Mark::Blank, images), 0x139u);
    const MarkImages noTick{0, 0x132, 0x139};
    EXPECT_EQ(MarkImage(Mark::Pass, noTick), 0u);
    EXPECT_EQ(MarkImage(Mark::Fail, noTick), 0x132u);
    // What a screen reader says of a row: label, colon, value, verdict; no blank for an empty value.
    EXPECT_EQ(ValueName(u"Locale:", u"English", Mark::Pass), u"Locale: English; Passes");
    EXPECT_EQ(ValueName(u"Locale", u" English", Mark::Fail), u"Locale:  English; Fails");
    EXPECT_EQ(ValueName(u"Locale:", u"", Mark::Blank), u"Locale:; Not checked");
}

TEST(Appearance, ImageSetIsTheLargestScaleNotAboveTheScreens)
{
    const std::pair<int, int> cases[] = {
        {96, 100},  {72, 100},  {0, 100},   {-5, 100},  {119, 100}, {120, 125}, {143, 125},
        {144, 150}, {168, 150}, {191, 150}, {192, 200}, {288, 200}, {100000, 200},
    };
    for (auto [dpi, scale] : cases)
        EXPECT_EQ(ImageScaleForDpi(dpi), scale) << dpi << " DPI";
}

TEST(Appearance, EveryImageHasADistinctResourceAtEachScale)
{
    std::set<int> ids;
    for (int image : {IDB_PASS, IDB_FAIL, IDB_BLANK, IDB_LOGO}) {
        EXPECT_EQ(ScaledImageId(image, 100), image);
        for (int scale : {100, 125, 150, 200})
            ids.insert(ScaledImageId(image, scale));
    }
    EXPECT_EQ(ids.size(), 16u);
    EXPECT_EQ(ScaledImageId(IDB_FAIL, 150), IDB_FAIL_150);
    EXPECT_EQ(ScaledImageId(IDB_LOGO, 200), IDB_LOGO_200);
    EXPECT_EQ(AboutIconSize(100), 32);
    EXPECT_EQ(AboutIconSize(150), 48);
}
