// The WMI query sequence and the four hardware probes against a fake WMI service.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "check/check_run.h"
#include "probes/wmi/hardware_text.h"
#include "probes/wmi/wmi_query.h"
#include "tests/fakes/capture_replay.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_surface.h"

namespace {

using Step = FakeWmi::Step;

constexpr HResult kStepFailure = static_cast<HResult>(0x8004100E);

enum class Probe { Drive, ComputerSystem, Bios, Processor };

// A check run on a fake WMI service that knows one machine.
struct ProbeBench {
    ProbeBench() : platform(log), surface(log), run(platform, surface)
    {
        wmi().instances[u"Select * from Win32_ComputerSystem"] = {
            {{u"Manufacturer", FakeWmi::Text(u"Dell Inc.")},
             {u"Model", FakeWmi::Text(u"OptiPlex 780")},
             {u"UserName", FakeWmi::Text(u"PC\\BRQ7")}},
            {{u"Manufacturer", FakeWmi::Text(u"Second")}}};
        wmi().instances[u"Select * from Win32_BIOS"] = {
            {{u"ReleaseDate", FakeWmi::Text(u"20100524000000.000000+000")}}};
        wmi().instances[u"Select * from Win32_Processor"] = {
            {{u"MaxClockSpeed", FakeWmi::Int32(2394)}}, {{u"MaxClockSpeed", FakeWmi::Int32(800)}}};
        wmi().instances[u"Select * from Win32_DiskDrive"] = {
            {{u"Model", FakeWmi::Text(u"Samsung SSD 850")}, {u"Size", FakeWmi::Text(u"256052966400")}},
            {{u"Model", FakeWmi::Text(u"Second")}, {u"Size", FakeWmi::Text(u"1")}}};
    }

    FakeWmi& wmi() { return platform.wmi; }

    // Runs one probe; returns the drive probe's result (false for the others).
    bool RunProbe(Probe probe)
    {
        switch (probe) {
        case Probe::Drive: return run.GetHardDriveInfo();
        case Probe::ComputerSystem: run.GetComputerSystemInfo(); return false;
        case Probe::Bios: run.GetBiosReleaseDate(); return false;
        case Probe::Processor: run.GetProcessorSpeed(&speed); return false;
        }
        return false;
    }

    // Every interface obtained was released once and nothing else was called or released.
    void ExpectBalanced(const std::string& context)
    {
        EXPECT_TRUE(wmi().live.empty()) << context << ": an interface was never released";
        EXPECT_TRUE(wmi().faults.empty()) << context << ": " << wmi().faults.front();
        EXPECT_EQ(wmi().joinedApartments, 0) << context << ": COM was left initialised";
    }

    EventLog log;
    FakePlatform platform;
    FakeSurface surface;
    CheckRun run;
    double speed = -1.0;
};

class HardwareProbeTest : public ::testing::Test, public ProbeBench {};

}  // namespace

TEST_F(HardwareProbeTest, SequenceRunsItsStepsInOrderAndReadsOnlyTheFirstInstance)
{
    run.GetComputerSystemInfo();
    // What matters of the sequence: each step after the one it needs, the query forward-only and
    // semi-synchronous (48), a bounded wait for the instance, one instance read, the apartment
    // left last. What is released, and how often, the balance check below says.
    const std::vector<std::string>& calls = wmi().calls;
    const std::vector<std::string> steps = {"CoInitializeEx",
                                            "CoInitializeSecurity",
                                            "CreateLocator",
                                            "ConnectServer root\\cimv2 0",
                                            "CoSetProxyBlanket",
                                            "ExecQuery WQL Select * from Win32_ComputerSystem 48",
                                            "Next " + std::to_string(kWmiDeadlineMs),
                                            "Get Manufacturer"};
    std::ptrdiff_t previous = -1;
    for (const std::string& step : steps) {
        const std::ptrdiff_t at = std::find(calls.begin(), calls.end(), step) - calls.begin();
        ASSERT_LT(at, static_cast<std::ptrdiff_t>(calls.size())) << step;
        EXPECT_GT(at, previous) << step;
        previous = at;
    }
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& call) { return call.rfind("Next", 0) == 0; }),
              1);
    EXPECT_EQ(calls.back(), "CoUninitialize");
    EXPECT_EQ(run.m_strManufacturer, u"Dell Inc.");
    EXPECT_EQ(run.m_strModel, u"OptiPlex 780");
    EXPECT_EQ(run.m_strUserName, u"PC\\BRQ7");
    ExpectBalanced("success");
    // An in-process provider has no blanket to set (Wine's answers E_NOINTERFACE): it is still asked.
    ProbeBench inProcess;
    inProcess.wmi().proxySecurityStatus = static_cast<HResult>(0x80004002);
    inProcess.run.GetComputerSystemInfo();
    EXPECT_EQ(inProcess.run.m_strManufacturer, u"Dell Inc.");
    inProcess.ExpectBalanced("no blanket");
}

TEST_F(HardwareProbeTest, EachProbeConvertsItsProperties)
{
    EXPECT_TRUE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_nHardDriveSizeGB, 238u);
    EXPECT_EQ(run.m_strHardDrive, u"238 GB SSD");

    run.GetBiosReleaseDate();
    EXPECT_EQ(run.m_nBiosYear, 2010);
    EXPECT_EQ(run.m_strBiosVersion, u"2010/05/24");

    run.GetProcessorSpeed(&speed);
    EXPECT_EQ(speed, 2.394);
    EXPECT_EQ(run.m_strProcessor, u"2.394 GHz");
    ExpectBalanced("four probes");
    EXPECT_EQ(wmi().initializeCount, 3);
}

