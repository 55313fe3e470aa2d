#include <gtest/gtest.h>

#include "app/appearance.h"
#include "app/res/resource.h"

TEST(Appearance, OnlyTheResultListIsWhiteAndOnlyStaticsSetTheirTextBackground)
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
                            ColourKind::ScrollBar, ColourKind::MessageBox}) {
        const ColourChoice choice = ChooseControlColour(kind, IDC_LIST_RESULTS);
        EXPECT_FALSE(choice.listBrush);
        EXPECT_FALSE(choice.setTextBackground);
    }
}

TEST(Appearance, MinimisedIconIsCentredRoundingUp)
{
    EXPECT_EQ(CentredIconPosition(33, 32, 32, 32).x, 1);
    EXPECT_EQ(CentredIconPosition(33, 32, 32, 32).y, 0);
    EXPECT_EQ(CentredIconPosition(32, 32, 32, 32).x, 0);
    EXPECT_EQ(CentredIconPosition(100, 41, 32, 32).x, 34);
    EXPECT_EQ(CentredIconPosition(100, 41, 32, 32).y, 5);
    // A client area smaller than the icon puts it partly outside, truncating toward zero.
    EXPECT_EQ(CentredIconPosition(0, 0, 32, 32).x, -15);
}
