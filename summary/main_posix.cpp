// The summary program's entry point on Linux and other POSIX systems: arguments are bytes.
#include <unistd.h>

#include <iostream>

#include "summary/summary_command_line.h"
#include "summary/summary_writers.h"

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> arguments(argv + 1, argv + argc);
    try {
        return RunSummary(arguments, std::cout, std::cerr, isatty(STDOUT_FILENO) != 0);
    } catch (const std::exception& failure) {
        std::cerr << TerminalSafe(std::string("quor-kelvra-summary: ") + failure.what()) << "\n";
        return 2;
    }
}
