#include "summary/common/parallel.h"

#include <windows.h>

#include <atomic>
#include <utility>
#include <vector>

#include "framework/owners.h"

namespace {

struct Shared {
    std::atomic<std::size_t> next{0};
    std::size_t count = 0;
    const std::function<void(std::size_t)>* work = nullptr;
};

void Take(Shared& shared)
{
    for (std::size_t index; (index = shared.next++) < shared.count;)
        (*shared.work)(index);
}

DWORD WINAPI Helper(void* param)
{
    Take(*static_cast<Shared*>(param));
    return 0;
}

}  // namespace

void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work)
{
    Shared shared;
    shared.count = count;
    shared.work = &work;
    SYSTEM_INFO system = {};
    GetSystemInfo(&system);
    std::vector<UniqueHandle> helpers;
    for (DWORD helper = 1; helper < system.dwNumberOfProcessors && helper < count; ++helper) {
        // No thread to be had: the work is done with those there are.
        UniqueHandle thread(CreateThread(nullptr, 0, Helper, &shared, 0, nullptr));
        if (thread)
            helpers.push_back(std::move(thread));
    }
    Take(shared);
    for (const UniqueHandle& thread : helpers)
        WaitForSingleObject(thread.Get(), INFINITE);
}
