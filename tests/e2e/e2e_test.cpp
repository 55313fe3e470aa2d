// The real program under Wine: its dialog, its list, its marks, its report file and how it ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/item_controls.h"
#include "tests/e2e/wine_session.h"
#include "text/text.h"

namespace {

constexpr unsigned long SS_NOPREFIX_BIT = 0x80;

// The program's own table of which controls show each item, and its labels: the tests read the
// dialog through them rather than spelling them again.
constexpr auto kValueControls = ItemValueControls();
constexpr auto kMarkControls = ItemMarkControls();

std::string Label(std::size_t item)
{
    return ToUtf8(kResultRows[item].label);
}

// "%d" of a 32-bit field as the platform reports it unsigned.
std::string Signed(const std::string& unsignedText)
{
    return std::to_string(static_cast<std::int32_t>(std::stoul(unsignedText)));
}

class ProgramTest : public ::testing::Test {
protected:
    void StartAndDump()
    {
        program_ = std::make_unique<RunningProgram>(folder_.path());
        dump_ = DumpDialog();
        ASSERT_TRUE(dump_.found) << "the dialog did not appear (" << dump_.missing << "); the program is "
                                 << program_->State();
    }

    void Close()
    {
        RunDriver("press 1");
        EXPECT_TRUE(program_->WaitForExit(15000)) << "OK did not end the program";
    }

    std::string ReportPath() const { return folder_.File("Quor-kelvra.vkh"); }

    TempFolder folder_;
    std::unique_ptr<RunningProgram> program_;
    DialogDump dump_;
};

TEST_F(ProgramTest, ShowsItsDialogWithEveryControl)
{
    StartAndDump();
    EXPECT_EQ(dump_.title, "Quor-kelvra");
    const std::set<int> expectedIds = {1,    2,    3,    1001, 1002, 1004, 1005, 1006, 1007, 1008,
                                       1009, 1010, 1011, 1012, 1013, 1014, 1015, 1016, 1017, 1018,
                                       1019, 1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028,
                                       1029, 1030, 1031, 1032, 1033, 1034, 1035, 1037, 1038, 1039,
                                       1042};
    std::set<int> ids;
    for (const auto& [id, control] : dump_.controls)
        ids.insert(id);
    EXPECT_EQ(ids, expectedIds);
    for (int hidden : {2, 1002})
        EXPECT_FALSE(dump_.controls[hidden].visible) << hidden;
    for (int shown : {1, 3, 1001, 1031, 1035, 1039})
        EXPECT_TRUE(dump_.controls[shown].visible) << shown;
    EXPECT_EQ(dump_.controls[1001].className, "ListBox");
    EXPECT_EQ(dump_.controls[1002].className, "SysTabControl32");
    EXPECT_EQ(dump_.controls[1002].tabs, 2);
    EXPECT_EQ(dump_.controls[1].text, "OK");
    EXPECT_EQ(dump_.controls[3].text, "Import File");
    EXPECT_EQ(dump_.controls[1007].text, "Operating System:");
    EXPECT_EQ(dump_.controls[1042].text, "Serial Ports Detected:");
    EXPECT_EQ(dump_.controls[1039].text, "Kelvra version 1.07rc1");
    EXPECT_EQ(dump_.controls[1031].text, "");
    // Every value sits in its row, left of its mark; the serial count has the narrow field.
    for (int i = 0; i < 11; ++i) {
        const ControlInfo& value = dump_.controls[kValueControls[i]];
        const ControlInfo& mark = dump_.controls[kMarkControls[i]];
        EXPECT_LT(value.right, mark.left) << kValueControls[i];
        EXPECT_LT(std::abs(value.top - mark.top), 8) << kValueControls[i];
    }
    EXPECT_LT(dump_.controls[1037].right - dump_.controls[1037].left,
              dump_.controls[1033].right - dump_.controls[1033].left);
    // A user name "R&D" or a path "Tom & Jerry" is shown as it stands, not with a shortcut marker.
    for (int id : kValueControls)
        EXPECT_TRUE(dump_.controls[id].style & SS_NOPREFIX_BIT) << id;
    EXPECT_TRUE(dump_.controls[1031].style & SS_NOPREFIX_BIT);
    Close();
}

TEST_F(ProgramTest, ListsAndWritesWhatThePlatformReports)
{
    StartAndDump();
    Close();
    const std::vector<unsigned char> bytes = ReadBytes(ReportPath());
    const std::vector<std::string> lines = ReportLines(bytes);
    ASSERT_EQ(lines.size(), 28u);

    auto records = PlatformRecords();
    const std::vector<std::string> listing = {
        "Active Process Mask:  " + Signed(records["ActiveProcessorMask"]),
        "Allocation Granularity:  " + Signed(records["AllocationGranularity"]),
        "Number of Processors:  " + Signed(records["NumberOfProcessors"]),
        "OEM ID:  " + Signed(records["OemId"]),
        "Page Size:  " + Signed(records["PageSize"]),
        "Processor Type:  " + Signed(records["ProcessorType"]),
        "Max Application Address:  " + Signed(records["MaximumApplicationAddress"]),
        "Min Application Address:  " + Signed(records["MinimumApplicationAddress"]),
        "Processor Architecture:  " + records["ProcessorArchitecture"],
        "Processor Level:  " + records["ProcessorLevel"],
        "Processor Revision:  " + records["ProcessorRevision"],
        "OS Build Number:  " + Signed(records["BuildNumber"]),
        "OS Major Version:  " + Signed(records["MajorVersion"]),
        "OS Minor Verison:  " + Signed(records["MinorVersion"]),
        "OS Version Info Size:  284",
        "Platform ID:  " + Signed(records["PlatformId"]),
        "CSD Version:  " + records["CSDVersion"],
    };
    for (std::size_t i = 0; i < listing.size(); ++i)
        EXPECT_EQ(lines[i], listing[i]) << "line " << i + 1;

    // Each result line: its label, a colon and blank, the value, a colon and a one-digit verdict.
    for (std::size_t i = 0; i < 11; ++i) {
        const std::string& line = lines[17 + i];
        const std::string prefix = Label(i) + ": ";
        EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
        const std::string tail = line.substr(line.size() - 2);
        EXPECT_TRUE(tail == ":1" || tail == ":0") << line;
    }
    EXPECT_EQ(lines[18], "Operating System Version: " + records["MajorVersion"] + "." +
                             records["MinorVersion"] + "." + records["BuildNumber"] + " " +
                             records["CSDVersion"] + lines[18].substr(lines[18].size() - 2));
}

TEST_F(ProgramTest, ShowsEachItemsValueListAndMark)
{
    StartAndDump();
    const std::map<int, std::string> names = AccessibleNames();
    Close();
    const std::vector<std::string> lines = ReportLines(ReadBytes(ReportPath()));
    ASSERT_EQ(lines.size(), 28u);

    // The list holds the report's lines without verdicts, in the list box's own sorted order.
    ASSERT_EQ(dump_.list.size(), 28u);
    EXPECT_TRUE(dump_.sorted);
    std::vector<std::string> expected(lines.begin(), lines.begin() + 17);
    for (std::size_t i = 17; i < 28; ++i)
        expected.push_back(lines[i].substr(0, lines[i].size() - 2));
    std::vector<std::string> listed = dump_.list;
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);

