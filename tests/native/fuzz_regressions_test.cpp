// Every input the fuzzers keep, run through the fuzzers' own checks: the corpora the long runs
// grew, and each input that ever broke a check, named in tests/fuzz/regressions/<fuzzer>/. Run
// from the repository's root, as ctest and the Makefile run the suite.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_check.h"

namespace fs = std::filesystem;

void FuzzCheckFailed(const char* what)
{
    ADD_FAILURE() << what;
}

TEST(FuzzRegressions, EveryKeptInputPassesItsFuzzersChecks)
{
    const std::vector<std::pair<const char*, void (*)(const std::uint8_t*, std::size_t)>> fuzzers = {
        {"report_import", FuzzReportImport},
        {"command_line", FuzzCommandLine},
        {"summary", FuzzSummary},
        {"since", FuzzSince},
    };
    for (const auto& [name, fuzz] : fuzzers) {
        std::size_t inputs = 0;
        for (const char* kept : {"tests/fuzz/corpus/", "tests/fuzz/regressions/"}) {
            const fs::path folder = fs::path(kept) / name;
            if (!fs::is_directory(folder))
                continue;
            for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
                std::ifstream file(entry.path(), std::ios::binary);
                const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
                SCOPED_TRACE(entry.path().string());
                fuzz(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
                ++inputs;
            }
        }
        // Run from elsewhere, the suite would find nothing and prove nothing.
        EXPECT_GT(inputs, 0u) << "no kept input of the " << name << " fuzzer: run from the repository's root";
    }
}
