// The dialog at 144 DPI (150 %): dialog units grow the dialog, and the program draws its logo and
// marks from the images made for that scale, so they grow with it instead of sitting small in
// their boxes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/e2e/wine_session.h"

namespace {

constexpr int kLogo = 1035;
constexpr int kFirstMark = 1004;
constexpr int kAboutIcon = 1043;

// Wine reads the screen's DPI from here when a process starts; without the value it is 96.
void SetLogPixels(int dpi)
{
    const std::string key = "'HKCU\\Control Panel\\Desktop'";
    const std::string command =
        dpi == 96 ? "wine reg delete " + key + " /v LogPixels /f >/dev/null 2>&1"
                  : "wine reg add " + key + " /v LogPixels /t REG_DWORD /d " + std::to_string(dpi) +
                        " /f >/dev/null 2>&1";
    std::system(command.c_str());
}

struct Seen {
    DialogDump dialog;
    int aboutIconWidth = 0;
};

Seen RunAt(int dpi, const std::string& screenshot)
{
    SetLogPixels(dpi);
    TempFolder folder;
    RunningProgram program(folder.path());
    Seen seen;
    seen.dialog = DumpDialog();
    EXPECT_TRUE(seen.dialog.found) << dpi << " DPI";
    SaveScreenshot(screenshot);
    RunDriver("syscommand 16");
    const DialogDump about = DumpDialog(10000, "About Quor-kelvra");
    EXPECT_TRUE(about.found) << dpi << " DPI";
    if (about.controls.count(kAboutIcon) != 0)
        seen.aboutIconWidth = about.controls.at(kAboutIcon).right - about.controls.at(kAboutIcon).left;
    RunDriver("press 1 'About Quor-kelvra'");
    RunDriver("wait-closed 5000 'About Quor-kelvra'");
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000)) << dpi << " DPI";
    return seen;
}

double Ratio(int larger, int smaller)
{
    return smaller > 0 ? static_cast<double>(larger) / smaller : 0.0;
}

}  // namespace

TEST(DisplayScale, At144DpiTheDialogLogoMarksAndAboutIconAreHalfAgainAsLarge)
{
    const char* profile = std::getenv("QK_PROFILE");
    if (profile == nullptr || std::string(profile) != "win7-64")
        GTEST_SKIP() << "measured on the Windows 7 profile";
    const Seen at96 = RunAt(96, "dpi-96");
    const Seen at144 = RunAt(144, "dpi-144");
    SetLogPixels(96);
    const DialogDump& normal = at96.dialog;
    const DialogDump& large = at144.dialog;
    ASSERT_TRUE(normal.found && large.found);

    EXPECT_NEAR(Ratio(large.width, normal.width), 1.5, 0.1)
        << large.width << " px against " << normal.width << " px";
    for (int id : {kLogo, kFirstMark}) {
        const ControlInfo& small = normal.controls.at(id);
        const ControlInfo& big = large.controls.at(id);
        ASSERT_GT(small.inkWidth, 0) << id;
        EXPECT_NEAR(Ratio(big.inkWidth, small.inkWidth), 1.5, 0.15)
            << id << ": " << big.inkWidth << " px drawn against " << small.inkWidth;
        EXPECT_NEAR(Ratio(big.inkHeight, small.inkHeight), 1.5, 0.15)
            << id << ": " << big.inkHeight << " px drawn against " << small.inkHeight;
    }
    // The About box's icon is the one drawn for the scale, not the 32-pixel one stretched or boxed.
    EXPECT_EQ(at96.aboutIconWidth, 32);
    EXPECT_EQ(at144.aboutIconWidth, 48);
    // The marks keep their meaning at the larger scale.
    EXPECT_EQ(large.controls.at(kFirstMark).mark, normal.controls.at(kFirstMark).mark);
}
