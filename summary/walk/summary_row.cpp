#include "summary/walk/summary_row.h"

#include <vector>

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

// The status of a drive size WMI gave but that did not convert, "Read Failed [-2147352571]": an
// error as a WMI status is, not a size. Empty when the value is not that.
std::string_view ReadFailedOf(std::string_view value)
{
    constexpr std::string_view prefix = "Read Failed [";
    if (value.size() < prefix.size() + 2 || value.compare(0, prefix.size(), prefix) != 0 || value.back() != ']')
        return std::string_view();
    const std::string_view status = value.substr(prefix.size(), value.size() - prefix.size() - 1);
    const std::size_t digits = status.front() == '-' ? 1 : 0;
    if (digits == status.size() ||
        status.find_first_not_of("0123456789", digits) != std::string_view::npos)
        return std::string_view();
    return status;
}

std::string_view ErrorOf(std::size_t item, std::string_view value)
{
    return item == kItemHardDrive && value.rfind("Read", 0) == 0 ? ReadFailedOf(value) : WmiErrorOf(value);
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
            else if (!ErrorOf(item, items[item].value).empty())
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
    return ErrorOf(item, std::string_view(text_).substr(ends_[item], ends_[item + 1] - ends_[item]));
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
    const unsigned judged = ~static_cast<unsigned>(notJudged_) & ((1u << kResultItemCount) - 1);
    return __builtin_popcount(judged) - __builtin_popcount(present_ & pass_ & judged);
}

int SummaryRow::JudgedOnErrorCount() const
{
    return __builtin_popcount(error_ & ~static_cast<unsigned>(notJudged_));
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

namespace {

// The writer puts one blank after the colon; only that one is the layout's, any further blank
// belongs to the value.
std::u16string_view WithoutLayoutBlank(std::u16string_view value)
{
    return !value.empty() && value.front() == u' ' ? value.substr(1) : value;
}

std::optional<SummaryRow> RowOfItems(const std::string& path, const std::array<std::u16string_view, kResultItemCount>& values,
                                     const std::array<std::uint8_t, kResultItemCount>& state, std::int64_t written)
{
    // Every value in one text, then views into it: one allocation for the row, none for its items.
    thread_local std::string utf8;
    utf8.clear();
    std::array<std::size_t, kResultItemCount + 1> ends{};
    bool any = false;
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        if (state[item] != 0) {
            any = true;
            AppendUtf8(utf8, WithoutLayoutBlank(values[item]));
        }
        ends[item + 1] = utf8.size();
    }
    if (!any)
        return std::nullopt;
    std::array<SummaryItem, kResultItemCount> items{};
    for (std::size_t item = 0; item < kResultItemCount; ++item) {
        if (state[item] != 0)
            items[item] = {true, std::string_view(utf8).substr(ends[item], ends[item + 1] - ends[item]), state[item] == 2};
    }
    return SummaryRow(path, items, written);
}

}  // namespace

std::optional<SummaryRow> RowFromReport(const std::string& path, const ImportedReport& report, std::int64_t written)
{
    std::array<std::u16string_view, kResultItemCount> values{};
    std::array<std::uint8_t, kResultItemCount> state{};
    for (std::size_t item = 0; item < report.rows.size(); ++item) {
        if (report.rows[item].present) {
            values[item] = report.rows[item].value;
            state[item] = report.rows[item].pass ? 2 : 1;
        }
    }
    return RowOfItems(path, values, state, written);
}

std::optional<SummaryRow> RowFromText(const std::string& path, std::u16string_view text, std::int64_t written)
{
    struct Found {
        std::array<std::u16string_view, kResultItemCount> values{};
        std::array<std::uint8_t, kResultItemCount> state{};  // 0 not there, 1 failing, 2 passing
    } found;
    ForEachResultLine(
        text,
        [](void* context, std::size_t item, std::u16string_view value, bool pass) {
            Found& into = *static_cast<Found*>(context);
            into.values[item] = value;
            into.state[item] = pass ? 2 : 1;
        },
        &found);
    return RowOfItems(path, found.values, found.state, written);
}

ReadResult ReadReportFile(const fs::path& path)
{
    return ReadReportFile(path, LookAt(path, true));
}

ReadResult ReadReportFile(const fs::path& path, const FileFacts& facts)
{
    ReadResult result;
    if (!facts.exists) {
        result.reason = "cannot be read: " + (facts.error.empty() ? std::string("no such file") : facts.error);
        return result;
    }
    if (!facts.error.empty()) {
        result.reason = "cannot be read: " + facts.error;
        return result;
    }
    // Never opened: a FIFO waits for a writer that may never come.
    if (!facts.regular) {
        result.reason = "cannot be read: not a regular file";
        return result;
    }
    // Each core reads report after report into the same buffers: a site's reports are read with a
    // few allocations each, the row's own among them.
    thread_local std::vector<std::uint8_t> bytes;
    thread_local CString text;
    std::string why;
    if (!ReadRegularFile(path, static_cast<std::size_t>(kMaxReportBytes), bytes, why, result.opened)) {
        result.reason = "cannot be read: " + why;
        return result;
    }
    if (bytes.size() > static_cast<std::size_t>(kMaxReportBytes)) {
        result.reason = "over 1 MiB, too large to be a report";
        return result;
    }
    ReportTextFromBytes(bytes.data(), bytes.size(), text);
    result.row = RowFromText(DisplayPath(path), text, result.opened.written);
    if (!result.row)
        result.reason = "holds no known report label";
    return result;
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

}  // namespace

bool HasReportName(const fs::path& path)
{
    return EndsWithReportSuffix(path.filename().native());
}

