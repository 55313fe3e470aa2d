#include "summary/command_line/outputs.h"

#include <optional>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Where a chain of links ends, whether or not anything is there: a new output is made, and an
// earlier one replaced, under the name the last link gives, and the links stay links.
fs::path LeadsTo(const fs::path& named)
{
    fs::path at = named;
    // As many links as the system itself follows; none of a device's ("/dev/fd/63" leads to
    // "pipe:[4711]", which is no name).
    for (int hops = 0; hops < 40 && !NamesADevice(at) && LookAt(at, false).link; ++hops) {
        std::error_code error;
        const fs::path next = fs::read_symlink(at, error);
        if (error)
            break;
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return at;
}

}  // namespace

std::vector<PlannedOutput> PlanOutputs(const SummaryCommandLine& line)
{
    std::vector<PlannedOutput> outputs;
    const std::pair<const char*, const std::optional<fs::path>*> named[] = {
        {"--csv", &line.csv}, {"--json", &line.json}, {"--html", &line.html}};
    for (const auto& [option, path] : named) {
        if (!*path)
            continue;
        PlannedOutput output;
        output.option = option;
        output.named = **path;
        output.standardOutput = IsStandardOutput(**path);
        if (!output.standardOutput) {
            output.target = LeadsTo(output.named);
            // A device is not looked at: on Windows that alone may open it.
            output.straight = NamesADevice(output.named) || NamesADevice(output.target);
            if (!output.straight) {
                output.facts = LookAt(output.target, true);
                output.straight = output.facts.Known() && !output.facts.regular && !output.facts.directory;
            }
            std::error_code error;
            fs::path whole = fs::weakly_canonical(fs::absolute(output.target, error), error);
            if (!error)
                output.wholeName = std::move(whole);
        }
        outputs.push_back(std::move(output));
    }
    return outputs;
}

std::string OutputOverInput(const std::vector<PlannedOutput>& outputs, const SummaryCommandLine& line,
                            const std::vector<NamedInput>& inputs)
{
    FileFacts since;
    if (line.since)
        since = LookAt(*line.since, true);
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        const PlannedOutput& output = outputs[o];
        if (output.standardOutput)
            continue;
        const std::string named = std::string(output.option) + " " + DisplayPath(output.named);
        // "--csv PC-01.vkh PC-02.vkh", the output's own name forgotten: a report is never written
        // over, whether it is to be read or not, nor made by a link that leads to its name.
        if (HasReportName(output.named))
            return named + " has a report's name";
        if (HasReportName(output.target))
            return named + " leads to a report's name, " + DisplayPath(output.target);
        if (output.facts.directory)
            return named + " is a folder";
        // Only a regular file is read to see whether it is a report: a FIFO would wait for ever.
        if (output.facts.regular && ReadReportFile(output.target, output.facts).row)
            return named + " is a report";
        if (line.since && since.Known() && output.facts.Known() && output.facts.identity == since.identity)
            return named + " is the earlier summary to compare with";
        // A file named as a report to read, under any name: it need not read as one.
        for (const auto& [path, facts] : inputs) {
            if (facts.Known() && !facts.directory && output.facts.Known() && output.facts.identity == facts.identity)
                return named + " is one of the reports to be read";
        }
        for (std::size_t other = o + 1; other < outputs.size(); ++other) {
            const PlannedOutput& second = outputs[other];
            // One file by its identity when both exist, by their names made whole when not yet.
            if (!second.standardOutput &&
                ((output.facts.Known() && second.facts.Known() && output.facts.identity == second.facts.identity) ||
                 (!output.wholeName.empty() && output.wholeName == second.wholeName)))
                return std::string(output.option) + " and " + second.option + " name the same file, " +
                       DisplayPath(output.named);
        }
    }
    return std::string();
}
