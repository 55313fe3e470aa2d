#include "summary/site_summary.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <system_error>

#include "summary/file_facts.h"
#include "summary/identity_set.h"
#include "summary/parallel.h"

namespace fs = std::filesystem;

namespace {

// The "0x..." of a value that begins "Error 0x" and lower-case hex digits, as the check run writes
// a WMI status; whatever follows the digits is the value's own. Empty when the value shows none.
std::string_view WmiErrorOf(std::string_view value)
{
    constexpr std::string_view prefix = "Error 0x";
    if (value.compare(0, prefix.size(), prefix) != 0)
        return std::string_view();
    std::size_t end = prefix.size();
    const auto hex = [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); };
    while (end < value.size() && hex(value[end]))
        ++end;
    if (end == prefix.size())
        return std::string_view();
    return value.substr(prefix.size() - 2, end - prefix.size() + 2);
}

}  // namespace

SummaryRow::SummaryRow(std::string_view path, const std::array<SummaryItem, kResultItemCount>& items,
                       std::int64_t written)
    : written_(written)
{
    std::size_t size = path.size();
    for (const SummaryItem& item : items)
        size += item.value.size();
    text_.reserve(size);
    text_ += path;
    ends_[0] = static_cast<std::uint32_t>(text_.size());
    for (std::size_t item = 0; item < items.size(); ++item) {
        if (items[item].present) {
            text_ += items[item].value;
            present_ = static_cast<std::uint16_t>(present_ | (1u << item));
            if (items[item].pass)
                pass_ = static_cast<std::uint16_t>(pass_ | (1u << item));
            // A value edited to pass stays a pass: only a failing item can have been failed by WMI.
            else if (!WmiErrorOf(items[item].value).empty())
                error_ = static_cast<std::uint16_t>(error_ | (1u << item));
        }
        ends_[item + 1] = static_cast<std::uint32_t>(text_.size());
    }
}

SummaryItem SummaryRow::Item(std::size_t item) const
{
    const std::uint32_t begin = ends_[item], end = ends_[item + 1];
    return {(present_ >> item & 1u) != 0, std::string_view(text_).substr(begin, end - begin), (pass_ >> item & 1u) != 0};
}

std::string_view SummaryRow::Error(std::size_t item) const
{
    if ((error_ >> item & 1u) == 0)
        return std::string_view();
    return WmiErrorOf(std::string_view(text_).substr(ends_[item], ends_[item + 1] - ends_[item]));
}

ItemVerdict SummaryRow::Verdict(std::size_t item) const
{
    if ((present_ >> item & 1u) == 0)
        return ItemVerdict::Missing;
    if ((pass_ >> item & 1u) != 0)
        return ItemVerdict::Pass;
    return (error_ >> item & 1u) != 0 ? ItemVerdict::Unknown : ItemVerdict::Fail;
}

int SummaryRow::FailedCount() const
{
    return static_cast<int>(kResultItemCount) - __builtin_popcount(present_ & pass_);
}

int SummaryRow::JudgedOnErrorCount() const
{
    return __builtin_popcount(error_);
}

std::string DisplayPath(const fs::path& path)
{
    const auto generic = path.generic_string<fs::path::value_type>();
    // Windows names are UTF-16 and may hold an unpaired surrogate, which the library's own
    // conversion throws on; ours writes U+FFFD. Other systems' names are bytes, kept as they are.
    if constexpr (sizeof(fs::path::value_type) == sizeof(char16_t))
        return ToUtf8(CString(generic.begin(), generic.end()));
    else
        return std::string(generic.begin(), generic.end());
}

std::optional<SummaryRow> RowFromReport(const std::string& path, const ImportedReport& report, std::int64_t written)
{
    std::array<std::string, kResultItemCount> values;
    std::array<SummaryItem, kResultItemCount> items{};
    bool any = false;
    for (std::size_t item = 0; item < report.rows.size(); ++item) {
        const ImportedRow& imported = report.rows[item];
        if (!imported.present)
            continue;
        any = true;
        // The writer puts one blank after the colon; only that one is the layout's, any further
        // blank belongs to the value.
        const bool blank = !imported.value.empty() && imported.value.front() == u' ';
        values[item] = ToUtf8(blank ? imported.value.substr(1) : imported.value);
        items[item] = {true, values[item], imported.pass};
    }
    if (!any)
        return std::nullopt;
    return SummaryRow(path, items, written);
}

ReadResult ReadReportFile(const fs::path& path)
{
    return ReadReportFile(path, LookAt(path, true));
}

