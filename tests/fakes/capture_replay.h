// A capture (/capture) read back into the fake platform, so that the run a PC made can be made
// again here: every answer as the PC gave it, and the report that run wrote.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/capture.h"
#include "tests/fakes/fake_platform.h"

struct Replay {
    std::vector<CString> reportLines;  // as the run that made the capture wrote them
    bool timedOut = false;             // a WMI task missed its deadline there
    std::string error;                 // what in the capture could not be read; empty when all was
};

namespace capture_replay {

// The words of one line: bare words, and quoted texts with \", \\ and \uXXXX undone.
inline bool Words(const std::string& line, std::vector<std::string>& words, std::vector<CString>& texts)
{
    for (std::size_t i = 0; i < line.size();) {
        if (line[i] == ' ') {
            ++i;
            continue;
        }
        if (line[i] != '"') {
            const std::size_t end = line.find(' ', i);
            words.push_back(line.substr(i, end == std::string::npos ? std::string::npos : end - i));
            i = end == std::string::npos ? line.size() : end;
            continue;
        }
        CString text;
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] != '\\') {
                text.push_back(static_cast<char16_t>(static_cast<unsigned char>(line[i])));
            } else if (i + 1 < line.size() && line[i + 1] == 'u' && i + 5 < line.size()) {
                text.push_back(static_cast<char16_t>(std::stoul(line.substr(i + 2, 4), nullptr, 16)));
                i += 5;
            } else if (i + 1 < line.size()) {
                text.push_back(static_cast<char16_t>(line[++i]));
            }
        }
        if (i == line.size())
            return false;
        ++i;
        words.push_back("\"");
        texts.push_back(text);
    }
    return true;
}

inline std::uint64_t Unsigned(const std::string& word)
{
    return std::stoull(word, nullptr, 0);
}

inline void Fields(const std::vector<std::string>& w, std::size_t at, SystemRecord& r)
{
    r.processorArchitecture = static_cast<std::uint16_t>(Unsigned(w.at(at)));
    r.reserved = static_cast<std::uint16_t>(Unsigned(w.at(at + 1)));
    r.pageSize = static_cast<std::uint32_t>(Unsigned(w.at(at + 2)));
    r.minimumApplicationAddress = static_cast<std::uint32_t>(Unsigned(w.at(at + 3)));
    r.maximumApplicationAddress = static_cast<std::uint32_t>(Unsigned(w.at(at + 4)));
    r.activeProcessorMask = static_cast<std::uint32_t>(Unsigned(w.at(at + 5)));
    r.numberOfProcessors = static_cast<std::uint32_t>(Unsigned(w.at(at + 6)));
    r.processorType = static_cast<std::uint32_t>(Unsigned(w.at(at + 7)));
    r.allocationGranularity = static_cast<std::uint32_t>(Unsigned(w.at(at + 8)));
    r.processorLevel = static_cast<std::uint16_t>(Unsigned(w.at(at + 9)));
    r.processorRevision = static_cast<std::uint16_t>(Unsigned(w.at(at + 10)));
}

}  // namespace capture_replay

