#include "summary/command_line/command_line.h"

#include "report/outcome_line.h"
#include "summary/walk/summary_row.h"

namespace fs = std::filesystem;

namespace {

bool Is(const fs::path& argument, const char* text)
{
    return argument.native() == fs::path(text).native();
}

// The items of --skip as one bit each; why not, when a name is no item.
std::string ReadNotJudged(const std::string& list, std::uint16_t& mask)
{
    std::array<bool, kResultItemCount> items{};
    CString unknown;
    if (!ItemsNamed(FromUtf8(list), items, unknown))
        return "--skip names no item: \"" + ToUtf8(unknown) + "\"; the items are " + ToUtf8(QuotedItemLabels());
    mask = 0;
    for (std::size_t item = 0; item < kResultItemCount; ++item)
        mask = static_cast<std::uint16_t>(mask | (items[item] ? 1u << item : 0u));
    return std::string();
}

}  // namespace

bool IsStandardOutput(const fs::path& path)
{
    return Is(path, "-");
}

SummaryCommandLine ParseSummaryCommandLine(const std::vector<fs::path>& arguments)
{
    SummaryCommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const fs::path& argument = arguments[i];
        const std::string text = DisplayPath(argument);
        if (optionsEnded || text.size() < 2 || text[0] != '-') {
            line.inputs.push_back(argument);
            continue;
        }
        if (Is(argument, "--")) {
            optionsEnded = true;
            continue;
        }
        if (Is(argument, "--help") || Is(argument, "-h")) {
            line.help = true;
            continue;
        }
        if (Is(argument, "--skip")) {
            if (i + 1 == arguments.size() || arguments[i + 1].empty() ||
                DisplayPath(arguments[i + 1]).rfind("--", 0) == 0) {
                line.error = "--skip needs the items not to judge";
                return line;
            }
            line.error = ReadNotJudged(DisplayPath(arguments[++i]), line.notJudged);
            if (!line.error.empty())
                return line;
            continue;
        }
        std::optional<fs::path>* target = Is(argument, "--csv")     ? &line.csv
                                          : Is(argument, "--json")  ? &line.json
                                          : Is(argument, "--html")  ? &line.html
                                          : Is(argument, "--since") ? &line.since
                                                                    : nullptr;
        if (target == nullptr) {
            line.error = "unknown option " + text;
            return line;
        }
        if (*target) {
            line.error = text + " is given twice";
            return line;
        }
        if (i + 1 == arguments.size() || arguments[i + 1].empty() || DisplayPath(arguments[i + 1]).rfind("--", 0) == 0) {
            line.error = text + " needs a file name";
            return line;
        }
        *target = arguments[++i];
    }
    if (line.help)
        return line;
    const int toStandardOutput = (line.csv && IsStandardOutput(*line.csv)) + (line.json && IsStandardOutput(*line.json)) +
                                 (line.html && IsStandardOutput(*line.html));
    if (toStandardOutput > 1)
        line.error = "only one output can go to standard output";
    else if (line.since && IsStandardOutput(*line.since))
        line.error = "--since needs the earlier summary's file";
    else if (line.inputs.empty())
        line.error = "no report file or folder given";
    return line;
}