    for (std::size_t i = 0; i < 11; ++i) {
        const std::string& line = lines[17 + i];
        const std::string value =
            line.substr(Label(i).size() + 2,
                        line.size() - Label(i).size() - 4);
        EXPECT_EQ(dump_.controls[kValueControls[i]].text, value) << Label(i);
        EXPECT_EQ(dump_.controls[kMarkControls[i]].mark, line.back() == '1' ? "pass" : "fail")
            << Label(i);
        // A screen reader hears the verdict in words, and each value with its label.
        EXPECT_EQ(names.count(kMarkControls[i]) ? names.at(kMarkControls[i]) : "", line.back() == '1' ? "Passes" : "Fails")
            << Label(i);
        EXPECT_EQ(names.count(kValueControls[i]) ? names.at(kValueControls[i]) : "",
                  dump_.controls[kItemControls[i].label].text + " " + dump_.controls[kValueControls[i]].text + "; " +
                      (line.back() == '1' ? "Passes" : "Fails"));
    }
    EXPECT_EQ(names.count(1001) ? names.at(1001) : "", "Results");
    EXPECT_EQ(names.count(1035) ? names.at(1035) : "", "Quor-kelvra");
}

TEST_F(ProgramTest, PaintsItsBackgroundAndWhiteList)
{
    StartAndDump();
    SaveScreenshot("dialog");
    const std::string background = "153,186,190";
    EXPECT_EQ(dump_.background, background);
    for (int label : {1007, 1008, 1009, 1010, 1011, 1012, 1013, 1014, 1015, 1032, 1042})
        EXPECT_EQ(dump_.controls[label].colour, background) << label;
    for (int value : kValueControls)
        EXPECT_EQ(dump_.controls[value].colour, background) << value;
    EXPECT_EQ(dump_.controls[1001].colour, "255,255,255");
    EXPECT_EQ(RunDriver("minimise"), "iconic 1\nrestored 1\n");
    EXPECT_EQ(DumpDialog().list, dump_.list);
    Close();
}

TEST_F(ProgramTest, EscapeEndsTheProgramAsOkDoes)
{
    StartAndDump();
    RunDriver("key escape");
    EXPECT_TRUE(program_->WaitForExit(15000)) << "Escape did not end the program";
    EXPECT_EQ(RunDriver("wait-closed 1000"), "closed\n");
}

TEST_F(ProgramTest, SystemMenuCommandsOpenTheAboutBox)
{
    StartAndDump();
    for (const char* command : {"0x10", "0x1F"}) {
        RunDriver(std::string("syscommand ") + command);
        DialogDump about = DumpDialog(10000, "About Quor-kelvra");
        ASSERT_TRUE(about.found) << command;
        SaveScreenshot(std::string("about-") + command, "About Quor-kelvra");
        EXPECT_NE(std::find(about.texts.begin(), about.texts.end(), "Quor-kelvra Version 1.04"),
                  about.texts.end())
            << command;
        RunDriver("press 1 'About Quor-kelvra'");
        EXPECT_EQ(RunDriver("wait-closed 5000 'About Quor-kelvra'"), "closed\n") << command;
    }
    // Another system command, such as 0x20, is not the About box's.
    RunDriver("syscommand 0x20");
    EXPECT_FALSE(DumpDialog(1500, "About Quor-kelvra").found);
    Close();
}

TEST_F(ProgramTest, ReadOnlyFolderShowsEverythingAndSaysTheReportCouldNotBeCreated)
{
    ASSERT_TRUE(folder_.MakeReadOnly());
    StartAndDump();
    EXPECT_EQ(dump_.list.size(), 28u);
    for (int mark : kMarkControls)
        EXPECT_TRUE(dump_.controls[mark].mark == "pass" || dump_.controls[mark].mark == "fail");
    EXPECT_EQ(dump_.controls[1016].text.empty(), false);
    const std::string said = dump_.controls[1031].text;
    EXPECT_EQ(said.rfind("Quor-kelvra.vkh could not be created in " + WindowsPath(folder_.path()) + ": ", 0), 0u)
        << said;
    SaveScreenshot("read-only-folder");
    Close();
    EXPECT_FALSE(FileExists(ReportPath()));
}

}  // namespace