TEST_F(HardwareProbeTest, AFailingStepShowsItsStatusAndReleasesWhatWasObtained)
{
    const Step steps[] = {Step::Security, Step::CreateLocator, Step::Connect, Step::ExecQuery, Step::Next};
    const Probe probes[] = {Probe::Drive, Probe::ComputerSystem, Probe::Bios, Probe::Processor};
    for (Step step : steps) {
        for (Probe probe : probes) {
            const std::string context =
                "step " + std::to_string(static_cast<int>(step)) + " probe " + std::to_string(static_cast<int>(probe));
            ProbeBench fresh;  // the probe's fields as the dialog created them
            fresh.run.m_nHardDriveSizeGB = 7;
            fresh.run.m_nBiosYear = 1999;
            fresh.wmi().failures = {{0, step, kStepFailure}};
            const bool result = fresh.RunProbe(probe);
            const CString error = u"Error 0x8004100e";
            EXPECT_FALSE(result) << context;
            switch (probe) {
            case Probe::Drive:
                EXPECT_EQ(fresh.run.m_strHardDrive, error) << context;
                EXPECT_EQ(fresh.run.m_nHardDriveSizeGB, 0u) << context;
                break;
            case Probe::ComputerSystem:
                EXPECT_EQ(fresh.run.m_strManufacturer, error) << context;
                EXPECT_EQ(fresh.run.m_strModel, error) << context;
                EXPECT_EQ(fresh.run.m_strUserName, error) << context;
                break;
            case Probe::Bios:
                EXPECT_EQ(fresh.run.m_strBiosVersion, error) << context;
                EXPECT_EQ(fresh.run.m_nBiosYear, 0) << context;
                break;
            case Probe::Processor:
                EXPECT_EQ(fresh.run.m_strProcessor, error) << context;
                EXPECT_EQ(fresh.speed, -1.0) << context << ": the caller's speed must stay untouched";
                break;
            }
            fresh.ExpectBalanced(context);
            EXPECT_EQ(fresh.wmi().initializeCount, 1) << context;
            if (step == Step::Security) {
                // Nothing was created, so nothing is called after the security setup.
                EXPECT_EQ(fresh.wmi().calls,
                          (std::vector<std::string>{"CoInitializeEx", "CoInitializeSecurity", "CoUninitialize"}))
                    << context;
            }
        }
    }
}

TEST_F(HardwareProbeTest, ACallThatNeverReturnsMissesItsDeadlineAndTheRunGoesOnWithoutWmi)
{
    const ResultItem wmiItems[] = {kItemManufacturer, kItemProcessor, kItemBios, kItemUserName, kItemHardDrive};
    for (Step step : {Step::Security, Step::Connect, Step::ExecQuery, Step::Next, Step::Get}) {
        const std::string context = "hung at step " + std::to_string(static_cast<int>(step));
        ProbeBench fresh;
        fresh.platform.ShapeAsWindowsXp(u"OptiPlex 780");
        fresh.run.m_wmiDeadlineMs = 30;
        fresh.wmi().hang = FakeWmi::Hang{0, step};  // the first probe's sequence: the drive's
        fresh.run.RunChecks();

        const RunResults& results = fresh.run.Results();
        EXPECT_EQ(ReportLines(results).size(), 28u) << context;
        // Only the first probe was given a worker; the later ones answered at once.
        EXPECT_EQ(fresh.platform.wmiDeadlines, std::vector<std::uint32_t>{30}) << context;
        for (ResultItem item : wmiItems) {
            EXPECT_TRUE(results.items[item].timedOut) << context << " item " << item;
            EXPECT_NE(results.items[item].value.find(u"Error 0x40004"), CString::npos) << context << " item " << item;
            EXPECT_FALSE(results.items[item].pass) << context << " item " << item;
            EXPECT_NE(fresh.surface.explanations[item].find(u"WMI gave no answer within"), CString::npos) << context;
        }
        EXPECT_FALSE(results.items[kItemLocale].timedOut) << context;
        EXPECT_EQ(results.items[kItemLocale].value, u"English") << context;
        EXPECT_EQ(fresh.surface.explanations[kItemLocale].find(u"WMI"), CString::npos) << context;

        // The hung call returns at last and its worker reads the drive in full: nobody listens.
        fresh.platform.FinishAbandonedTasks();
        EXPECT_EQ(fresh.run.m_strHardDrive, u"Error 0x40004") << context;
        EXPECT_EQ(fresh.run.m_nHardDriveSizeGB, 0u) << context;
        EXPECT_EQ(fresh.wmi().initializeCount, 1) << context;
        fresh.ExpectBalanced(context);
    }
}

TEST_F(HardwareProbeTest, ClosedWhileAProbeWaitsTheRunStopsAndPutsNoReportInPlace)
{
    platform.ShapeAsWindowsXp(u"OptiPlex 780");
    wmi().hang = FakeWmi::Hang{0, Step::Connect};
    // The fake asks every 10 ms: closed after 0.6 s, a moment after the line says what it waits for.
    surface.closeAfterQuestions = 60;
    run.RunChecks();
    EXPECT_EQ(surface.status, u"Checking this PC: waiting for WMI (Win32_DiskDrive)...");
    EXPECT_EQ(platform.wmiDeadlines.size(), 1u) << "no later probe asked WMI";
    EXPECT_EQ(platform.report.writeCalls, 0);
    EXPECT_TRUE(platform.report.closed);
    EXPECT_FALSE(platform.report.committed) << "the earlier report must stay";
    EXPECT_TRUE(surface.list.empty());
    EXPECT_TRUE(surface.marks.empty());
    EXPECT_FALSE(run.Results().ran);
    platform.FinishAbandonedTasks();
    ExpectBalanced("closed while waiting");
}

