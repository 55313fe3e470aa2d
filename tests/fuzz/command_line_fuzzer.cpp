// Feeds any arguments to the command-line parser, as a fleet tool might pass them: the bytes are
// UTF-16 code units, and a NUL unit separates two arguments.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<CString> arguments(1);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == u'\0')
            arguments.emplace_back();
        else
            arguments.back().push_back(unit);
    }
    const CommandLine line = ParseCommandLine(arguments);
    // A PATH is always one of the arguments, whole; a right command line names no error.
    for (const auto* path : {&line.reportPath, &line.jsonPath}) {
        if (!*path)
            continue;
        bool found = false;
        for (const CString& argument : arguments)
            found = found || argument == **path;
        if (!found || (*path)->empty())
            __builtin_trap();
    }
    return 0;
}
