// What changed at a site since an earlier summary: the earlier one read back from its JSON, and
// each PC of today's compared with its earlier self.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "report/labels.h"
#include "report/run_results.h"

// The JSON's own format, raised whenever a reader of an older one would misread it.
inline constexpr int kSummaryFormat = 1;
// A summary's JSON larger than this is no summary of a site this program can compare: a million
// PCs take about a gigabyte.
inline constexpr std::uintmax_t kMaxPreviousBytes = 4ull << 30;

// How one item stood on one PC.
enum class ItemVerdict : std::uint8_t { Missing, Pass, Fail, Unknown };
const char* VerdictWord(ItemVerdict verdict);  // "missing", "pass", "fail", "unknown"

// The texts of an earlier summary's PCs, in large blocks that never move: each PC points at its
// own, without an allocation of its own for each of a million PCs.
class PcTexts {
public:
    // The pieces, one after the other; what is returned stays where it is as long as this does.
    const char* Add(std::string_view first, std::string_view second, std::string_view third);

private:
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::size_t used_ = 0;
    std::size_t size_ = 0;
};

// A PC as an earlier summary held it: only what a comparison needs, in 32 bytes beside its texts.
struct PreviousPc {
private:
    const char* text_ = "";  // its key, its report's path, then its own name unless the path ends with it

public:
    Fitness fitness = Fitness::Unfit;
    std::array<ItemVerdict, kResultItemCount> items{};
    bool seen = false;    // found again today
    bool unread = false;  // there today, but its report or its folder could not be read

    // The PC's key as compared, the PC as the earlier summary named it, then its report's path.
    std::string_view Key() const { return std::string_view(text_, Length(0)); }
    std::string_view Pc() const
    {
        return std::string_view(text_ + Length(0) + Length(3) - (lengths_[6] != 0 ? Length(0) : 0), Length(0));
    }
    std::string_view Report() const { return std::string_view(text_ + Length(0), Length(3)); }

    // `text` holds the key, then the report's path, then the name unless `nameEndsReport`; the key
    // and the name are of one length, as a key folds each letter to one of the same length.
    void SetTexts(const char* text, std::size_t nameLength, std::size_t reportLength, bool nameEndsReport);

private:
    std::size_t Length(int at) const
    {
        return static_cast<std::size_t>(lengths_[at]) | static_cast<std::size_t>(lengths_[at + 1]) << 8 |
               static_cast<std::size_t>(lengths_[at + 2]) << 16;
    }
    // The name's and the path's lengths in three bytes each (no text that names a PC is as long as
    // 16 MiB), then whether the path ends with the name.
    std::uint8_t lengths_[7] = {};
};

struct PreviousSummary {
    std::string date;  // when it was written, ISO 8601; empty when it does not say
    // Counted from its PCs: a file's own totals may have been edited, or overflow.
    long long reports = 0;
    long long fit = 0;
    long long unknown = 0;
    // Written before PCs had names of their own: each is keyed by its report's whole path.
    bool keyedByReport = false;
    std::vector<PreviousPc> pcs;  // ordered by key, no key twice
    std::shared_ptr<const PcTexts> texts;  // what the PCs' texts are kept in, shared by every copy
};

// A PC's key: its report's path below the folder or file named on the command line, with forward
// slashes, compared as Windows compares names: without regard to case, each letter of the Latin,
// Greek and Cyrillic alphabets folded to upper case as Windows folds it ('ß' stays itself). A byte
// that is no UTF-8 becomes U+FFFD, as the JSON writes it, so a Linux name of Latin-1 bytes walked
// today has the key it is read back with next week.
std::string PcKey(std::string_view relativePath);

// How much of an earlier summary is read at a time.
inline constexpr std::size_t kPreviousBlockBytes = 1 << 20;

// Reads a summary that --json wrote. False, with the reason in `why`, for a file that is not a
// summary of ours, is truncated, comes from a newer format or is too large; nothing else of it is
// trusted either (it may have been edited by hand).
bool ReadPreviousSummary(const std::filesystem::path& path, PreviousSummary& previous, std::string& why);
// The same from a stream, a block at a time (small ones serve tests of texts that span blocks); the
// size is not checked.
bool ReadPreviousSummary(std::istream& in, PreviousSummary& previous, std::string& why,
                         std::size_t blockBytes = kPreviousBlockBytes);

// NotRead: an earlier PC whose report, or the folder holding it, could not be read today. It is
// not known to be gone, nor how it stands: it is named, as it stood then, apart from the gone.
enum class Change { New, Gone, BecameFit, BecameUnfit, BecameUnknown, Unchanged, NotRead };
inline constexpr int kChangeCount = 7;
// "new", "gone", "became fit", "became unfit", "became unknown", "unchanged", "not read"
const char* ChangeText(Change change);

struct PcChange {
    Change change = Change::New;
    // "Hard Drive Size: pass -> fail; Locale: fail -> pass", in item order; empty when none changed.
    std::string changedItems;
};

// Today's PC against its earlier self; marks the earlier one as seen. `items` and `fitness` are
// today's.
PcChange ComparePc(PreviousSummary& previous, std::string_view key, Fitness fitness,
                   const std::array<ItemVerdict, kResultItemCount>& items);
