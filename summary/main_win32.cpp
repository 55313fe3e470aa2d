// The summary program's entry point on Windows: wide arguments, so a path in any script reaches
// the file system intact (-municode makes wmain the entry).
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <iostream>

#include "summary/run.h"
#include "summary/writers/text_forms.h"

// cmd hands a program "reports\*.vkh" as it was typed; MinGW's start-up code expands it, as
// users of cmd expect, when this is set. A pattern that matches nothing stays as it is.
int _dowildcard = -1;

int wmain(int argc, wchar_t** argv)
{
    // The CSV's CR LF and the bytes of UTF-8 text must reach a redirection unchanged; the C
    // runtime's text mode would turn each LF into CR LF. Standard error stays text for a console.
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::filesystem::path> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(std::wstring(argv[i]));
    try {
        return RunSummary(arguments, std::cout, std::cerr, _isatty(_fileno(stdout)) != 0);
    } catch (const std::exception& failure) {
        std::cerr << TerminalSafe(std::string("quor-kelvra-summary: ") + failure.what()) << "\n";
        return 2;
    }
}