TEST_F(HardwareProbeTest, ConnectServerBoundsItsOwnWaitWhereWindowsKnowsHow)
{
    // Windows XP (5.1) and Windows 7 (6.1): both recognised, so all four probes connect.
    for (std::uint32_t major : {5u, 6u}) {
        ProbeBench fresh;
        fresh.platform.ShapeAsWindowsXp(u"OptiPlex 780");
        fresh.platform.version.majorVersion = major;
        fresh.run.RunChecks();
        const std::string connect = major >= 6 ? "ConnectServer root\\cimv2 128" : "ConnectServer root\\cimv2 0";
        EXPECT_EQ(std::count(fresh.wmi().calls.begin(), fresh.wmi().calls.end(), connect), 4)
            << "major version " << major;
        EXPECT_EQ(fresh.platform.wmiDeadlines, std::vector<std::uint32_t>(4, kWmiDeadlineMs));
    }
}

TEST_F(HardwareProbeTest, AStepThatHandsOutNoInterfaceIsAFailureNotACrash)
{
    for (Step step : {Step::CreateLocator, Step::Connect, Step::ExecQuery}) {
        ProbeBench fresh;
        fresh.wmi().failures = {{0, step, 0, /*withoutHandle=*/true}};
        fresh.run.GetBiosReleaseDate();
        EXPECT_EQ(fresh.run.m_strBiosVersion, u"Error 0x80004003");
        fresh.ExpectBalanced("no handle");
    }
}

TEST_F(HardwareProbeTest, AnApartmentOfAnotherModeIsUsedButNeverTornDown)
{
    // RPC_E_CHANGED_MODE: the thread already belongs to a single-threaded apartment.
    wmi().failures = {{-1, Step::InitializeCom, static_cast<HResult>(0x80010106)}};
    run.GetProcessorSpeed(&speed);
    EXPECT_EQ(run.m_strProcessor, u"2.394 GHz");
    run.GetHardDriveInfo();
    EXPECT_EQ(wmi().uninitializeCount, 0);
    ExpectBalanced("CoInitializeEx answered RPC_E_CHANGED_MODE");
    // S_FALSE (already initialised in this mode) is a start-up like S_OK: it is balanced.
    ProbeBench again;
    again.wmi().failures = {{-1, Step::InitializeCom, 1}};
    again.run.GetBiosReleaseDate();
    EXPECT_EQ(again.wmi().uninitializeCount, 1);
    again.ExpectBalanced("CoInitializeEx answered S_FALSE");
}

TEST_F(HardwareProbeTest, SecurityAlreadySetCountsAsSuccessOnLaterProbes)
{
    wmi().laterSecurityStatus = kRpcETooLate;
    EXPECT_TRUE(run.GetHardDriveInfo());
    run.GetComputerSystemInfo();
    run.GetBiosReleaseDate();
    run.GetProcessorSpeed(&speed);
    EXPECT_EQ(run.m_strHardDrive, u"238 GB SSD");
    EXPECT_EQ(run.m_strManufacturer, u"Dell Inc.");
    EXPECT_EQ(run.m_strBiosVersion, u"2010/05/24");
    EXPECT_EQ(run.m_strProcessor, u"2.394 GHz");
    ExpectBalanced("RPC_E_TOO_LATE");

    // Any other failure of a later security call is still an error.
    ProbeBench other;
    other.wmi().laterSecurityStatus = static_cast<HResult>(0x80070005);
    other.run.GetHardDriveInfo();
    other.run.GetComputerSystemInfo();
    EXPECT_EQ(other.run.m_strHardDrive, u"238 GB SSD");
    EXPECT_EQ(other.run.m_strUserName, u"Error 0x80070005");
}

TEST_F(HardwareProbeTest, NoInstanceLeavesTheFieldsAsTheyWere)
{
    wmi().instances.clear();
    EXPECT_FALSE(run.GetHardDriveInfo());
    run.GetComputerSystemInfo();
    run.GetBiosReleaseDate();
    run.GetProcessorSpeed(&speed);
    EXPECT_EQ(run.m_strHardDrive, u"?");
    EXPECT_EQ(run.m_strManufacturer, u"?");
    EXPECT_EQ(run.m_strModel, u"");
    EXPECT_EQ(run.m_strBiosVersion, u"?");
    EXPECT_EQ(run.m_nBiosYear, 0);
    EXPECT_EQ(run.m_strProcessor, u"?");
    EXPECT_EQ(speed, -1.0);
    ExpectBalanced("no instance");
}

TEST_F(HardwareProbeTest, APropertyThatCannotBeReadKeepsItsField)
{
    wmi().failingGets[u"Model"] = static_cast<HResult>(0x80041002);
    run.GetComputerSystemInfo();
    EXPECT_EQ(run.m_strManufacturer, u"Dell Inc.");
    EXPECT_EQ(run.m_strModel, u"");
    EXPECT_EQ(run.m_strUserName, u"PC\\BRQ7");

    // The drive's model unread: not solid state, and the size is still read.
    EXPECT_FALSE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_strHardDrive, u"238 GB");

    wmi().failingGets = {{u"Size", static_cast<HResult>(0x80041002)}};
    run.m_strHardDrive = u"?";
    EXPECT_TRUE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_strHardDrive, u"?");
    EXPECT_EQ(run.m_nHardDriveSizeGB, 0u);
    ExpectBalanced("failed reads");
}

