#include "summary/walk/walk.h"

#include <algorithm>
#include <system_error>

#include "summary/common/parallel.h"
#include "summary/walk/identity_set.h"

namespace fs = std::filesystem;

namespace {

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

    // A file reached again (named twice, through a link, a hard link) is known by the identity its
    // reading gives, and only its first row, in the order found, is kept.
    void AddFile(const fs::path& path, const FileFacts& facts)
    {
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
            if (result.opened.Known() && !readFiles_.Insert(result.opened.identity))
                continue;
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
        // Only each entry's own name and what the system said of it: a folder of 50,000 reports
        // kept as whole paths took 18 MB, most of a large site's memory.
        struct Found {
            std::string key;  // the name as shown, a folder's with "/" after it
            fs::path::string_type name;
            FileFacts itself;
        };
        std::vector<ListedEntry> listed;
        std::string error;
        const bool whole = ListFolder(folder, listed, error);
        std::vector<Found> found;
        found.reserve(listed.size());
        for (ListedEntry& entry : listed) {
            Found item{DisplayPath(fs::path(entry.name)), std::move(entry.name), std::move(entry.itself)};
            if (item.itself.directory && !item.itself.link)
                item.key += '/';
            found.push_back(std::move(item));
        }
        listed = std::vector<ListedEntry>();
        if (!whole) {
            const std::string shown = DisplayPath(folder);
            std::string below = shown.substr(std::min(shown.size(), rootLength_));
            if (!below.empty() && below.back() != '/')
                below += '/';
            skipped_({shown, "folder cannot be read: " + error, std::move(below)});
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

int SummaryExitCode(std::size_t reports, std::size_t skipped)
{
    if (reports == 0)
        return 2;
    return skipped == 0 ? 0 : 1;
}

