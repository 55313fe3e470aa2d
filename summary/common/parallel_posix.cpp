#include "summary/common/parallel.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work)
{
    std::atomic<std::size_t> next{0};
    const auto take = [&] {
        for (std::size_t index; (index = next++) < count;)
            work(index);
    };
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::thread> helpers;
    for (unsigned helper = 1; helper < cores && helper < count; ++helper) {
        try {
            helpers.emplace_back(take);
        } catch (...) {
            break;  // no thread to be had: the work is done with those there are
        }
    }
    take();
    for (std::thread& helper : helpers)
        helper.join();
}
