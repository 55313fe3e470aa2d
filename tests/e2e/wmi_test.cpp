// The hardware probes under Wine against Wine's own WMI, read independently with wmic.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "tests/e2e/wine_session.h"

namespace {

std::string ResultLine(const std::vector<std::string>& lines, const std::string& label)
{
    for (const std::string& line : lines) {
        if (line.rfind(label + ": ", 0) == 0)
            return line.substr(label.size() + 2);
    }
    return "<missing>";
}

std::vector<std::string> RunAndClose(const TempFolder& folder, const std::vector<std::string>& environment,
                                     DialogDump* dump = nullptr)
{
    RunningProgram program(folder.path(), environment);
    DialogDump seen = DumpDialog();
    EXPECT_TRUE(seen.found);
    if (dump)
        *dump = seen;
    RunDriver("press 1");
    EXPECT_TRUE(program.WaitForExit(15000));
    return ReportLinesOf(folder.File("Quor-kelvra.vkh"));
}

}  // namespace

TEST(WmiProbes, ReportWhatWinesWmiReports)
{
    TempFolder folder;
    const std::vector<std::string> lines = RunAndClose(folder, {});
    ASSERT_EQ(lines.size(), 28u);

    const std::string manufacturer = WmicValue("computersystem", "Manufacturer");
    const std::string model = WmicValue("computersystem", "Model");
    const std::string user = WmicValue("computersystem", "UserName");
    EXPECT_EQ(ResultLine(lines, "System Manufacturer"),
              manufacturer + " " + model +
                  (manufacturer == "Dell Inc." || model == "QBOX-2060" ? ":1" : ":0"));
    EXPECT_EQ(ResultLine(lines, "Username").substr(0, user.size() + 1), user + ":");

    const int megahertz = std::stoi(WmicValue("cpu", "MaxClockSpeed"));
    char speed[32];
    std::snprintf(speed, sizeof speed, "%d.%03d GHz", megahertz / 1000, megahertz % 1000);
    const std::string processor = ResultLine(lines, "Processor Speed");
    EXPECT_EQ(processor.substr(0, processor.size() - 2), speed);

    const std::string date = WmicValue("bios", "ReleaseDate");
    ASSERT_GE(date.size(), 8u);
    const int year = std::stoi(date.substr(0, 4));
    EXPECT_EQ(ResultLine(lines, "BIOS Version"), date.substr(0, 4) + "/" + date.substr(4, 2) + "/" +
                                                     date.substr(6, 2) + (year >= 2005 ? ":1" : ":0"));

    const long long units = std::stoll(WmicValue("diskdrive", "Size")) / 1073741824LL;
    const bool ssd = WmicValue("diskdrive", "Model").find("SSD") != std::string::npos;
    const std::string size = (units >= 1 ? std::to_string(units) + " GB" : "< 1 GB") + (ssd ? " SSD" : "");
    EXPECT_EQ(ResultLine(lines, "Hard Drive Size"),
              size + (units >= 140 || (ssd && units >= 58) ? ":1" : ":0"));
}

TEST(WmiProbes, DisabledWmiStillShowsTheDialogWithItsErrors)
{
    TempFolder folder;
    DialogDump dump;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> lines =
        RunAndClose(folder, {"WINEDLLOVERRIDES=mscoree,mshtml,wbemprox="}, &dump);
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 30);
    ASSERT_EQ(lines.size(), 28u);
    for (const char* label : {"Processor Speed", "BIOS Version", "Username", "Hard Drive Size"}) {
        const std::string value = ResultLine(lines, label);
        EXPECT_EQ(value.rfind("Error 0x", 0), 0u) << label << ": " << value;
        EXPECT_EQ(value.substr(value.size() - 2), ":0") << label;
    }
    EXPECT_EQ(ResultLine(lines, "System Manufacturer").rfind("Error 0x", 0), 0u);
    EXPECT_EQ(dump.controls[1019].text.rfind("Error 0x", 0), 0u);
    EXPECT_EQ(dump.list.size(), 28u);
}
