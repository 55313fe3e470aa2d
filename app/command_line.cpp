#include "app/command_line.h"

namespace {

CString Lowered(CString text)
{
    for (char16_t& unit : text) {
        if (unit >= u'A' && unit <= u'Z')
            unit = static_cast<char16_t>(unit - u'A' + u'a');
    }
    return text;
}

bool IsSwitch(const CString& argument)
{
    // "-" alone is a PATH (standard output), never a switch.
    return argument.size() > 1 && (argument[0] == u'/' || argument[0] == u'-');
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<CString>& arguments)
{
    CommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const CString& argument = arguments[i];
        if (!IsSwitch(argument)) {
            line.error = Format(u"Unexpected argument \"%s\".", {argument});
            return line;
        }
        const CString name = Lowered(argument.substr(1));
        if (name == u"silent") {
            line.silent = true;
        } else if (name == u"?") {
            line.help = true;
        } else if (name == u"report" || name == u"json") {
            // The next argument is the PATH even when it starts like a switch: a fleet tool quotes
            // what it passes, and "-" is a PATH of its own.
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                line.error = Format(u"%s needs a PATH.", {argument});
                return line;
            }
            (name == u"report" ? line.reportPath : line.jsonPath) = arguments[++i];
        } else {
            line.error = Format(u"Unknown switch \"%s\".", {argument});
            return line;
        }
    }
    return line;
}

int ExitCode(RunOutcome outcome)
{
    switch (outcome) {
    case RunOutcome::AllPass: return 0;
    case RunOutcome::SomeFail: return 1;
    case RunOutcome::CheckCouldNotRun: return 2;
    case RunOutcome::OutputIncomplete: return 3;
    case RunOutcome::BadCommandLine: return 87;
    // ERROR_TIMEOUT, as 87 is ERROR_INVALID_PARAMETER: fleet consoles show its system text ("This
    // operation returned because the timeout period expired"), and none takes it for success or
    // retries on it (they do on 0, 1641, 3010, and Configuration Manager on 4, 5 and 8).
    case RunOutcome::WmiTimedOut: return 1460;
    }
    return 87;
}
