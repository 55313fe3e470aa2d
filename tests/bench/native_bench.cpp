// Native benchmarks: the report parser's throughput and one check run against fakes.
#include <benchmark/benchmark.h>

#include "check/check_run.h"
#include "report/report_import.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/fake_surface.h"

namespace {

// A report of about `bytes` bytes of short result lines.
std::vector<std::uint8_t> SampleReport(std::size_t bytes)
{
    std::vector<std::uint8_t> data;
    for (int i = 0; data.size() < bytes; ++i) {
        const std::string line = "Locale: v" + std::to_string(i) + (i % 2 ? ":1\r\n" : ":0\r\n");
        for (char c : line) {
            data.push_back(static_cast<std::uint8_t>(c));
            data.push_back(0);
        }
    }
    return data;
}

void ParseReport1MiB(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes = SampleReport(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        ImportedReport report = ParseReport(ReportTextFromBytes(bytes));
        benchmark::DoNotOptimize(report);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(ParseReport1MiB)->Arg(256 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMillisecond);

void CheckRunAgainstFakes(benchmark::State& state)
{
    EventLog log;
    FakePlatform platform(log);
    FakeSurface surface(log);
    platform.version.platformId = 2;
    platform.version.majorVersion = 6;
    platform.version.minorVersion = 1;
    platform.version.osVersionInfoSize = 284;
    platform.registryNames = {u"\\Device\\Serial0", u"\\Device\\Serial1", u"\\Device\\Mxser0"};
    platform.wmi.instances[u"Select * from Win32_Processor"] = {{{u"MaxClockSpeed", FakeWmi::Int32(2394)}}};
    for (auto _ : state) {
        CheckRun run(platform, surface);
        run.RunChecks();
        log.clear();
        surface.list.clear();
        platform.report = FakeFileContents();
        platform.wmi.calls.clear();
    }
}
BENCHMARK(CheckRunAgainstFakes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
