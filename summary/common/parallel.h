// Work shared out over the machine's cores. Reading and parsing reports is most of a summary's
// time, and each report is read alone, so each core takes the next report there is.
#pragma once

#include <cstddef>
#include <functional>

// Calls `work` once for every index below `count`, on as many threads as there are cores (this one
// among them), and returns when every call has returned. `work` must not throw.
void ForEachInParallel(std::size_t count, const std::function<void(std::size_t)>& work);
