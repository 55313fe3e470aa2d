#include "summary/command_line/command_line.h"

#include "summary/walk/summary_row.h"

namespace fs = std::filesystem;

namespace {

bool Is(const fs::path& argument, const char* text)
{
    return argument.native() == fs::path(text).native();
}

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return text;
}

// The items of --skip, each named as a report names it, in any case; why not, when one is none.
std::string ReadNotJudged(const std::string& list, std::uint16_t& mask)
{
    mask = 0;
    for (std::size_t begin = 0;;) {
        std::size_t end = list.find(',', begin);
        if (end == std::string::npos)
            end = list.size();
        std::string name = list.substr(begin, end - begin);
        name.erase(0, name.find_first_not_of(" \t"));
        name.erase(name.find_last_not_of(" \t") + 1);
        bool known = false;
        for (std::size_t item = 0; item < kResultItemCount; ++item) {
            if (Lowered(name) == Lowered(ToUtf8(kResultRows[item].label))) {
                mask = static_cast<std::uint16_t>(mask | (1u << item));
                known = true;
            }
        }
        if (!known) {
            std::string labels;
            for (std::size_t item = 0; item < kResultItemCount; ++item)
                labels += (item == 0 ? "\"" : ", \"") + ToUtf8(kResultRows[item].label) + "\"";
            return "--skip names no item: \"" + name + "\"; the items are " + labels;
        }
        if (end == list.size())
            return std::string();
        begin = end + 1;
    }
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