ReadResult ReadReportFile(const fs::path& path, const FileFacts& facts)
{
    if (!facts.exists)
        return {std::nullopt, "cannot be read: " + (facts.error.empty() ? std::string("no such file") : facts.error)};
    if (!facts.error.empty())
        return {std::nullopt, "cannot be read: " + facts.error};
    // Never opened: a FIFO waits for a writer that may never come.
    if (!facts.regular)
        return {std::nullopt, "cannot be read: not a regular file"};
    const std::uintmax_t size = facts.size;
    if (size > static_cast<std::uintmax_t>(kMaxReportBytes))
        return {std::nullopt, "over 1 MiB, too large to be a report"};

    std::ifstream file(path, std::ios::binary);
    if (!file)
        return {std::nullopt, "cannot be read: the file could not be opened"};
    // One byte more than the size found: a file that grew past the limit since is still refused.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size) + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (file.bad())
        return {std::nullopt, "cannot be read: the read failed"};
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    if (bytes.size() > static_cast<std::size_t>(kMaxReportBytes))
        return {std::nullopt, "over 1 MiB, too large to be a report"};

    std::optional<SummaryRow> row =
        RowFromReport(DisplayPath(path), ParseReport(ReportTextFromBytes(bytes), false), facts.written);
    if (!row)
        return {std::nullopt, "holds no known report label"};
    return {std::move(row), std::string()};
}

namespace {

template <typename Char>
bool EndsWithReportSuffix(const std::basic_string<Char>& name)
{
    static const char suffix[] = ".vkh";
    const std::size_t length = sizeof suffix - 1;
    if (name.size() < length)
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        Char c = name[name.size() - length + i];
        if (c >= Char('A') && c <= Char('Z'))
            c = static_cast<Char>(c - Char('A') + Char('a'));
        if (c != Char(suffix[i]))
            return false;
    }
    return true;
}

// One walk over everything given: each file is read once and each folder walked once, by what
// they are rather than by the name they were reached through.
class Walk {
public:
    Walk(const std::function<void(std::vector<SummaryRow>&)>& rows, const std::function<void(SkippedFile)>& skipped)
        : rows_(rows), skipped_(skipped)
    {
    }

    // What the user named: a PC is its report's path below it (a file named is its own name).
    void SetRoot(const fs::path& root, bool folder)
    {
        const std::string shown = DisplayPath(root);
        if (folder)
            rootLength_ = shown.size() + (shown.empty() || shown.back() == '/' ? 0 : 1);
        else
            rootLength_ = shown.size() - DisplayPath(root.filename()).size();
    }

    void AddFile(const fs::path& path, const FileFacts& facts)
    {
        if (facts.Known() && !readFiles_.Insert(facts.identity))
            return;
        pending_.push_back({path, facts, rootLength_});
        if (pending_.size() == kBatch)
            ReadPending();
    }

    // Reads the files found so far, on every core, and takes their rows in the order found.
    void ReadPending()
    {
        std::vector<ReadResult> results(pending_.size());
        ForEachInParallel(pending_.size(), [&](std::size_t index) {
            try {
                results[index] = ReadReportFile(pending_[index].path, pending_[index].facts);
            } catch (...) {
                results[index].reason = "cannot be read: out of memory";
            }
        });
        std::vector<SummaryRow> batch;
        batch.reserve(results.size());
        for (std::size_t index = 0; index < results.size(); ++index) {
            ReadResult& result = results[index];
            if (result.row) {
                result.row->SetKeyFrom(pending_[index].rootLength);
                batch.push_back(std::move(*result.row));
            } else {
                // Said in its place among the rows: what comes before it has been handed on.
                if (!batch.empty())
                    rows_(batch);
                batch.clear();
                const std::string shown = DisplayPath(pending_[index].path);
                skipped_({shown, std::move(result.reason), shown.substr(std::min(shown.size(), pending_[index].rootLength))});
            }
        }
        pending_.clear();
        if (!batch.empty())
            rows_(batch);
    }

    void AddFolder(const fs::path& folder, const FileFacts& facts)
    {
        // A folder reached again (a bind mount, a link Windows does not show as one, or named
        // twice) is not walked again, so no loop can make the walk endless.
        // A folder the system told nothing of is walked (and says why it cannot be read).
        if (facts.Known() && !walkedFolders_.Insert(facts.identity))
            return;
        std::error_code error;
        fs::directory_iterator entry(folder, error);
        const fs::directory_iterator end;
        // Only each entry's own name and what the system said of it: a folder of 50,000 reports
        // kept as whole paths took 18 MB, most of a large site's memory.
        struct Found {
            std::string key;  // the name as shown, a folder's with "/" after it
            fs::path::string_type name;
            FileFacts itself;
        };
        std::vector<Found> found;
        while (!error && entry != end) {
            const fs::path& path = entry->path();
            Found item{DisplayPath(path.filename()), path.filename().native(), LookAt(path, false)};
            if (item.itself.directory && !item.itself.link)
                item.key += '/';
            found.push_back(std::move(item));
            entry.increment(error);
        }
        if (error) {
            const std::string shown = DisplayPath(folder);
            std::string below = shown.substr(std::min(shown.size(), rootLength_));
            if (!below.empty() && below.back() != '/')
                below += '/';
            skipped_({shown, "folder cannot be read: " + error.message(), std::move(below)});
        }
        // In the order of the paths shown (a folder's entries as if its name ended in "/"), each
        // folder's links after its other entries: the rows come out in order as they are read, the
        // same on every run, and a file reached twice is shown by its own name where a link to it
        // sits beside it.
        std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
            if (a.itself.link != b.itself.link)
                return b.itself.link;
            return a.key < b.key;
        });
        for (const Found& item : found)
            AddEntry(folder / item.name, item.itself);
    }

