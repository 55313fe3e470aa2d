#include "text/sorted_list_order.h"

#include <algorithm>
#include <numeric>
#include <string_view>

namespace {

// All keys in one buffer: a report of a quarter of a million lines would otherwise make as many
// small allocations again.
struct KeyTable {
    std::string bytes;
    std::vector<std::size_t> ends;

    std::string_view Key(std::size_t index) const
    {
        const std::size_t begin = index == 0 ? 0 : ends[index - 1];
        return std::string_view(bytes).substr(begin, ends[index] - begin);
    }
};

bool MakeKeys(const std::vector<CString>& lines, const SortKeyMaker& makeKey, KeyTable& table)
{
    table.ends.reserve(lines.size());
    std::string key;
    for (const CString& line : lines) {
        if (!makeKey(line, key))
            return false;
        table.bytes += key;
        table.ends.push_back(table.bytes.size());
    }
    return true;
}

}  // namespace

std::vector<std::size_t> SortedListOrder(const std::vector<CString>& lines, const SortKeyMaker& makeKey,
                                         const LineComparison& compare)
{
    std::vector<std::size_t> order(lines.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    auto byComparison = [&](std::size_t a, std::size_t b) { return compare(lines[a], lines[b]) < 0; };

    KeyTable keys;
    if (!MakeKeys(lines, makeKey, keys)) {
        std::stable_sort(order.begin(), order.end(), byComparison);
        return order;
    }
    // std::string_view compares its bytes as unsigned, as sort keys are meant to be compared.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys.Key(a) < keys.Key(b); });
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (compare(lines[order[i - 1]], lines[order[i]]) > 0) {
            std::stable_sort(order.begin(), order.end(), byComparison);
            break;
        }
    }
    return order;
}
