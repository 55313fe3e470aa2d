// Counts the serial ports of the two driver families in the registry's serial-device map.
#pragma once

#include <cstdint>

#include "platform/platform.h"

inline constexpr const char16_t* kSerialCommKey = u"Hardware\\DeviceMap\\SerialComm";

// Enumerates the value names of an open key (null: the key could not be opened, count 0). Stops at
// the first index that does not succeed and after 255 indices.
std::int32_t CountSerialPorts(RegistryValueNames* key);
