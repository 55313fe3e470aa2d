#include "probes/serial_ports.h"

namespace {

constexpr std::uint32_t kNameCapacity = 510;
constexpr std::uint32_t kMaxIndices = 255;

bool StartsWith(const char16_t* name, std::uint32_t length, const CString& prefix)
{
    return length >= prefix.size() && prefix.compare(0, prefix.size(), name, prefix.size()) == 0;
}

}  // namespace

std::int32_t CountSerialPorts(RegistryValueNames* key)
{
    std::int32_t count = 0;
    if (key == nullptr)
        return count;
    // Kernel device names of the standard serial driver and of Moxa's multiport boards.
    static const CString kSerial = u"\\Device\\Serial";
    static const CString kMxser = u"\\Device\\Mxser";
    char16_t name[kNameCapacity + 1];
    std::uint32_t index = 0;
    std::int32_t status;
    do {
        std::uint32_t capacity = kNameCapacity;
        status = key->EnumValueName(index, name, &capacity);
        ++index;
        if (status == 0) {
            // The capacity comes back as the name's length without its terminator.
            const std::uint32_t length = capacity < kNameCapacity ? capacity : kNameCapacity;
            if (StartsWith(name, length, kSerial))
                ++count;
            if (StartsWith(name, length, kMxser))
                ++count;
        }
    } while (status == 0 && index < kMaxIndices);
    return count;
}