// Shapes `platform` as the captured PC answered. The fake's own defaults stand for what the run
// did not ask.
inline Replay ReplayCapture(const std::string& capture, FakePlatform& platform)
{
    using namespace capture_replay;
    Replay replay;
    std::istringstream in(capture);
    std::string line;
    if (!std::getline(in, line) || line != kCaptureHeader) {
        replay.error = "not a capture: " + line;
        return replay;
    }
    FakeWmi& wmi = platform.wmi;
    wmi.instances.clear();
    platform.registryNames.clear();
    CString query;
    for (int number = 2; std::getline(in, line); ++number) {
        std::vector<std::string> w;
        std::vector<CString> t;
        if (!Words(line, w, t) || w.empty()) {
            replay.error = "line " + std::to_string(number) + " cannot be read: " + line;
            return replay;
        }
        try {
            const std::string& kind = w[0];
            if (kind == "version" && w.at(1) == "fails") {
                platform.versionSucceeds = false;
            } else if (kind == "version") {
                platform.version = {static_cast<std::uint32_t>(Unsigned(w.at(1))), static_cast<std::uint32_t>(Unsigned(w.at(2))),
                                    static_cast<std::uint32_t>(Unsigned(w.at(3))), static_cast<std::uint32_t>(Unsigned(w.at(4))),
                                    static_cast<std::uint32_t>(Unsigned(w.at(5))), t.at(0),
                                    static_cast<std::uint16_t>(Unsigned(w.at(6))), static_cast<std::uint8_t>(Unsigned(w.at(7)))};
            } else if (kind == "native-system") {
                platform.hasNativeSystemInfo = w.at(1) != "absent";
                if (platform.hasNativeSystemInfo)
                    Fields(w, 1, platform.nativeSystem);
            } else if (kind == "system") {
                Fields(w, 1, platform.system);
            } else if (kind == "native-machine") {
                platform.nativeMachine.reset();
                if (w.at(1) != "absent")
                    platform.nativeMachine = static_cast<std::uint16_t>(Unsigned(w.at(1)));
            } else if (kind == "windows-folder") {
                platform.windowsFolder = t.at(0);
            } else if (kind == "seek-penalty") {
                platform.seekPenalties[t.at(0)] = w.at(2) == "none"     ? SeekPenalty::None
                                                  : w.at(2) == "incurs" ? SeekPenalty::Incurs
                                                                        : SeekPenalty::NoAnswer;
            } else if (kind == "metric") {
                if (w.at(1) == "89")
                    platform.serverR2Metric = static_cast<int>(std::stol(w.at(2)));
            } else if (kind == "product-info") {
                platform.hasProductInfo = w.at(1) != "fails";
                if (platform.hasProductInfo)
                    platform.productType = static_cast<std::uint32_t>(Unsigned(w.at(1)));
            } else if (kind == "key") {
                if (w.back() == "present")
                    platform.existingKeys.push_back(t.at(0));
            } else if (kind == "serial-map") {
                platform.registryKeyExists = false;
            } else if (kind == "serial") {
                platform.registryNames.push_back(t.at(0));
            } else if (kind == "memory") {
                platform.totalPhysicalBytes = Unsigned(w.at(1));
                platform.availablePhysicalBytes = Unsigned(w.at(2));
            } else if (kind == "locale") {
                platform.localeLanguage = t.at(0);
            } else if (kind == "step") {
                const std::string& step = w.at(2);
                const FakeWmi::Step which = step == "com"        ? FakeWmi::Step::InitializeCom
                                            : step == "security" ? FakeWmi::Step::Security
                                            : step == "locator"  ? FakeWmi::Step::CreateLocator
                                                                 : FakeWmi::Step::Connect;
                wmi.failures.push_back({static_cast<int>(std::stol(w.at(1))), which,
                                        static_cast<HResult>(Unsigned(w.at(3)))});
            } else if (kind == "query") {
                query = t.at(0);
                const auto status = static_cast<HResult>(Unsigned(w.at(2)));
                if (Failed(status))
                    wmi.failingQueries[query] = status;
                else
                    wmi.instances[query].clear();  // asked again: the last answer stands
            } else if (kind == "instance") {
                wmi.instances[query].emplace_back();
            } else if (kind == "next-fails") {
                wmi.failures.push_back({static_cast<int>(std::stol(w.at(1))), FakeWmi::Step::Next,
                                        static_cast<HResult>(Unsigned(w.at(2)))});
            } else if (kind == "get") {
                const auto status = static_cast<HResult>(Unsigned(w.at(2)));
                constexpr HResult kNotFound = static_cast<HResult>(0x80041002);
                if (status == 0 && !wmi.instances[query].empty()) {
                    WmiValue value;
                    value.variantType = static_cast<std::uint16_t>(Unsigned(w.at(4)));
                    value.integer = std::stoll(w.at(5));
                    value.real = std::stod(w.at(6));
                    value.text = t.at(1);
                    wmi.instances[query].back()[t.at(0)] = value;
                } else if (Failed(status) && status != kNotFound) {
                    wmi.failingGets[t.at(0)] = status;
                }
            } else if (kind == "task") {
                // Its time is the PC's; what the run makes of it is whether it missed its deadline.
                if (w.at(2) == "timed-out") {
                    wmi.hang = FakeWmi::Hang{static_cast<int>(std::stol(w.at(1))), FakeWmi::Step::ExecQuery};
                    replay.timedOut = true;
                }
            } else if (kind == "report") {
                replay.reportLines.push_back(t.at(0));
            } else {
                replay.error = "line " + std::to_string(number) + " is of no known kind: " + line;
                return replay;
            }
        } catch (const std::exception&) {
            replay.error = "line " + std::to_string(number) + " lacks a field: " + line;
            return replay;
        }
    }
    return replay;
}
