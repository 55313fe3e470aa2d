#include "summary/site_summary.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <system_error>

#include "summary/file_facts.h"
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
    if (facts.directory)
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

using Identity = std::pair<std::uint64_t, std::uint64_t>;

// The identities met, in one flat table probed in turn: a million files take 32 MB of it, where a
// tree of them took 48 MB besides everything else a summary holds.
class IdentitySet {
public:
    // False when the identity was there already.
    bool Insert(const Identity& identity)
    {
        if (identity == kEmpty) {
            const bool first = !holdsEmpty_;
            holdsEmpty_ = true;
            return first;
        }
        // Kept 85 % full at most and grown by half: a table twice as large, beside the old one while
        // it is copied, would cost more than the identities themselves.
        if ((count_ + 1) * 20 > slots_.size() * 17)
            Grow();
        if (!Place(slots_, identity))
            return false;
        ++count_;
        return true;
    }

private:
    // No file system hands out this identity; it marks a free slot.
    static constexpr Identity kEmpty = {~0ull, ~0ull};

    static std::size_t Slot(const Identity& identity, std::size_t size)
    {
        // splitmix64's finaliser: inode numbers come in runs, and a plain mask would crowd them.
        std::uint64_t x = identity.first * 0x9E3779B97F4A7C15ull ^ identity.second;
        x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
        x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::size_t>((x ^ (x >> 31)) % size);
    }
    static bool Place(std::vector<Identity>& slots, const Identity& identity)
    {
        const std::size_t size = slots.size();
        for (std::size_t at = Slot(identity, size);; at = at + 1 == size ? 0 : at + 1) {
            if (slots[at] == identity)
                return false;
            if (slots[at] == kEmpty) {
                slots[at] = identity;
                return true;
            }
        }
    }
    void Grow()
    {
        std::vector<Identity> larger(std::max<std::size_t>(1024, slots_.size() + slots_.size() / 2), kEmpty);
        for (const Identity& identity : slots_) {
            if (identity != kEmpty)
                Place(larger, identity);
        }
        slots_.swap(larger);
    }

    std::vector<Identity> slots_;
    std::size_t count_ = 0;
    bool holdsEmpty_ = false;
};

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
                skipped_({DisplayPath(pending_[index].path), std::move(result.reason)});
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
        std::vector<fs::path> entries;
        while (!error && entry != end) {
            entries.push_back(entry->path());
            entry.increment(error);
        }
        if (error)
            skipped_({DisplayPath(folder), "folder cannot be read: " + error.message()});
        // In the order of the paths shown (a folder's entries as if its name ended in "/"), each
        // folder's links after its other entries: the rows come out in order as they are read, the
        // same on every run, and a file reached twice is shown by its own name where a link to it
        // sits beside it.
        std::vector<std::pair<std::string, std::pair<fs::path, FileFacts>>> found;
        found.reserve(entries.size());
        for (fs::path& path : entries) {
            FileFacts itself = LookAt(path, false);
            std::string key = DisplayPath(path.filename());
            if (itself.directory && !itself.link)
                key += '/';
            found.push_back({std::move(key), {std::move(path), std::move(itself)}});
        }
        entries.clear();
        entries.shrink_to_fit();
        std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
            if (a.second.second.link != b.second.second.link)
                return b.second.second.link;
            return a.first < b.first;
        });
        for (const auto& [key, entry] : found)
            AddEntry(entry.first, entry.second);
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

void WalkReports(const std::vector<fs::path>& paths, const std::function<void(std::vector<SummaryRow>&)>& rows,
                 const std::function<void(SkippedFile)>& skipped)
{
    Walk walk(rows, skipped);
    for (const fs::path& path : paths) {
        // A folder named on the command line is walked even through a link: the user chose it.
        const FileFacts facts = LookAt(path, true);
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
        paths,
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
    PcChange change = ComparePc(previous, row.Key(), row.PcFitness(), verdicts);
    ++counts[static_cast<std::size_t>(change.change)];
    return change;
}

void SiteChanges::CountGone()
{
    for (const PreviousPc& pc : previous.pcs)
        counts[static_cast<std::size_t>(Change::Gone)] += pc.seen ? 0 : 1;
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
