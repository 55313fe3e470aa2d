// What changed at a site since an earlier summary: the earlier one read back from its JSON, and
// each PC of today's compared with its earlier self.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <istream>
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

// A PC as an earlier summary held it: only what a comparison needs.
struct PreviousPc {
    // The PC's key as compared, the PC as the earlier summary named it, then its report's path.
    std::string text;
    std::uint32_t keyLength = 0;
    std::uint32_t pcLength = 0;
    Fitness fitness = Fitness::Unfit;
    std::array<ItemVerdict, kResultItemCount> items{};
    bool seen = false;  // found again today

    std::string_view Key() const { return std::string_view(text).substr(0, keyLength); }
    std::string_view Pc() const { return std::string_view(text).substr(keyLength, pcLength); }
    std::string_view Report() const { return std::string_view(text).substr(keyLength + pcLength); }
};

struct PreviousSummary {
    std::string date;  // when it was written, ISO 8601; empty when it does not say
    long long reports = 0;
    long long fit = 0;
    long long unknown = 0;
    std::vector<PreviousPc> pcs;  // ordered by key
};

// A PC's key: its report's path below the folder or file named on the command line, with forward
// slashes, compared as Windows compares names (without regard to case).
std::string PcKey(std::string_view relativePath);

// Reads a summary that --json wrote. False, with the reason in `why`, for a file that is not a
// summary of ours, is truncated, comes from a newer format or is too large; nothing else of it is
// trusted either (it may have been edited by hand).
bool ReadPreviousSummary(const std::filesystem::path& path, PreviousSummary& previous, std::string& why);
// The same from a stream; the size is not checked.
bool ReadPreviousSummary(std::istream& in, PreviousSummary& previous, std::string& why);

enum class Change { New, Gone, BecameFit, BecameUnfit, BecameUnknown, Unchanged };
inline constexpr int kChangeCount = 6;
// "new", "gone", "became fit", "became unfit", "became unknown", "unchanged"
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
