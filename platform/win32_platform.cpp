#include "platform/win32_platform.h"

#include <windows.h>

#include <cwchar>

#include "framework/file.h"
#include "framework/wide.h"

namespace {

static_assert(sizeof(OSVERSIONINFOEXW) == 284, "the version record is the 284-byte layout");
static_assert(sizeof(SYSTEM_INFO) == 36, "the system record is the 32-bit layout");

SystemRecord FromSystemInfo(const SYSTEM_INFO& info)
{
    SystemRecord record;
    // dwOemId shares its four bytes with wProcessorArchitecture and the reserved word after it.
    record.processorArchitecture = info.wProcessorArchitecture;
    record.reserved = info.wReserved;
    record.pageSize = info.dwPageSize;
    record.minimumApplicationAddress =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(info.lpMinimumApplicationAddress));
    record.maximumApplicationAddress =
        static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress));
    record.activeProcessorMask = static_cast<std::uint32_t>(info.dwActiveProcessorMask);
    record.numberOfProcessors = info.dwNumberOfProcessors;
    record.processorType = info.dwProcessorType;
    record.allocationGranularity = info.dwAllocationGranularity;
    record.processorLevel = info.wProcessorLevel;
    record.processorRevision = info.wProcessorRevision;
    return record;
}

class Win32OutputFile : public OutputFile {
public:
    bool Open(const CString& name) { return file_.Open(name, CFile::modeCreate | CFile::modeWrite); }
    bool Write(const std::uint8_t* bytes, std::size_t count) override
    {
        return count <= MAXDWORD && file_.Write(bytes, static_cast<DWORD>(count));
    }

private:
    CFile file_;
};

}  // namespace

bool Win32Platform::GetVersionRecord(VersionRecord& record)
{
    OSVERSIONINFOEXW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info)))
        return false;
    record.osVersionInfoSize = info.dwOSVersionInfoSize;
    record.majorVersion = info.dwMajorVersion;
    record.minorVersion = info.dwMinorVersion;
    record.buildNumber = info.dwBuildNumber;
    record.platformId = info.dwPlatformId;
    const std::size_t csdCapacity = sizeof info.szCSDVersion / sizeof info.szCSDVersion[0];
    record.csdVersion = FromWide(info.szCSDVersion, wcsnlen(info.szCSDVersion, csdCapacity));
    record.servicePackMajor = info.wServicePackMajor;
    record.servicePackMinor = info.wServicePackMinor;
    record.suiteMask = info.wSuiteMask;
    record.productType = info.wProductType;
    return true;
}

bool Win32Platform::GetNativeSystemRecord(SystemRecord& record)
{
    // Missing before Windows XP, so it is looked up at run time rather than imported.
    using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto getNativeSystemInfo = kernel ? reinterpret_cast<GetNativeSystemInfoFn>(reinterpret_cast<void*>(
                                            GetProcAddress(kernel, "GetNativeSystemInfo")))
                                      : nullptr;
    if (getNativeSystemInfo == nullptr)
        return false;
    SYSTEM_INFO info = {};
    getNativeSystemInfo(&info);
    record = FromSystemInfo(info);
    return true;
}

void Win32Platform::GetSystemRecord(SystemRecord& record)
{
    SYSTEM_INFO info = {};
    GetSystemInfo(&info);
    record = FromSystemInfo(info);
}

std::unique_ptr<OutputFile> Win32Platform::CreateReportFile(const CString& name)
{
    auto file = std::make_unique<Win32OutputFile>();
    if (!file->Open(name))
        return nullptr;
    return file;
}

Win32Platform& SystemPlatform()
{
    static Win32Platform platform;
    return platform;
}
