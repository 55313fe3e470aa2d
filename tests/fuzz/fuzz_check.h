// What a fuzzer checks of one input, written once for two callers: libFuzzer, which stops on the
// first input that breaks a check, and the native suite, which runs every input kept in the
// repository (the corpora, and each input that ever broke a check) through the same checks.
#pragma once

#include <cstddef>
#include <cstdint>

// Called when an input breaks a check.
void FuzzCheckFailed(const char* what);

#define FUZZ_CHECK(condition, what)  \
    do {                             \
        if (!(condition))            \
            FuzzCheckFailed(what);   \
    } while (false)

// Each fuzzer's whole work on one input.
void FuzzReportImport(const std::uint8_t* data, std::size_t size);
void FuzzCommandLine(const std::uint8_t* data, std::size_t size);
void FuzzSummary(const std::uint8_t* data, std::size_t size);
void FuzzSince(const std::uint8_t* data, std::size_t size);

// No page holds a script of its own but its one, and no CSV cell starts a formula.
struct SiteSummary;
void CheckSummaryOutputs(const SiteSummary& summary);

#ifdef QK_LIBFUZZER
#include <cstdio>
// libFuzzer's entry point for the fuzzer `run`, and a failed check as the crash it saves.
#define QK_FUZZER_ENTRY(run)                                                         \
    void FuzzCheckFailed(const char* what)                                           \
    {                                                                                \
        std::fprintf(stderr, "fuzz check failed: %s\n", what);                       \
        __builtin_trap();                                                            \
    }                                                                                \
    extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) \
    {                                                                                \
        run(data, size);                                                             \
        return 0;                                                                    \
    }
#else
#define QK_FUZZER_ENTRY(run)
#endif
