#include "check/run_texts.h"

#include <string>

CString Reason(CString systemMessage, std::uint32_t error)
{
    systemMessage.erase(systemMessage.find_last_not_of(u" \t\r\n") + 1);
    return systemMessage.empty() ? Format(u"system error %d", {error}) : OneLine(systemMessage);
}

CString OutputFailureReason(Platform& platform, std::uint32_t error)
{
    // The system's own words for it ("The specified device name is invalid") would blame the name.
    if (error == kNotADiskFileError)
        return u"the name is a device's, not a file's";
    if (error == kAnotherRunError)
        return u"another run of Quor-kelvra is writing it";
    return Reason(platform.SystemErrorMessage(error), error);
}

CString ReportNotCreatedText(const CString& folder, const CString& systemMessage, std::uint32_t error)
{
    return Format(u"%s could not be created in %s: %s",
                  {kReportFileName, folder.empty() ? CString(u"the current folder") : folder,
                   Reason(systemMessage, error)});
}

CString ReportPathNotCreatedText(const CString& path, const CString& systemMessage, std::uint32_t error)
{
    return Format(u"%s could not be created: %s", {path, Reason(systemMessage, error)});
}

CString KeptOutputText(const CString& keptAs)
{
    return keptAs.empty() ? CString() : Format(u" The finished file was kept as %s.", {keptAs});
}

CString OneLine(CString value)
{
    for (char16_t& unit : value) {
        if (unit == u'\r' || unit == u'\n')
            unit = u' ';
    }
    return value;
}

CString WaitingForWmiText(const CString& query)
{
    const std::size_t from = query.rfind(u"from ");
    return Format(u"Checking this PC: waiting for WMI (%s)...",
                  {from == CString::npos ? query : query.substr(from + 5)});
}

CString RunOutcomeText(const RunResults& results, const CString& status)
{
    // Nothing was judged: the list's one line says why, and the line under it is empty.
    if (!results.ran)
        return status.empty() ? CString(kVersionErrorText) : status;
    std::size_t failing = 0;
    for (const RunResults::Item& item : results.items)
        failing += item.pass ? 0 : 1;
    const CString total = Widen(std::to_string(kResultItemCount));
    CString text = failing == 0 ? u"All " + total + u" items pass"
                                : Widen(std::to_string(failing)) + u" of " + total + u" items fail";
    if (!results.reportWritten && !status.empty())
        text += u". " + status;
    return text;
}
