// The eleven built-in compatibility rules. Each is a pure test of numbers and texts the probes have
// already delivered; display texts with separators or units are never parsed here.
#pragma once

#include <cstdint>

#include "framework/text.h"

bool PassesOperatingSystem(bool supportedOs);
bool PassesManufacturer(const CString& manufacturer, const CString& model);
bool PassesProcessorSpeed(std::uint32_t processorCount, double speedGhz);
bool PassesBiosYear(std::int32_t biosYear);
bool PassesLocale(const CString& locale);
bool PassesUserName(const CString& userName);
bool PassesTotalMemory(std::int32_t totalMemoryMb);
bool PassesAvailableMemory(std::int32_t availableMemoryMb);
bool PassesHardDrive(std::uint64_t sizeGb, bool solidState);
bool PassesSerialPorts(std::int32_t serialPortCount);