TEST_F(HardwareProbeTest, NullOrMistypedPropertiesKeepTheirFields)
{
    auto& system = wmi().instances[u"Select * from Win32_ComputerSystem"][0];
    system[u"Manufacturer"] = FakeWmi::Null();
    system[u"UserName"] = FakeWmi::Int32(5);
    wmi().instances[u"Select * from Win32_Processor"][0][u"MaxClockSpeed"] = FakeWmi::Text(u"2394");
    wmi().instances[u"Select * from Win32_BIOS"][0][u"ReleaseDate"] = FakeWmi::Null();
    run.GetComputerSystemInfo();
    run.GetProcessorSpeed(&speed);
    run.GetBiosReleaseDate();
    EXPECT_EQ(run.m_strManufacturer, u"?");
    EXPECT_EQ(run.m_strModel, u"OptiPlex 780");
    EXPECT_EQ(run.m_strUserName, u"?");
    EXPECT_EQ(run.m_strProcessor, u"?");
    EXPECT_EQ(speed, -1.0);
    EXPECT_EQ(run.m_strBiosVersion, u"?");
    EXPECT_EQ(run.m_nBiosYear, 0);
}

TEST(SeekPenaltyAnswers, AreReadFromTheDescriptorAsDisksGiveIt)
{
    // DEVICE_SEEK_PENALTY_DESCRIPTOR as Windows 10 returns it: version and size 12, the flag, padding.
    const std::uint8_t ssd[12] = {12, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0};      // Samsung 860 EVO, NVMe alike
    const std::uint8_t hdd[12] = {12, 0, 0, 0, 12, 0, 0, 0, 1, 0x7f, 0, 0};   // WD Blue, padding unset
    const std::uint8_t header[12] = {8, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};     // a bridge that holds no flag
    EXPECT_EQ(SeekPenaltyFromAnswer(true, ssd, 12), SeekPenalty::None);
    EXPECT_EQ(SeekPenaltyFromAnswer(true, hdd, 12), SeekPenalty::Incurs);
    EXPECT_EQ(SeekPenaltyFromAnswer(true, header, 12), SeekPenalty::NoAnswer);
    EXPECT_EQ(SeekPenaltyFromAnswer(true, ssd, 8), SeekPenalty::NoAnswer) << "cut before the flag";
    // Windows XP and Vista know no such property (ERROR_INVALID_FUNCTION), nor does a USB stick's bridge.
    EXPECT_EQ(SeekPenaltyFromAnswer(false, ssd, 12), SeekPenalty::NoAnswer);
}

TEST_F(HardwareProbeTest, DriveSizeThatCannotBeConvertedSaysSo)
{
    auto& drive = wmi().instances[u"Select * from Win32_DiskDrive"][0];
    drive[u"Size"] = FakeWmi::Text(u"lots");
    EXPECT_TRUE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_strHardDrive, u"Read Failed [-2147352571]");
    // Judged as WMI's other errors are: it says nothing of the drive.
    EXPECT_EQ(run.ItemError(kItemHardDrive), 0x80020005u);
    EXPECT_EQ(run.m_nHardDriveSizeGB, 0u);

    drive[u"Size"] = FakeWmi::Null();
    EXPECT_TRUE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_strHardDrive, u"Read Failed [-2147352571]");

    drive[u"Size"] = FakeWmi::Text(u"99999999999999999999");
    drive[u"Model"] = FakeWmi::Text(u"Plain disk");
    EXPECT_FALSE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_strHardDrive, u"Read Failed [-2147352566]");
}

TEST_F(HardwareProbeTest, TheSystemDiskIsLookedForOnTheSameConnectionOnlyAmongSeveralDisks)
{
    const CString partitions =
        u"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"D:\"} WHERE AssocClass = Win32_LogicalDiskToPartition";
    const auto asked = [&](ProbeBench& bench) {
        return std::count_if(bench.wmi().calls.begin(), bench.wmi().calls.end(), [&](const std::string& call) {
            return call.find(ToUtf8(partitions)) != std::string::npos;
        });
    };
    auto& disks = wmi().instances[u"Select * from Win32_DiskDrive"];
    disks[0][u"Index"] = FakeWmi::Int32(1);
    disks[1][u"Index"] = FakeWmi::Int32(0);
    disks[1][u"Size"] = FakeWmi::Text(u"500107862016");
    platform.windowsFolder = u"d:\\Windows";
    wmi().instances[partitions] = {{{u"DiskIndex", FakeWmi::Int32(0)}}};
    EXPECT_FALSE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_strHardDrive, u"465 GB");
    EXPECT_EQ(asked(*this), 1);
    EXPECT_EQ(wmi().initializeCount, 1) << "one connection serves both queries";
    ExpectBalanced("two disks");

    // A failing second query leaves the first disk's reading, as finding no partition does: the
    // size WMI gave is good, only the choice among the disks is lost.
    wmi().failingQueries[partitions] = static_cast<HResult>(0x80041017);
    EXPECT_TRUE(run.GetHardDriveInfo());
    EXPECT_EQ(run.m_strHardDrive, u"238 GB SSD");
    EXPECT_FALSE(run.ItemError(kItemHardDrive)) << "the drive is judged on its value";
    ExpectBalanced("second query failed");

    // One disk is the system's: nothing more is asked, exactly as before.
    ProbeBench single;
    single.platform.windowsFolder = u"D:\\WINDOWS";
    single.wmi().instances[u"Select * from Win32_DiskDrive"].pop_back();
    EXPECT_TRUE(single.run.GetHardDriveInfo());
    EXPECT_EQ(single.run.m_strHardDrive, u"238 GB SSD");
    EXPECT_EQ(asked(single), 0);
    single.ExpectBalanced("one disk");
}

