#include <gtest/gtest.h>

#include "report/report_writer.h"
#include "tests/fakes/fake_platform.h"

TEST(ReportWriter, EncodesLittleEndianWithCrLfAndNoByteOrderMark)
{
    const std::vector<std::uint8_t> expected = {'L', 0, ':', 0, 0xE9, 0, 0xAC, 0x20,
                                                '\r', 0, '\n', 0};
    EXPECT_EQ(EncodeReportLine(u"L:\u00e9\u20ac"), expected);
    EXPECT_EQ(EncodeReportLine(u""), (std::vector<std::uint8_t>{'\r', 0, '\n', 0}));
}

TEST(ReportWriter, WritesEachLineInOneCallAndReportsFailure)
{
    EventLog log;
    FakePlatform platform(log);
    std::uint32_t error = 0;
    auto file = platform.CreateReportFile(u"Quor-kelvra.vkh", error);
    const CString line = u"Locale: English:1";
    EXPECT_TRUE(WriteReportLine(file.get(), line));
    EXPECT_EQ(platform.report.writeCalls, 1);
    EXPECT_EQ(platform.report.bytes, EncodeReportLine(line));

    FakePlatform failing(log);
    failing.failWritesFrom = 0;
    auto broken = failing.CreateReportFile(u"Quor-kelvra.vkh", error);
    EXPECT_FALSE(WriteReportLine(broken.get(), line));

    // Without a file there is nothing to write and nothing has failed.
    EXPECT_TRUE(WriteReportLine(nullptr, line));
}
