// The summary program's entry point on Linux and other POSIX systems: arguments are bytes.
#include <iostream>

#include "summary/summary_command_line.h"

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> arguments(argv + 1, argv + argc);
    try {
        return RunSummary(arguments, std::cout, std::cerr);
    } catch (const std::exception& failure) {
        std::cerr << "quor-kelvra-summary: " << failure.what() << "\n";
        return 2;
    }
}