TEST_F(HardwareProbeTest, PercentSignsAndBackslashesStayAsWmiGivesThem)
{
    auto& system = wmi().instances[u"Select * from Win32_ComputerSystem"][0];
    system[u"Manufacturer"] = FakeWmi::Text(u"100% Acme %s%d");
    system[u"Model"] = FakeWmi::Text(u" Box\\ ");
    run.GetComputerSystemInfo();
    EXPECT_EQ(run.m_strManufacturer, u"100% Acme %s%d");
    EXPECT_EQ(run.m_strModel, u" Box\\ ");
}

TEST(HardwareText, DriveSizesCountWholeUnitsOf2To30Bytes)
{
    const struct {
        std::int64_t bytes;
        bool ssd;
        std::uint64_t units;
        const char16_t* text;
    } cases[] = {
        {500107862016, false, 465, u"465 GB"},  {150037204480, false, 139, u"139 GB"},
        {256052966400, true, 238, u"238 GB SSD"}, {0, false, 0, u"< 1 GB"},
        {1073741823, false, 0, u"< 1 GB"},      {1073741823, true, 0, u"< 1 GB SSD"},
        {1073741824, false, 1, u"1 GB"},        {1073741824, true, 1, u"1 GB SSD"},
        {-5368709120, false, 0, u"< 1 GB"},
    };
    for (const auto& c : cases) {
        const DriveSize size = DriveSizeFromBytes(c.bytes, c.ssd);
        EXPECT_EQ(size.gigabytes, c.units) << c.bytes;
        EXPECT_EQ(ToUtf8(size.text), ToUtf8(c.text)) << c.bytes;
    }
    EXPECT_EQ(DriveReadFailedText(static_cast<HResult>(0x80020005)), u"Read Failed [-2147352571]");
}

TEST(HardwareText, SolidStateNeedsTheCapitalLetters)
{
    EXPECT_TRUE(IsSolidStateModel(u"SSD 850"));
    EXPECT_TRUE(IsSolidStateModel(u"Samsung SSD 850"));
    EXPECT_TRUE(IsSolidStateModel(u"FastSSD"));
    EXPECT_FALSE(IsSolidStateModel(u"Fast ssd"));
    EXPECT_FALSE(IsSolidStateModel(u"S S D"));
    // Only a physical drive's own name is asked of its seek penalty.
    EXPECT_TRUE(IsPhysicalDriveName(u"\\\\.\\PHYSICALDRIVE0"));
    EXPECT_TRUE(IsPhysicalDriveName(u"\\\\.\\PhysicalDrive12"));
    for (const char16_t* other : {u"\\\\.\\PHYSICALDRIVE", u"\\\\.\\PHYSICALDRIVE0\\..\\C:", u"\\\\.\\C:",
                                  u"PHYSICALDRIVE0", u"\\\\?\\PHYSICALDRIVE0"})
        EXPECT_FALSE(IsPhysicalDriveName(other)) << ToUtf8(other);
    EXPECT_TRUE(AsksSeekPenalty(6, 1));
    EXPECT_TRUE(AsksSeekPenalty(10, 0));
    EXPECT_FALSE(AsksSeekPenalty(6, 0));
    EXPECT_FALSE(AsksSeekPenalty(5, 2));
    // The Windows folder names the system drive; a folder without a drive letter names none.
    EXPECT_EQ(SystemDrivePartitionsQuery(u"c:\\windows"),
              u"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"} WHERE AssocClass = Win32_LogicalDiskToPartition");
    EXPECT_EQ(SystemDrivePartitionsQuery(u"\\\\server\\windows"), u"");
    EXPECT_EQ(SystemDrivePartitionsQuery(u""), u"");
    EXPECT_EQ(SystemDrivePartitionsQuery(u"1:\\windows"), u"");
}

TEST(HardwareText, ReleaseDatesGiveYearAndText)
{
    auto date = ParseReleaseDate(u"20100524000000.000000+000");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->year, 2010);
    EXPECT_EQ(date->text, u"2010/05/24");
    date = ParseReleaseDate(u"19991231000000.000000+000");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->year, 1999);
    EXPECT_EQ(date->text, u"1999/12/31");
    date = ParseReleaseDate(u"20100524");
    ASSERT_TRUE(date);
    EXPECT_EQ(date->text, u"2010/05/24");
    EXPECT_FALSE(ParseReleaseDate(u"2010052"));
    EXPECT_FALSE(ParseReleaseDate(u""));
    // The year follows wcstol: white space, a sign, digits up to the first other character.
    EXPECT_EQ(ParseReleaseDate(u" 201xxxxx")->year, 201);
    EXPECT_EQ(ParseReleaseDate(u"ab123456")->year, 0);
    EXPECT_EQ(ParseReleaseDate(u"-200xxxxx")->year, -200);
}

TEST(HardwareText, LeadingNumberFollowsWcstol)
{
    EXPECT_EQ(LeadingNumber(u"\t +42z"), 42);
    EXPECT_EQ(LeadingNumber(u"-"), 0);
    EXPECT_EQ(LeadingNumber(u"99999999999"), 2147483647);
    EXPECT_EQ(LeadingNumber(u"-99999999999"), -2147483647 - 1);
}

