// The outputs as the command line names them, decided once before anything is read or written:
// where each one's bytes go, whether it is replaced whole or written straight through, and why
// one would destroy an input or another output.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "summary/command_line/command_line.h"
#include "summary/common/file_facts.h"
#include "summary/walk/walk.h"

// An output as the command line names it, looked at once before anything is read or written.
struct PlannedOutput {
    const char* option = "";
    std::filesystem::path named;
    bool standardOutput = false;
    std::filesystem::path target;          // what the name leads to, links followed: where the bytes go
    FileFacts facts;          // of the target
    bool straight = false;    // not a regular file: written through, never replaced
    std::filesystem::path wholeName;       // the target made absolute and canonical; empty when it cannot be
};


std::vector<PlannedOutput> PlanOutputs(const SummaryCommandLine& line);

// Why an output would destroy what is to be read, or another output; empty when it would not.
std::string OutputOverInput(const std::vector<PlannedOutput>& outputs, const SummaryCommandLine& line,
                            const std::vector<NamedInput>& inputs);
