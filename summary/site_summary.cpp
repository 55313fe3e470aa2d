#include "summary/site_summary.h"

#include <algorithm>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

int SummaryRow::FailedCount() const
{
    return static_cast<int>(std::count_if(items.begin(), items.end(),
                                          [](const SummaryItem& item) { return !item.present || !item.pass; }));
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

std::optional<SummaryRow> RowFromReport(const std::string& path, const ImportedReport& report)
{
    SummaryRow row;
    row.path = path;
    bool any = false;
    for (std::size_t item = 0; item < report.rows.size(); ++item) {
        const ImportedRow& imported = report.rows[item];
        if (!imported.present)
            continue;
        any = true;
        // The writer puts one blank after the colon; only that one is the layout's, any further
        // blank belongs to the value.
        const bool blank = !imported.value.empty() && imported.value.front() == u' ';
        row.items[item] = {true, ToUtf8(blank ? imported.value.substr(1) : imported.value), imported.pass};
    }
    if (!any)
        return std::nullopt;
    return row;
}

ReadResult ReadReportFile(const fs::path& path)
{
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::exists(status))
        return {std::nullopt, "cannot be read: " + (error ? error.message() : std::string("no such file"))};
    if (!fs::is_regular_file(status))
        return {std::nullopt, "cannot be read: not a regular file"};
    const std::uintmax_t size = fs::file_size(path, error);
    if (error)
        return {std::nullopt, "cannot be read: " + error.message()};
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

    std::optional<SummaryRow> row = RowFromReport(DisplayPath(path), ParseReport(ReportTextFromBytes(bytes)));
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

void AddFile(const fs::path& path, SiteSummary& summary)
{
    ReadResult result = ReadReportFile(path);
    if (result.row)
        summary.rows.push_back(std::move(*result.row));
    else
        summary.skipped.push_back({DisplayPath(path), std::move(result.reason)});
}

void AddFolder(const fs::path& folder, SiteSummary& summary)
{
    std::error_code error;
    fs::directory_iterator entry(folder, error);
    const fs::directory_iterator end;
    while (!error && entry != end) {
        std::error_code typeError;
        const bool link = entry->is_symlink(typeError);
        if (!link && entry->is_directory(typeError))
            AddFolder(entry->path(), summary);
        else if (HasReportName(entry->path()))
            AddFile(entry->path(), summary);
        entry.increment(error);
    }
    if (error)
        summary.skipped.push_back({DisplayPath(folder), "folder cannot be read: " + error.message()});
}

}  // namespace

bool HasReportName(const fs::path& path)
{
    return EndsWithReportSuffix(path.filename().native());
}

SiteSummary SummariseReports(const std::vector<fs::path>& paths)
{
    SiteSummary summary;
    for (const fs::path& path : paths) {
        std::error_code error;
        if (fs::is_directory(path, error))
            AddFolder(path, summary);
        else
            AddFile(path, summary);
    }
    // Folder order is whatever the file system gives; sorting makes two runs on the same tree,
    // on either system, write the same table.
    std::stable_sort(summary.rows.begin(), summary.rows.end(),
                     [](const SummaryRow& a, const SummaryRow& b) { return a.path < b.path; });
    std::stable_sort(summary.skipped.begin(), summary.skipped.end(),
                     [](const SkippedFile& a, const SkippedFile& b) { return a.path < b.path; });
    return summary;
}

int SummaryExitCode(const SiteSummary& summary)
{
    if (summary.rows.empty())
        return 2;
    return summary.skipped.empty() ? 0 : 1;
}
