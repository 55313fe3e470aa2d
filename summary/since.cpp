#include "summary/since.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <system_error>

#include <nlohmann/json.hpp>

namespace {

// A path longer than this is no path of a report (Windows allows 32,767 characters).
constexpr std::size_t kMaxPathBytes = 1 << 17;
constexpr std::size_t kMaxPreviousPcs = 50000000;

int ItemOfLabel(const std::string& label)
{
    for (std::size_t item = 0; item < kResultRows.size(); ++item) {
        if (ToUtf8(kResultRows[item].label) == label)
            return static_cast<int>(item);
    }
    return -1;
}

// Reads the summary as it streams by, keeping only what a comparison needs: a summary of a million
// PCs is a gigabyte of text, and its PCs take about a hundred bytes each here.
class SummaryReader : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit SummaryReader(PreviousSummary& previous) : previous_(previous) {}

    std::string Problem() const
    {
        if (!problem_.empty())
            return problem_;
        if (!document_ || !reports_ || !totals_)
            return "is not a summary written by quor-kelvra-summary --json";
        return std::string();
    }

    bool null() override { return Value(Scalar{}); }
    bool boolean(bool value) override
    {
        Scalar scalar;
        scalar.boolean = value;
        return Value(scalar);
    }
    bool number_integer(number_integer_t value) override
    {
        Scalar scalar;
        scalar.number = value;
        return Value(scalar);
    }
    bool number_unsigned(number_unsigned_t value) override
    {
        Scalar scalar;
        scalar.number = value > static_cast<number_unsigned_t>(INT64_MAX) ? INT64_MAX : static_cast<long long>(value);
        return Value(scalar);
    }
    bool number_float(number_float_t, const string_t&) override { return Value(Scalar{}); }
    bool string(string_t& value) override
    {
        if (value.size() > kMaxPathBytes)
            return Fail("holds a text of " + std::to_string(value.size()) + " bytes, more than any report's path");
        Scalar scalar;
        scalar.text = &value;
        return Value(scalar);
    }
    bool binary(binary_t&) override { return Value(Scalar{}); }

    bool start_object(std::size_t) override
    {
        const At at = Inner();
        if (stack_.empty()) {
            document_ = true;
            return Push(At::Document);
        }
        if (at == At::Document && key_ == "totals") {
            totals_ = true;
            return Push(At::Totals);
        }
        if (at == At::Reports) {
            report_ = Report();
            return Push(At::Report);
        }
        if (at == At::Items) {
            item_ = Item();
            return Push(At::Item);
        }
        return Push(At::Other);
    }
    bool end_object() override
    {
        const At at = Inner();
        stack_.pop_back();
        if (at == At::Item && item_.label >= 0)
            report_.items[static_cast<std::size_t>(item_.label)] =
                !item_.pass ? ItemVerdict::Missing
                            : *item_.pass ? ItemVerdict::Pass : item_.error ? ItemVerdict::Unknown : ItemVerdict::Fail;
        if (at == At::Report)
            return AddReport();
        return true;
    }
    bool start_array(std::size_t) override
    {
        const At at = Inner();
        if (at == At::Document && key_ == "reports") {
            reports_ = true;
            return Push(At::Reports);
        }
        if (at == At::Report && key_ == "items")
            return Push(At::Items);
        return Push(At::Other);
    }
    bool end_array() override
    {
        stack_.pop_back();
        return true;
    }
    bool key(string_t& name) override
    {
        key_ = name;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) override
    {
        if (problem_.empty())
            problem_ = "is truncated or no JSON (at byte " + std::to_string(position) + ")";
        return false;
    }

private:
    enum class At { Document, Reports, Report, Items, Item, Totals, Other };
    struct Scalar {
        std::optional<bool> boolean;
        std::optional<long long> number;
        const std::string* text = nullptr;
    };
    struct Report {
        std::string path;
        std::optional<std::string> pc;
        Fitness fitness = Fitness::Unfit;
        std::array<ItemVerdict, kResultItemCount> items{};
    };
    struct Item {
        int label = -1;
        std::optional<bool> pass;
        bool error = false;
    };

    At Inner() const { return stack_.empty() ? At::Other : stack_.back(); }
    bool Push(At at)
    {
        // Deeper than any summary of ours: no more is read of it.
        if (stack_.size() > 16)
            return Fail("is not a summary written by quor-kelvra-summary --json");
        stack_.push_back(at);
        return true;
    }
    bool Fail(std::string why)
    {
        problem_ = std::move(why);
        return false;
    }

