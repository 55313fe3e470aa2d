// The summary program's entry point on Linux and other POSIX systems: arguments are bytes.
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <iostream>

#include "summary/run.h"
#include "summary/writers/text_forms.h"

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // Large blocks (the table of identities met, a folder's listing) are mapped and given back when
    // freed. Left to itself glibc raises its threshold after the first such block is freed and
    // carves the next ones from the heap, where what is freed stays resident: a million reports
    // kept 58 MB resident for 38 MB in use.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
    std::vector<std::filesystem::path> arguments(argv + 1, argv + argc);
    try {
        return RunSummary(arguments, std::cout, std::cerr, isatty(STDOUT_FILENO) != 0);
    } catch (const std::exception& failure) {
        std::cerr << TerminalSafe(std::string("quor-kelvra-summary: ") + failure.what()) << "\n";
        return 2;
    }
}
