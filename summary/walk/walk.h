// The walk: what the command line names, searched for reports, each read once on every core and
// handed on as rows, a batch at a time, in the order of the paths shown.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "summary/common/file_facts.h"
#include "summary/walk/summary_row.h"

struct SkippedFile {
    SkippedFile(std::string shown, std::string why, std::optional<std::string> below = std::nullopt)
        : path(std::move(shown)), reason(std::move(why)), unread(std::move(below))
    {
    }

    std::string path;
    std::string reason;
    // What could not be read today names PCs that are not gone: the report's PC, or for a folder
    // the start every PC below it shares ("floor 2/"). Empty for what names no PC (a link to a
    // folder, never followed).
    std::optional<std::string> unread;
};

// A file or folder named on the command line, looked at once, so that the checks made before
// anything is written and the walk see the same thing.
struct NamedInput {
    std::filesystem::path path;
    FileFacts facts;  // what it leads to: a folder named is walked even through a link
};
std::vector<NamedInput> LookAtInputs(const std::vector<std::filesystem::path>& paths);

// Walks what is given, in the order of the command line and, inside a folder, of the paths shown
// (links last), and hands on the rows as they are read, a batch at a time, and each file skipped.
void WalkReports(const std::vector<NamedInput>& inputs,
                 const std::function<void(std::vector<SummaryRow>&)>& rows,
                 const std::function<void(SkippedFile)>& skipped);

// 0 every file was read, 1 some were skipped, 2 nothing could be summarised.
int SummaryExitCode(std::size_t reports, std::size_t skipped);
