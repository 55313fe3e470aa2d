// The local probes on a shaped machine: the report's OS, memory, locale and serial lines against the
// platform's own readings, taken by the driver in a separate process.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/e2e/wine_session.h"

namespace {

std::string Profile()
{
    const char* profile = std::getenv("QK_PROFILE");
    return profile ? profile : "";
}

std::string Grouped(long long mebibytes)
{
    std::string digits = std::to_string(mebibytes);
    if (mebibytes < 1000)
        return digits + " MB";
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), ",");
    return digits + " MB";
}

long long Mebibytes(const std::string& bytes)
{
    return static_cast<long long>(std::stoull(bytes) / 1048576ull);
}

// The report's result line for a label, without "label: ".
std::string ResultValue(const std::vector<std::string>& lines, const std::string& label)
{
    for (const std::string& line : lines) {
        if (line.rfind(label + ": ", 0) == 0)
            return line.substr(label.size() + 2);
    }
    return "<missing>";
}

std::vector<std::string> RunOnce(const TempFolder& folder)
{
    RunningProgram program(folder.path());
    EXPECT_TRUE(DumpDialog().found);
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000));
    return ReportLinesOf(folder.File("Quor-kelvra.vkh"));
}

int SerialDevicesOfBothFamilies(const std::map<std::string, std::string>& records)
{
    int count = 0;
    for (const auto& [name, device] : records) {
        if (name.rfind("SerialDevice", 0) == 0 &&
            (device.rfind("\\Device\\Serial", 0) == 0 || device.rfind("\\Device\\Mxser", 0) == 0))
            ++count;
    }
    return count;
}

// What each machine profile is: its name's beginning and end (the edition between them is what
// Wine's GetProductInfo makes of it) and, for the systems shaped by version, the true version.
struct ExpectedSystem {
    const char* profile;
    const char* namePrefix;
    const char* nameSuffix;
    const char* version;
    bool passes;
};

const ExpectedSystem kExpectedSystems[] = {
    {"xp-32", "Microsoft Windows XP Professional", ", 32-bit", "", true},
    // Windows 7 on 64-bit: recognised, but only a 32-bit installation is supported.
    {"win7-64", "Microsoft Windows 7 ", ", 64-bit", "", false},
    {"win81", "Microsoft Windows 8.1 ", ", 64-bit", "6.3.9600", false},
    {"win10-22h2", "Microsoft Windows 10 ", ", 64-bit", "10.0.19045", false},
    {"win11-23h2", "Microsoft Windows 11 ", ", 64-bit", "10.0.22631", false},
    {"server2022", "Microsoft Windows Server 2022 ", ", 64-bit", "10.0.20348", false},
};

const ExpectedSystem* ExpectedSystemOf(const std::string& profile)
{
    for (const ExpectedSystem& system : kExpectedSystems) {
        if (profile == system.profile)
            return &system;
    }
    return nullptr;
}

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (Profile().empty())
            GTEST_SKIP() << "QK_PROFILE names no machine profile";
    }
    TempFolder folder_;
};

}  // namespace

TEST_F(ProfileTest, LocalProbesReportWhatThePlatformReports)
{
    const std::vector<std::string> lines = RunOnce(folder_);
    ASSERT_EQ(lines.size(), 28u);
    auto records = PlatformRecords();

    // The program's version query tells the truth: the version row holds what RtlGetVersion, which
    // no manifest changes, reports.
    const std::string os = ResultValue(lines, "Operating System");
    const std::string version = records["MajorVersion"] + "." + records["MinorVersion"] + "." +
                                records["BuildNumber"] + " " + records["CSDVersion"];
    EXPECT_EQ(records["MajorVersion"] + "." + records["MinorVersion"] + "." + records["BuildNumber"],
              records["TrueVersion"]);
    const ExpectedSystem* expected = ExpectedSystemOf(Profile());
    ASSERT_NE(expected, nullptr) << "no expectation for profile " << Profile();
    if (expected->version[0] != '\0') {
        EXPECT_EQ(records["TrueVersion"], expected->version);
    }
    const std::string verdict = expected->passes ? ":1" : ":0";
    EXPECT_EQ(os.rfind(expected->namePrefix, 0), 0u) << os;
    const std::string tail = std::string(expected->nameSuffix) + verdict;
    ASSERT_GE(os.size(), tail.size()) << os;
    EXPECT_EQ(os.substr(os.size() - tail.size()), tail) << os;
    EXPECT_EQ(ResultValue(lines, "Operating System Version"), version + verdict);

    const long long total = Mebibytes(records["TotalPhys"]);
    EXPECT_EQ(ResultValue(lines, "Total Physical Memory"),
              Grouped(total) + (total > 1900 ? ":1" : ":0"));
    // Available memory moves between the program's reading and the driver's: compare loosely.
    const std::string available = ResultValue(lines, "Available Physical Memory");
    std::string digits;
    for (char c : available.substr(0, available.find(' '))) {
        if (c != ',')
            digits += c;
    }
    ASSERT_FALSE(digits.empty()) << available;
    const long long shown = std::stoll(digits);
    EXPECT_EQ(available, Grouped(shown) + (shown > 1200 ? ":1" : ":0"));
    EXPECT_LT(std::llabs(shown - Mebibytes(records["AvailPhys"])), 512) << available;

    EXPECT_EQ(ResultValue(lines, "Locale"),
              records["Locale"] + (records["Locale"] == "English" ? ":1" : ":0"));

    const int ports = SerialDevicesOfBothFamilies(records);
    EXPECT_EQ(ResultValue(lines, "Serial Ports Detected"),
              std::to_string(ports) + (ports >= 3 ? ":1" : ":0"));
    if (Profile() == "xp-32") {
        EXPECT_GE(ports, 3);
    }
}

TEST_F(ProfileTest, UnrecognisedFamilySkipsTheSerialProbe)
{
    if (Profile() != "xp-32")
        GTEST_SKIP() << "shaped on the 32-bit profile only";
    ASSERT_EQ(std::system("wine reg add 'HKCU\\Software\\Wine' /v Version /d win2k /f >/dev/null 2>&1"), 0);
    const std::vector<std::string> lines = RunOnce(folder_);
    std::system("wine reg add 'HKCU\\Software\\Wine' /v Version /d winxp /f >/dev/null 2>&1");
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(ResultValue(lines, "Operating System"), "Microsoft Windows 2000 Professional, 32-bit:0");
    EXPECT_EQ(ResultValue(lines, "Serial Ports Detected"), "0:0");
    EXPECT_EQ(ResultValue(lines, "System Manufacturer"), "? :0");
    EXPECT_EQ(ResultValue(lines, "Hard Drive Size"), "?:0");
    // Memory and locale are still read.
    EXPECT_NE(ResultValue(lines, "Total Physical Memory").substr(0, 1), "?");
    EXPECT_EQ(ResultValue(lines, "Locale"), "English:1");
}