TEST(HardwareText, SpeedsInGigahertzWithThreeDecimals)
{
    EXPECT_EQ(GigahertzText(GigahertzFromMegahertz(2394)), u"2.394 GHz");
    EXPECT_EQ(GigahertzText(GigahertzFromMegahertz(800)), u"0.800 GHz");
    EXPECT_EQ(GigahertzText(GigahertzFromMegahertz(3000)), u"3.000 GHz");
    EXPECT_EQ(GigahertzFromMegahertz(1), 0.001);
    EXPECT_EQ(GigahertzText(GigahertzFromMegahertz(1)), u"0.001 GHz");
    EXPECT_EQ(WmiErrorText(static_cast<HResult>(0x8000FFFF)), u"Error 0x8000ffff");
}

namespace {

// One disk as Win32_DiskDrive lists it, and what the disk says of its seek penalty.
struct RecordedDisk {
    const char16_t* model;
    const char16_t* size;  // null: no Size (a card reader without a card)
    std::int32_t index;
    SeekPenalty seekPenalty = SeekPenalty::NoAnswer;
};

// What real PCs answer, from vendors' documentation and public inventory dumps: the version record,
// the processor architecture a 32-bit x86 program sees, IsWow64Process2's native machine, the disks
// in the order WMI lists them and the disk indexes of the system drive's partitions.
struct RecordedPc {
    const char* name;
    std::uint32_t major, minor, build;
    const char16_t* servicePack;
    std::uint8_t productType;  // 1 workstation, 3 server
    std::uint32_t productInfo;
    std::uint16_t architecture;
    std::optional<std::uint16_t> nativeMachine;
    const char16_t* manufacturer;
    const char16_t* model;
    std::vector<RecordedDisk> disks;
    std::vector<std::int32_t> systemPartitions;
    const char16_t* osLine;
    const char16_t* driveLine;
    const char* machine;
};

constexpr std::uint16_t kArm64 = 0xAA64;
constexpr std::uint16_t kAmd64 = 0x8664;
const SeekPenalty kNone = SeekPenalty::None;
const SeekPenalty kIncurs = SeekPenalty::Incurs;

const RecordedPc kRecordedPcs[] = {
    {"Dell Latitude 7490, NVMe naming no SSD", 10, 0, 19045, u"", 1, 0x30, 9, kAmd64, u"Dell Inc.", u"Latitude 7490",
     {{u"SAMSUNG MZVLB512HAJQ-000H2", u"512105932800", 0, kNone}}, {0},
     u"Operating System: Microsoft Windows 10 Professional, 64-bit:0", u"Hard Drive Size: 476 GB SSD:1", "x64"},
    {"HP EliteBook 840 G5, Toshiba NVMe", 10, 0, 22631, u"", 1, 0x04, 9, kAmd64, u"HP", u"HP EliteBook 840 G5",
     {{u"KXG50ZNV512G NVMe TOSHIBA 512GB", u"512110190592", 0, kNone}}, {0},
     u"Operating System: Microsoft Windows 11 Enterprise Edition, 64-bit:0", u"Hard Drive Size: 476 GB SSD:1", "x64"},
    {"ThinkPad T490 started from a USB stick listed first", 10, 0, 19045, u"", 1, 0x30, 9, kAmd64, u"LENOVO",
     u"20N2000KGE",
     {{u"SanDisk Cruzer Blade USB Device", u"32017047552", 1, kIncurs},
      {u"PC300 NVMe SK hynix 512GB", u"512105932800", 0, kNone}},
     {0}, u"Operating System: Microsoft Windows 10 Professional, 64-bit:0", u"Hard Drive Size: 476 GB SSD:1", "x64"},
    {"Desktop with a card reader and a second disk listed first", 10, 0, 19045, u"", 1, 0x30, 9, kAmd64,
     u"ASUS", u"System Product Name",
     {{u"Generic- SD/MMC USB Device", nullptr, 2}, {u"ST2000DM008-2FR102", u"2000396321280", 1, kIncurs},
      {u"Samsung SSD 860 EVO 500GB", u"500105249280", 0, kNone}},
     {0}, u"Operating System: Microsoft Windows 10 Professional, 64-bit:0", u"Hard Drive Size: 465 GB SSD:1", "x64"},
    {"Surface Pro X on Windows 11 on Arm", 10, 0, 22631, u"", 1, 0x65, 9, kArm64, u"Microsoft Corporation",
     u"Surface Pro X", {{u"KBG40ZNS256G NVMe KIOXIA 256GB", u"256052966400", 0, kNone}}, {0},
     u"Operating System: Microsoft Windows 11 Home, 64-bit Arm:0", u"Hard Drive Size: 238 GB SSD:1", "arm64"},
    {"Lenovo Yoga C630 on Windows 10 on Arm, x86 emulated as x86", 10, 0, 19045, u"", 1, 0x65, 0, kArm64,
     u"LENOVO", u"81JL", {{u"SAMSUNG KLUDG4U1EA-B0C1", u"128035676160", 0, kNone}}, {0},
     u"Operating System: Microsoft Windows 10 Home, 64-bit Arm:0", u"Hard Drive Size: 119 GB SSD:1", "arm64"},
    {"Surface Laptop 7 on Windows 11 26H1", 10, 0, 28000, u"", 1, 0x30, 9, kArm64, u"Microsoft Corporation",
     u"Microsoft Surface Laptop, 7th Edition", {{u"SAMSUNG MZ9L4512HCHQ-00BMV", u"512110190592", 0, kNone}}, {0},
     u"Operating System: Microsoft Windows 11 Professional, 64-bit Arm:0", u"Hard Drive Size: 476 GB SSD:1", "arm64"},
    {"Hyper-V guest, Server 2022", 10, 0, 20348, u"", 3, 0x08, 9, kAmd64, u"Microsoft Corporation",
     u"Virtual Machine", {{u"Microsoft Virtual Disk", u"136366917120", 0}}, {0},
     u"Operating System: Microsoft Windows Server 2022 Datacenter Edition, 64-bit:0", u"Hard Drive Size: 127 GB:0",
     "x64"},
    {"VMware guest, Windows 10", 10, 0, 19044, u"", 1, 0x04, 9, kAmd64, u"VMware, Inc.", u"VMware7,1",
     {{u"VMware Virtual disk SCSI Disk Device", u"64424509440", 0, kIncurs}}, {0},
     u"Operating System: Microsoft Windows 10 Enterprise Edition, 64-bit:0", u"Hard Drive Size: 60 GB:0", "x64"},
    {"VirtualBox guest, Windows 7 Professional 32-bit", 6, 1, 7601, u"Service Pack 1", 1, 0x30, 0, std::nullopt,
     u"innotek GmbH", u"VirtualBox", {{u"VBOX HARDDISK ATA Device", u"53687091200", 0, kIncurs}}, {0},
     u"Operating System: Microsoft Windows 7 Professional, 32-bit:1", u"Hard Drive Size: 50 GB:0", "x86"},
    {"QEMU guest with VirtIO, Windows 11 24H2", 10, 0, 26100, u"", 1, 0x30, 9, kAmd64, u"QEMU",
     u"Standard PC (Q35 + ICH9, 2009)", {{u"Red Hat VirtIO SCSI Disk Device", u"85899345920", 0}}, {0},
     u"Operating System: Microsoft Windows 11 Professional, 64-bit:0", u"Hard Drive Size: 80 GB:0", "x64"},
    // XP asks no seek penalty: the disk's answer is never heard, the model alone decides.
    {"OptiPlex GX620 with an IDE disk, Windows XP", 5, 1, 2600, u"Service Pack 3", 1, 0, 0, std::nullopt,
     u"Dell Inc.", u"OptiPlex GX620", {{u"WDC WD800JB-00JJC0", u"80023749120", 0, kNone}}, {0},
     u"Operating System: Microsoft Windows XP Professional, 32-bit:1", u"Hard Drive Size: 74 GB:0", "x86"},
    {"PowerEdge R760, Server 2025 on a BOSS card listed second", 10, 0, 26100, u"", 3, 0x07, 9, kAmd64,
     u"Dell Inc.", u"PowerEdge R760",
     {{u"Dell Ent NVMe v2 AGN RI U.2 1.92TB", u"1920383410176", 1, kNone},
      {u"DELLBOSS VD", u"479559942144", 0, kNone}},
     {0}, u"Operating System: Microsoft Windows Server 2025 Standard Edition, 64-bit:0",
     u"Hard Drive Size: 446 GB SSD:1", "x64"},
    // A system volume spanning two dynamic disks has no one disk: the first listed, as always.
    {"Server 2019 whose system volume spans two disks", 10, 0, 17763, u"", 3, 0x07, 9, kAmd64, u"HPE",
     u"ProLiant DL380 Gen10",
     {{u"HP LOGICAL VOLUME SCSI Disk Device", u"300000000000", 1, kIncurs},
      {u"HP LOGICAL VOLUME SCSI Disk Device", u"146778685440", 0, kIncurs}},
     {0, 1}, u"Operating System: Microsoft Windows Server 2019 Standard Edition, 64-bit:0",
     u"Hard Drive Size: 279 GB:1", "x64"},
};

}  // namespace

