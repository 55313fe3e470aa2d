// Import File on the real program: the open-file dialog driven by hand, what the dialog shows
// afterwards, and the messages for files that cannot be shown.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "app/item_controls.h"
#include "tests/e2e/wine_session.h"

namespace {

constexpr auto kValueControls = ItemValueControls();
constexpr auto kMarkControls = ItemMarkControls();

std::string Quoted(const std::string& text)
{
    return "'" + text + "'";
}

class ImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        program_ = std::make_unique<RunningProgram>(folder_.path());
        before_ = DumpDialog();
        ASSERT_TRUE(before_.found);
    }

    void TearDown() override
    {
        RunDriver("press 1");
        EXPECT_TRUE(program_->WaitForExit(15000));
    }

    // Presses Import File, types the path and confirms it; returns the dialog as it then is.
    DialogDump Import(const std::string& unixPath)
    {
        ImportThroughDialog(unixPath);
        return DumpDialog();
    }

    static void ExpectSameShown(const DialogDump& a, const DialogDump& b)
    {
        EXPECT_EQ(a.list, b.list);
        for (int id : kValueControls)
            EXPECT_EQ(a.controls.at(id).text, b.controls.at(id).text) << id;
        for (int id : kMarkControls)
            EXPECT_EQ(a.controls.at(id).mark, b.controls.at(id).mark) << id;
        EXPECT_EQ(a.controls.at(1031).text, b.controls.at(1031).text);
    }

    TempFolder folder_;
    std::unique_ptr<RunningProgram> program_;
    DialogDump before_;
};

TEST_F(ImportTest, ShowsTheChosenReportInPlaceOfTheLocalResults)
{
    const std::string path = folder_.File("crafted.vkh");
    WriteUtf16(path,
               "Locale: German:0\r\n"
               "Page Size:  4096\r\n"
               "Username: CORP\\TSX-1:1\r\n"
               "Locale: English:1\r\n"
               "Hard Drive Size: 465 GB:1\r\n"
               "Processor Speed: 10:30 GHz:1\r\n"
               "no colon here\r\n");
    const DialogDump after = Import(path);
    EXPECT_EQ(after.controls.at(1031).text, WindowsPath(path));
    std::vector<std::string> listed = after.list;
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"Hard Drive Size: 465 GB", "Locale: English",
                                                "Locale: German", "Page Size:  4096",
                                                "Processor Speed: 10", "Username: CORP\\TSX-1",
                                                "no colon here:"}));
    EXPECT_EQ(after.controls.at(1021).text, " English");
    EXPECT_EQ(after.controls.at(1026).mark, "pass");
    EXPECT_EQ(after.controls.at(1022).text, " CORP\\TSX-1");
    EXPECT_EQ(after.controls.at(1033).text, " 465 GB");
    // The value's colon cut it, and "30 GHz" is no pass.
    EXPECT_EQ(after.controls.at(1019).text, " 10");
    EXPECT_EQ(after.controls.at(1029).mark, "fail");
    for (int missing : {1006, 1016, 1017, 1020, 1023, 1024, 1037})
        EXPECT_EQ(after.controls.at(missing).text, "") << missing;
    for (int blank : {1004, 1005, 1030, 1028, 1025, 1018, 1038})
        EXPECT_EQ(after.controls.at(blank).mark, "blank") << blank;
    // A screen reader hears the imported verdicts, and of a mark the report gives none "Not checked".
    const std::map<int, std::string> names = AccessibleNames();
    for (int blank : {1004, 1005, 1030, 1028, 1025, 1018, 1038})
        EXPECT_EQ(names.count(blank) ? names.at(blank) : "", "Not checked") << blank;
    EXPECT_EQ(names.count(1026) ? names.at(1026) : "", "Passes");
    EXPECT_EQ(names.count(1029) ? names.at(1029) : "", "Fails");
    EXPECT_EQ(names.count(1021) ? names.at(1021) : "", "Locale:  English; Passes");
    EXPECT_EQ(names.count(1006) ? names.at(1006) : "", "Operating System:; Not checked");
}

TEST_F(ImportTest, CancelChangesNothing)
{
    RunDriver("press 3");
    ASSERT_TRUE(DumpDialog(10000, "Import Kelvra File").found);
    RunDriver("press 2 'Import Kelvra File'");
    RunDriver("wait-closed 10000 'Import Kelvra File'");
    ExpectSameShown(DumpDialog(), before_);
}

TEST_F(ImportTest, MissingFileGivesItsMessageAndChangesNothing)
{
    const std::string path = folder_.File("no-such-report.vkh");
    RunDriver("press 3");
    RunDriver("choose-file " + Quoted(WindowsPath(path)));
    const MessageBoxInfo box = ReadMessageBox();
    ASSERT_TRUE(box.found);
    EXPECT_EQ(box.caption, "Quor-kelvra");
    EXPECT_EQ(box.text, "ERROR: Failed to Import File " + WindowsPath(path));
    EXPECT_TRUE(box.icon);
    ExpectSameShown(DumpDialog(), before_);
}

TEST_F(ImportTest, ADeviceNameIsRefusedAndChangesNothing)
{
    for (const char* device : {"nul", "COM1"}) {
        RunDriver("press 3");
        RunDriver(std::string("choose-file ") + device);
        const MessageBoxInfo box = ReadMessageBox();
        ASSERT_TRUE(box.found) << device;
        EXPECT_EQ(box.text.rfind("ERROR: Failed to Import File ", 0), 0u) << box.text;
        ExpectSameShown(DumpDialog(), before_);
    }
}