private:
    void AddEntry(const fs::path& path, const FileFacts& itself)
    {
        if (itself.link) {
            // Named, not followed: a link may lead back up the tree, or out of the site. Windows
            // marks a link to a folder as a folder itself, whether or not its target is there.
            const FileFacts target = LookAt(path, true);
            if (itself.directory || target.directory)
                skipped_({DisplayPath(path), "a link to a folder, not followed"});
            else if (HasReportName(path))
                AddFile(path, target);
            return;
        }
        if (itself.directory)
            AddFolder(path, LookAt(path, true));
        else if (HasReportName(path))
            AddFile(path, itself);
    }

    // Enough files that the threads' start is nothing beside their reading; few enough that what
    // waits to be read stays small.
    static constexpr std::size_t kBatch = 2048;
    struct Pending {
        fs::path path;
        FileFacts facts;
        std::size_t rootLength;
    };

    const std::function<void(std::vector<SummaryRow>&)>& rows_;
    const std::function<void(SkippedFile)>& skipped_;
    std::vector<Pending> pending_;
    std::size_t rootLength_ = 0;
    IdentitySet readFiles_;
    IdentitySet walkedFolders_;
};

}  // namespace

bool HasReportName(const fs::path& path)
{
    return EndsWithReportSuffix(path.filename().native());
}

std::vector<NamedInput> LookAtInputs(const std::vector<fs::path>& paths)
{
    std::vector<NamedInput> inputs;
    inputs.reserve(paths.size());
    for (const fs::path& path : paths)
        inputs.push_back({path, LookAt(path, true)});
    return inputs;
}

void WalkReports(const std::vector<NamedInput>& inputs, const std::function<void(std::vector<SummaryRow>&)>& rows,
                 const std::function<void(SkippedFile)>& skipped)
{
    Walk walk(rows, skipped);
    for (const auto& [path, facts] : inputs) {
        const bool folder = facts.Known() && facts.directory;
        walk.SetRoot(path, folder);
        if (folder)
            walk.AddFolder(path, facts);
        else
            walk.AddFile(path, facts);
        // What a path named holds is read before the next: the rows follow the command line.
        walk.ReadPending();
    }
}

SiteSummary SummariseReports(const std::vector<fs::path>& paths)
{
    SiteSummary summary;
    WalkReports(
        LookAtInputs(paths),
        [&summary](std::vector<SummaryRow>& rows) {
            for (SummaryRow& row : rows)
                summary.rows.push_back(std::move(row));
        },
        [&summary](SkippedFile file) { summary.skipped.push_back(std::move(file)); });
    std::stable_sort(summary.skipped.begin(), summary.skipped.end(),
                     [](const SkippedFile& a, const SkippedFile& b) { return a.path < b.path; });
    return summary;
}

PcChange SiteChanges::Compare(const SummaryRow& row)
{
    std::array<ItemVerdict, kResultItemCount> verdicts{};
    for (std::size_t item = 0; item < kResultItemCount; ++item)
        verdicts[item] = row.Verdict(item);
    // A summary from before PCs had names knows each by its report's path as it was shown.
    PcChange change = ComparePc(previous, previous.keyedByReport ? row.Path() : row.Key(), row.PcFitness(), verdicts);
    ++counts[static_cast<std::size_t>(change.change)];
    return change;
}

void SiteChanges::NotRead(const SkippedFile& skipped)
{
    if (!skipped.unread)
        return;
    const std::string& below = *skipped.unread;
    const bool folder = below.empty() || below.back() == '/';
    std::string wanted = previous.keyedByReport ? skipped.path : below;
    if (previous.keyedByReport && folder && (wanted.empty() || wanted.back() != '/'))
        wanted += '/';
    wanted = PcKey(wanted);
    const auto within = [&](const PreviousPc& pc) {
        return folder ? pc.Key().compare(0, wanted.size(), wanted) == 0 : pc.Key() == wanted;
    };
    auto pc = std::lower_bound(previous.pcs.begin(), previous.pcs.end(), wanted,
                               [](const PreviousPc& p, const std::string& key) { return p.Key() < key; });
    for (; pc != previous.pcs.end() && within(*pc); ++pc)
        pc->unread = true;
}

void SiteChanges::CountGone()
{
    for (const PreviousPc& pc : previous.pcs) {
        if (!pc.seen)
            ++counts[static_cast<std::size_t>(pc.unread ? Change::NotRead : Change::Gone)];
    }
}

void CompareWithPrevious(SiteSummary& summary, PreviousSummary previous)
{
    SiteChanges& changes = summary.since.emplace();
    changes.previous = std::move(previous);
    changes.changes.reserve(summary.rows.size());
    for (const SummaryRow& row : summary.rows)
        changes.changes.push_back(changes.Compare(row));
    changes.CountGone();
}

int SummaryExitCode(std::size_t reports, std::size_t skipped)
{
    if (reports == 0)
        return 2;
    return skipped == 0 ? 0 : 1;
}

int SummaryExitCode(const SiteSummary& summary)
{
    return SummaryExitCode(summary.rows.size(), summary.skipped.size());
}