namespace {

// The fake platform answering as the recorded PC did.
void ShapeAsRecorded(FakePlatform& platform, const RecordedPc& pc)
{
    platform.ShapeAsWindowsXp(pc.model);
    platform.version = {284, pc.major, pc.minor, pc.build, 2, pc.servicePack, 0, pc.productType};
    platform.nativeSystem.processorArchitecture = pc.architecture;
    platform.nativeMachine = pc.nativeMachine;
    platform.productType = pc.productInfo;
    platform.registryNames = {u"\\Device\\Serial0"};
    FakeWmi& wmi = platform.wmi;
    wmi.instances[u"Select * from Win32_ComputerSystem"][0][u"Manufacturer"] = FakeWmi::Text(pc.manufacturer);
    wmi.instances[u"Select * from Win32_BIOS"] = {{{u"ReleaseDate", FakeWmi::Text(u"20190411000000.000000+000")}}};
    wmi.instances[u"Select * from Win32_Processor"] = {{{u"MaxClockSpeed", FakeWmi::Int32(2112)}}};
    auto& disks = wmi.instances[u"Select * from Win32_DiskDrive"];
    for (const RecordedDisk& disk : pc.disks) {
        const CString device = Format(u"\\\\.\\PHYSICALDRIVE%d", {disk.index});
        FakeWmi::Instance instance = {{u"Model", FakeWmi::Text(disk.model)},
                                      {u"Index", FakeWmi::Int32(disk.index)},
                                      {u"DeviceID", FakeWmi::Text(device)}};
        if (disk.size)
            instance[u"Size"] = FakeWmi::Text(disk.size);
        disks.push_back(instance);
        platform.seekPenalties[device] = disk.seekPenalty;
    }
    for (std::int32_t index : pc.systemPartitions)
        wmi.instances[u"ASSOCIATORS OF {Win32_LogicalDisk.DeviceID=\"C:\"} WHERE AssocClass = "
                      u"Win32_LogicalDiskToPartition"]
            .push_back({{u"DiskIndex", FakeWmi::Int32(index)}});
}

}  // namespace