TEST_F(ImportTest, OwnReportShowsTheSameAndASecondImportReplacesIt)
{
    const DialogDump own = Import(folder_.File("Quor-kelvra.vkh"));
    EXPECT_EQ(own.list, before_.list);
    for (int id : kValueControls)
        EXPECT_EQ(own.controls.at(id).text, " " + before_.controls.at(id).text) << id;
    for (int id : kMarkControls)
        EXPECT_EQ(own.controls.at(id).mark, before_.controls.at(id).mark) << id;

    const std::string other = folder_.File("other.vkh");
    WriteUtf16(other, "Serial Ports Detected: 4:1\n");
    const DialogDump second = Import(other);
    EXPECT_EQ(second.list, std::vector<std::string>{"Serial Ports Detected: 4"});
    EXPECT_EQ(second.controls.at(1037).text, " 4");
    EXPECT_EQ(second.controls.at(1038).mark, "pass");
    EXPECT_EQ(second.controls.at(1021).text, "");
    EXPECT_EQ(second.controls.at(1026).mark, "blank");
    EXPECT_EQ(second.controls.at(1031).text, WindowsPath(other));
}

TEST_F(ImportTest, ALargeReportInDescendingOrderIsShownWholeAndSorted)
{
    // A whole 1 MiB of lines, last first. The case alternates, so an order by code units would
    // not pass for the list box's own order, which ignores case: k000000, K000001, k000002, ...
    const int count = 1024 * 1024 / 16;
    std::string text;
    std::vector<std::string> ascending(count);
    for (int i = count - 1; i >= 0; --i) {
        char line[16];
        std::snprintf(line, sizeof line, "%c%06d", i % 2 ? 'K' : 'k', i);
        text += std::string(line) + "\n";
        ascending[i] = std::string(line) + ":";
    }
    const std::string path = folder_.File("descending.vkh");
    WriteUtf16(path, text);
    ImportThroughDialog(path);
    // The list is read through the program's own Copy, which takes the list box's lines in its
    // order inside the program: the driver's one message per line from another process takes a
    // minute under Wine for 65,536 of them.
    ASSERT_EQ(RunDriver("copy-loop 1").find("error"), std::string::npos);
    EXPECT_EQ(ClipboardLines(), ascending);
}

TEST_F(ImportTest, FileOverTheLimitIsRefusedWithAMessage)
{
    const std::string path = folder_.File("big.vkh");
    WriteUtf16(path, std::string(512 * 1024 + 1, 'A'));
    RunDriver("press 3");
    RunDriver("choose-file " + Quoted(WindowsPath(path)));
    const MessageBoxInfo box = ReadMessageBox();
    EXPECT_EQ(box.text.rfind("ERROR: " + WindowsPath(path) + " is too large", 0), 0u) << box.text;
    EXPECT_TRUE(box.icon);
    ExpectSameShown(DumpDialog(), before_);
}

TEST_F(ImportTest, PathLongerThanTheDialogsBufferGivesAMessage)
{
    // 258 characters: past the 256 the program gives the dialog, within Wine's own MAX_PATH
    // (a longer typed path overflows a buffer inside Wine's dialog itself).
    const std::string base = folder_.path() + "/" + std::string(100, 'a') + "/" + std::string(100, 'b') + "/";
    const std::size_t fixed = WindowsPath(base + "/report.vkh").size();
    if (fixed >= 258)
        GTEST_SKIP() << "the build folder's path is too long to leave room for this case";
    const std::string deep = base + std::string(258 - fixed, 'c');
    ASSERT_EQ(std::system(("mkdir -p '" + deep + "'").c_str()), 0);
    const std::string path = deep + "/report.vkh";
    WriteUtf16(path, "Locale: English:1\r\n");
    ASSERT_EQ(WindowsPath(path).size(), 258u);
    RunDriver("press 3");
    RunDriver("choose-file " + Quoted(WindowsPath(path)));
    const MessageBoxInfo box = ReadMessageBox();
    EXPECT_EQ(box.text, "ERROR: The chosen file's path is longer than 255 characters. Nothing was imported.");
    ExpectSameShown(DumpDialog(), before_);
}

TEST_F(ImportTest, OddFilesAreShownAsTheirLinesSplit)
{
    struct OddFile {
        const char* name;
        std::string text;
        bool byteOrderMark;
        std::vector<std::string> list;
        std::string locale;
    };
    const OddFile files[] = {
        {"lf.vkh", "Locale: English:1\nUsername: PC\\BRQ7:1\n", false,
         {"Locale: English", "Username: PC\\BRQ7"}, " English"},
        {"cr-bom.vkh", "Page Size:  4096\rLocale: English:0\r", true,
         {"Locale: English", "\xEF\xBB\xBFPage Size:  4096"}, " English"},
        {"empty.vkh", "", false, {}, ""},
        {"colons.vkh", "::::\r\n", false, {"::::"}, ""},
    };
    for (const OddFile& file : files) {
        const std::string path = folder_.File(file.name);
        WriteUtf16(path, file.text, file.byteOrderMark);
        const DialogDump after = Import(path);
        std::vector<std::string> listed = after.list;
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, file.list) << file.name;
        EXPECT_EQ(after.controls.at(1021).text, file.locale) << file.name;
        EXPECT_EQ(after.controls.at(1031).text, WindowsPath(path)) << file.name;
    }
    // Eight-bit text is no UTF-16 report: its bytes pair up into characters that match no label.
    const std::string narrow = folder_.File("narrow.vkh");
    std::ofstream(narrow, std::ios::binary) << "Locale: English:1\r\n";
    const DialogDump after = Import(narrow);
    EXPECT_EQ(after.controls.at(1021).text, "");
    EXPECT_EQ(after.controls.at(1026).mark, "blank");
    EXPECT_EQ(after.list.size(), 1u);
}

}  // namespace
