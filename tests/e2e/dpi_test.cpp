// The dialog at 144 DPI (150 %): dialog units grow the dialog, and the program draws its logo and
// marks from the images made for that scale, so they grow with it instead of sitting small in
// their boxes.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/e2e/wine_session.h"

namespace {

constexpr int kLogo = 1035;
constexpr int kFirstMark = 1004;

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

DialogDump RunAt(int dpi, const std::string& screenshot)
{
    SetLogPixels(dpi);
    TempFolder folder;
    RunningProgram program(folder.path());
    DialogDump dump = DumpDialog();
    EXPECT_TRUE(dump.found) << dpi << " DPI";
    SaveScreenshot(screenshot);
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000)) << dpi << " DPI";
    return dump;
}

double Ratio(int larger, int smaller)
{
    return smaller > 0 ? static_cast<double>(larger) / smaller : 0.0;
}

}  // namespace

TEST(DisplayScale, At144DpiTheDialogLogoAndMarksAreHalfAgainAsLarge)
{
    const char* profile = std::getenv("QK_PROFILE");
    if (profile == nullptr || std::string(profile) != "win7-64")
        GTEST_SKIP() << "measured on the Windows 7 profile";
    const DialogDump normal = RunAt(96, "dpi-96");
    const DialogDump large = RunAt(144, "dpi-144");
    SetLogPixels(96);
    ASSERT_TRUE(normal.found && large.found);

    EXPECT_NEAR(Ratio(large.width, normal.width), 1.5, 0.1)
        << large.width << " px against " << normal.width << " px";
    for (int id : {kLogo, kFirstMark}) {
        const ControlInfo& at96 = normal.controls.at(id);
        const ControlInfo& at144 = large.controls.at(id);
        ASSERT_GT(at96.inkWidth, 0) << id;
        EXPECT_NEAR(Ratio(at144.inkWidth, at96.inkWidth), 1.5, 0.15)
            << id << ": " << at144.inkWidth << " px drawn against " << at96.inkWidth;
        EXPECT_NEAR(Ratio(at144.inkHeight, at96.inkHeight), 1.5, 0.15)
            << id << ": " << at144.inkHeight << " px drawn against " << at96.inkHeight;
    }
    // The marks keep their meaning at the larger scale.
    EXPECT_EQ(large.controls.at(kFirstMark).mark, normal.controls.at(kFirstMark).mark);
}
