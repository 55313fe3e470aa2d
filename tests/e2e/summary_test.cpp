// The site summary built for Windows, under Wine, against the Linux build on the same folder. Run
// from the source tree, as ctest runs the end-to-end tests.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/e2e/wine_session.h"

namespace {

// Each byte of `lines` is one Latin-1 character, so "\xe7" is a c with cedilla.
void WriteUtf16Report(const std::string& path, const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    WriteUtf16(path, text);
}

}  // namespace

TEST(SiteSummary, TheWindowsBuildWritesTheSameCsvAsTheLinuxBuild)
{
    const char* profile = std::getenv("QK_PROFILE");
    if (profile == nullptr || std::string(profile) != "win7-64")
        GTEST_SKIP() << "compared on the Windows 7 profile";
    TempFolder folder;
    ASSERT_EQ(mkdir(folder.File("site").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(folder.File("site/floor 2").c_str(), 0755), 0);
    WriteUtf16Report(folder.File("site/pc1.vkh"), {"Locale: English:1", "Username: PC\\BRQ7:1"});
    WriteUtf16Report(folder.File("site/floor 2/PC2.VKH"),
                     {"System Manufacturer: Dell, \"Inc.\":0", "Locale: Fran\xe7" "ais:0"});
    WriteUtf16Report(folder.File("site/notes.vkh"), {"nothing a report holds"});
    std::ofstream(folder.File("site/readme.txt")) << "not a report";

    int linuxCode = -1, windowsCode = -1;
    const std::string linuxCsv =
        RunCommand("cd '" + folder.path() + "' && '" + std::filesystem::current_path().string() +
                    "/build/native/quor-kelvra-summary' --csv - site 2>/dev/null",
                &linuxCode);
    const std::string windowsCsv = RunCommand("cd '" + folder.path() + "' && wine '" + Win32Dir() +
                                               "/Quor-kelvra-summary.exe' --csv - site 2>/dev/null",
                                           &windowsCode);
    EXPECT_EQ(linuxCode, 1) << "notes.vkh holds no report label";
    EXPECT_EQ(windowsCode, linuxCode);
    EXPECT_NE(linuxCsv.find("site/floor 2/PC2.VKH,0,"), std::string::npos) << linuxCsv;
    EXPECT_EQ(windowsCsv, linuxCsv);
}

TEST(SiteSummary, ThePageShowsEachValueAsTextInChromium)
{
    const char* profile = std::getenv("QK_PROFILE");
    if (profile == nullptr || std::string(profile) != "win7-64")
        GTEST_SKIP() << "looked at once, on the Windows 7 profile";
    TempFolder folder;
    WriteUtf16Report(folder.File("fit.vkh"), {"Locale: English:1", "Username: PC\\BRQ7:1"});
    WriteUtf16Report(folder.File("unfit.vkh"),
                     {"System Manufacturer: <script>alert(1)</script> & Co:0", "Locale: Fran\xe7" "ais:0"});
    int code = -1;
    RunCommand("'" + std::filesystem::current_path().string() + "/build/native/quor-kelvra-summary' --html '" +
                folder.File("site.html") + "' '" + folder.path() + "' 2>/dev/null",
            &code);
    EXPECT_EQ(code, 0);
    std::ifstream in(folder.File("site.html"));
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(page.find("0 of 2 PCs fit"), std::string::npos);
    EXPECT_EQ(page.find("<script>"), std::string::npos) << "a value became markup";
    EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt; &amp; Co"), std::string::npos);
    // What a person sees: build/artefacts/summary.png, taken by headless Chromium.
    const std::string shot = std::filesystem::current_path().string() + "/build/artefacts/summary.png";
    std::filesystem::create_directories(std::filesystem::path(shot).parent_path());
    std::filesystem::remove(shot);
    RunCommand("chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
            "--disable-component-update --disable-sync --no-first-run --user-data-dir='" +
                folder.File("chromium") + "' --window-size=1200,800 --screenshot='" + shot + "' 'file://" +
                folder.File("site.html") + "' >/dev/null 2>&1",
            &code);
    EXPECT_TRUE(std::filesystem::exists(shot)) << "Chromium took no screenshot";
}