    bool Value(const Scalar& value)
    {
        switch (Inner()) {
        case At::Document:
            if (key_ == "format" && value.number && *value.number > kSummaryFormat)
                return Fail("comes from a newer quor-kelvra-summary (format " + std::to_string(*value.number) + ")");
            if (key_ == "date" && value.text)
                previous_.date = *value.text;
            break;
        case At::Totals:
            if (key_ == "reports" && value.number)
                previous_.reports = *value.number;
            if (key_ == "fit" && value.number)
                previous_.fit = *value.number;
            if (key_ == "unknown" && value.number)
                previous_.unknown = *value.number;
            break;
        case At::Report:
            if (key_ == "report" && value.text)
                report_.path = *value.text;
            if (key_ == "pc" && value.text)
                report_.pc = *value.text;
            if (key_ == "fit")
                report_.fitness = !value.boolean ? Fitness::Unknown : *value.boolean ? Fitness::Fit : Fitness::Unfit;
            break;
        case At::Item:
            if (key_ == "label" && value.text)
                item_.label = ItemOfLabel(*value.text);
            if (key_ == "pass")
                item_.pass = value.boolean;
            if (key_ == "error")
                item_.error = true;
            break;
        default:
            break;
        }
        return true;
    }

    bool AddReport()
    {
        if (previous_.pcs.size() >= kMaxPreviousPcs)
            return Fail("holds more PCs than any site");
        PreviousPc pc;
        // A summary written before PCs had keys names each by its report's path alone.
        const std::string& named = report_.pc ? *report_.pc : report_.path;
        const std::string key = PcKey(named);
        pc.text = key + named + report_.path;
        pc.keyLength = static_cast<std::uint32_t>(key.size());
        pc.pcLength = static_cast<std::uint32_t>(named.size());
        pc.fitness = report_.fitness;
        pc.items = report_.items;
        previous_.pcs.push_back(std::move(pc));
        return true;
    }

    PreviousSummary& previous_;
    std::vector<At> stack_;
    std::string key_;
    Report report_;
    Item item_;
    bool document_ = false;
    bool reports_ = false;
    bool totals_ = false;
    std::string problem_;
};

}  // namespace

const char* VerdictWord(ItemVerdict verdict)
{
    switch (verdict) {
    case ItemVerdict::Missing: return "missing";
    case ItemVerdict::Pass: return "pass";
    case ItemVerdict::Fail: return "fail";
    case ItemVerdict::Unknown: return "unknown";
    }
    return "missing";
}

const char* ChangeText(Change change)
{
    switch (change) {
    case Change::New: return "new";
    case Change::Gone: return "gone";
    case Change::BecameFit: return "became fit";
    case Change::BecameUnfit: return "became unfit";
    case Change::BecameUnknown: return "became unknown";
    case Change::Unchanged: return "unchanged";
    }
    return "unchanged";
}

std::string PcKey(std::string_view relativePath)
{
    std::string key(relativePath);
    for (char& c : key) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c == '\\')
            c = '/';
    }
    return key;
}

bool ReadPreviousSummary(const std::filesystem::path& path, PreviousSummary& previous, std::string& why)
{
    previous = PreviousSummary();
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) {
        why = "cannot be read: " + error.message();
        return false;
    }
    if (size > kMaxPreviousBytes) {
        why = "is too large to be a summary (" + std::to_string(size) + " bytes)";
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        why = "cannot be read: the file could not be opened";
        return false;
    }
    return ReadPreviousSummary(file, previous, why);
}

bool ReadPreviousSummary(std::istream& in, PreviousSummary& previous, std::string& why)
{
    previous = PreviousSummary();
    SummaryReader reader(previous);
    nlohmann::json::sax_parse(in, &reader);
    why = reader.Problem();
    if (!why.empty())
        return false;
    std::stable_sort(previous.pcs.begin(), previous.pcs.end(),
                     [](const PreviousPc& a, const PreviousPc& b) { return a.Key() < b.Key(); });
    return true;
}

PcChange ComparePc(PreviousSummary& previous, std::string_view key, Fitness fitness,
                   const std::array<ItemVerdict, kResultItemCount>& items)
{
    PcChange change;
    const std::string wanted = PcKey(key);
    auto found = std::lower_bound(previous.pcs.begin(), previous.pcs.end(), wanted,
                                  [](const PreviousPc& pc, const std::string& k) { return pc.Key() < k; });
    // A PC named twice in the earlier summary is compared with the first not yet seen.
    while (found != previous.pcs.end() && found->Key() == wanted && found->seen)
        ++found;
    if (found == previous.pcs.end() || found->Key() != wanted)
        return change;
    found->seen = true;
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        if (found->items[item] == items[item])
            continue;
        if (!change.changedItems.empty())
            change.changedItems += "; ";
        change.changedItems += ToUtf8(kResultRows[item].label) + ": " + VerdictWord(found->items[item]) + " -> " +
                               VerdictWord(items[item]);
    }
    change.change = found->fitness == fitness       ? Change::Unchanged
                    : fitness == Fitness::Fit        ? Change::BecameFit
                    : fitness == Fitness::Unfit      ? Change::BecameUnfit
                                                     : Change::BecameUnknown;
    return change;
}
