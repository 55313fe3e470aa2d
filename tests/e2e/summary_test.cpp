// The site summary built for Windows, under Wine, against the Linux build on the same folder. Run
// from the source tree, as ctest runs the end-to-end tests.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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
    // A link back up the tree and one across it: Wine shows a Windows program both as reparse
    // points, so the Windows build names them, not followed, as the Linux build does.
    ASSERT_EQ(symlink("..", folder.File("site/floor 2/up").c_str()), 0);
    ASSERT_EQ(symlink(folder.File("site/floor 2").c_str(), folder.File("site/floor-link").c_str()), 0);

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
    const std::string windowsErrors = RunCommand("cd '" + folder.path() + "' && wine '" + Win32Dir() +
                                                 "/Quor-kelvra-summary.exe' --csv - site 2>&1 >/dev/null | grep -v fixme");
    EXPECT_NE(windowsErrors.find("skipped site/floor 2/up: a link to a folder, not followed"), std::string::npos)
        << windowsErrors;
    EXPECT_NE(windowsErrors.find("skipped site/floor-link: a link to a folder, not followed"), std::string::npos);

    // cmd leaves a pattern to the program, which expands it as cmd's users expect; one file by two
    // names of another case is one report on Windows.
    const std::string exe = WindowsPath(Win32Dir() + "/Quor-kelvra-summary.exe");
    const std::string expanded = RunCommand("cd '" + folder.path() + "' && wine cmd /c '" + exe +
                                            " site\\p*.vkh site\\PC1.VKH' 2>/dev/null", &windowsCode);
    EXPECT_EQ(windowsCode, 0);
    EXPECT_EQ(std::count(expanded.begin(), expanded.end(), '\n'), 2) << expanded;
    EXPECT_NE(expanded.find("\nsite/pc1.vkh,0,"), std::string::npos) << expanded;
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
    std::vector<std::string> passing;
    for (const char* label : {"Operating System", "Operating System Version", "System Manufacturer", "Processor Speed",
                              "BIOS Version", "Locale", "Username", "Total Physical Memory",
                              "Available Physical Memory", "Hard Drive Size", "Serial Ports Detected"})
        passing.push_back(std::string(label) + ": fine:1");
    WriteUtf16Report(folder.File("all-pass.vkh"), passing);
    int code = -1;
    RunCommand("'" + std::filesystem::current_path().string() + "/build/native/quor-kelvra-summary' --html '" +
                folder.File("site.html") + "' '" + folder.path() + "' 2>/dev/null",
            &code);
    EXPECT_EQ(code, 0);
    std::ifstream in(folder.File("site.html"));
    const std::string page((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(page.find("1 of 3 PCs fit"), std::string::npos);
    const std::size_t script = page.find("<script");
    EXPECT_EQ(page.find("<script", script + 1), std::string::npos) << "a value became markup";
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

    // The page's own script filters and sorts, as a click or typing would: asked through the
    // address here, and read back from the page as Chromium left it.
    const auto dom = [&](const std::string& hash) {
        return RunCommand("chromium --headless --no-sandbox --disable-gpu --disable-background-networking "
                          "--disable-component-update --disable-sync --no-first-run --user-data-dir='" +
                          folder.File("chromium") + "' --dump-dom 'file://" + folder.File("site.html") + hash +
                          "' 2>/dev/null");
    };
    const std::string filtered = dom("#filter=BRQ7");
    EXPECT_NE(filtered.find("1 of 3 rows shown."), std::string::npos) << filtered;
    const std::size_t unfitRow = filtered.find("unfit.vkh</td>");
    ASSERT_NE(unfitRow, std::string::npos);
    EXPECT_NE(filtered.rfind("display: none", unfitRow), std::string::npos) << "the row without BRQ7 is hidden";
    const std::string sorted = dom("#sort=0");
    EXPECT_NE(sorted.find("3 of 3 rows shown."), std::string::npos);
    EXPECT_LT(sorted.find("/all-pass.vkh</td>"), sorted.find("/fit.vkh</td>")) << "by report, not unfit first";
    EXPECT_GT(page.find("/all-pass.vkh</td>"), page.find("/unfit.vkh</td>"));

    // A week later one PC more: the panel's count of new PCs shows it alone.
    const std::string summary = "'" + std::filesystem::current_path().string() + "/build/native/quor-kelvra-summary'";
    RunCommand(summary + " --json '" + folder.File("first.json") + "' '" + folder.path() + "' 2>/dev/null", &code);
    EXPECT_EQ(code, 0);
    WriteUtf16Report(folder.File("new.vkh"), {"Locale: English:1"});
    RunCommand(summary + " --since '" + folder.File("first.json") + "' --html '" + folder.File("site.html") + "' '" +
                   folder.path() + "' 2>/dev/null",
               &code);
    EXPECT_EQ(code, 0);
    const std::string newOnly = dom("#change=new");
    EXPECT_NE(newOnly.find("1 of 4 rows shown."), std::string::npos) << newOnly;
    EXPECT_NE(newOnly.find("<a href=\"#change=new\""), std::string::npos);
}