TEST(RecordedMachines, EachReplaysToItsWholeReport)
{
    for (const RecordedPc& pc : kRecordedPcs) {
        EventLog log;
        FakePlatform platform(log);
        ShapeAsRecorded(platform, pc);
        FakeWmi& wmi = platform.wmi;
        FakeSurface surface(log);
        CheckRun run(platform, surface);
        run.RunChecks();

        const std::vector<CString> lines = ReportLines(run.Results());
        ASSERT_EQ(lines.size(), 28u) << pc.name;
        EXPECT_EQ(ToUtf8(lines[17]), ToUtf8(pc.osLine)) << pc.name;
        EXPECT_EQ(ToUtf8(lines[26]), ToUtf8(pc.driveLine)) << pc.name;
        EXPECT_EQ(ToUtf8(run.Results().machine), pc.machine) << pc.name;
        // Every item read a value: what fails, fails on it.
        EXPECT_EQ(run.Results().PcFitness(), Fitness::Unfit) << pc.name;
        // The seventeen listing lines are the records as Windows gave them, Arm or not.
        EXPECT_EQ(lines[8], Format(u"Processor Architecture:  %d", {pc.architecture})) << pc.name;
        if (pc.major == 5) {
            EXPECT_TRUE(platform.seekPenaltyQueries.empty()) << pc.name;
        }
        EXPECT_TRUE(wmi.live.empty() && wmi.faults.empty()) << pc.name;
    }
}

// What a technician sends from a PC with a wrong verdict replays here to the report that PC wrote:
// every recorded PC, one whose WMI connection fails and one whose WMI never answers, with the
// user's name replaced and kept.
TEST(RecordedMachines, ACaptureReplaysToTheReportOfTheRunThatMadeIt)
{
    std::vector<std::pair<std::string, std::function<void(FakePlatform&)>>> machines;
    for (const RecordedPc& pc : kRecordedPcs)
        machines.emplace_back(pc.name, [&pc](FakePlatform& platform) { ShapeAsRecorded(platform, pc); });
    machines.emplace_back("WMI refuses the second connection", [](FakePlatform& platform) {
        ShapeAsRecorded(platform, kRecordedPcs[0]);
        platform.wmi.failures = {{1, FakeWmi::Step::Connect, static_cast<HResult>(0x80041003)}};
    });
    machines.emplace_back("WMI never answers the third query", [](FakePlatform& platform) {
        ShapeAsRecorded(platform, kRecordedPcs[2]);
        platform.wmi.hang = FakeWmi::Hang{2, FakeWmi::Step::Next};
    });
    for (const auto& [name, shape] : machines) {
        for (const bool keepUser : {false, true}) {
            EventLog log;
            FakePlatform platform(log);
            shape(platform);
            CapturingPlatform capturing(platform, keepUser);
            FakeSurface surface(log);
            CheckRun run(capturing, surface);
            run.m_wmiDeadlineMs = 50;
            run.RunChecks();
            platform.FinishAbandonedTasks();
            const std::string capture = capturing.Text(run.Results());
            if (!keepUser) {
                EXPECT_EQ(capture.find("PC\\\\user"), std::string::npos) << name << ": the user's name left in";
            }

            EventLog againLog;
            FakePlatform again(againLog);
            const Replay replay = ReplayCapture(capture, again);
            ASSERT_EQ(replay.error, "") << name;
            FakeSurface againSurface(againLog);
            CheckRun rerun(again, againSurface);
            rerun.m_wmiDeadlineMs = 50;
            rerun.RunChecks();
            again.FinishAbandonedTasks();
            EXPECT_EQ(ReportLines(rerun.Results()), replay.reportLines) << name;
            if (keepUser) {
                EXPECT_EQ(again.report.bytes, platform.report.bytes) << name << ": the very bytes";
            }
        }
    }
}

#ifndef _WIN32
// Captures sent from real PCs (and one made under Wine) kept in tests/recorded: each replays to
// the report its run wrote. Run from the repository's root, as the native suite is.
TEST(RecordedMachines, EachKeptCaptureReplaysToItsReport)
{
    std::size_t captures = 0;
    for (const auto& entry : std::filesystem::directory_iterator("tests/recorded")) {
        if (entry.path().extension() != ".capture")
            continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EventLog log;
        FakePlatform platform(log);
        const Replay replay = ReplayCapture(text, platform);
        ASSERT_EQ(replay.error, "") << entry.path();
        FakeSurface surface(log);
        CheckRun run(platform, surface);
        run.m_wmiDeadlineMs = 50;
        run.RunChecks();
        platform.FinishAbandonedTasks();
        std::vector<std::uint8_t> expected;
        for (const CString& line : replay.reportLines) {
            for (const char16_t unit : line + u"\r\n") {
                expected.push_back(static_cast<std::uint8_t>(unit & 0xFF));
                expected.push_back(static_cast<std::uint8_t>(unit >> 8));
            }
        }
        EXPECT_EQ(platform.report.bytes, expected) << entry.path();
        ++captures;
    }
    EXPECT_GT(captures, 0u) << "no capture in tests/recorded: run from the repository's root";
}
#endif
