#include "report/report_writer.h"

std::vector<std::uint8_t> EncodeReportLine(const CString& line)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve((line.size() + 2) * 2);
    auto put = [&bytes](char16_t unit) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    for (char16_t unit : line)
        put(unit);
    put(u'\r');
    put(u'\n');
    return bytes;
}

bool WriteReportLine(OutputFile* file, CString line)
{
    if (file == nullptr)
        return true;
    const std::vector<std::uint8_t> bytes = EncodeReportLine(line);
    return file->Write(bytes.data(), bytes.size());
}
