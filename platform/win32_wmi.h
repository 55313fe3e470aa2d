// WMI through COM on Windows.
#pragma once

#include "platform/wmi_api.h"

class Win32WmiApi : public WmiApi {
public:
    HResult InitializeCom() override;
    HResult InitializeSecurity() override;
    HResult InitializeProcessSecurity(bool windowThread) override;
    HResult SetProxySecurity(ComHandle proxy) override;
    void UninitializeCom() override;
    HResult CreateLocator(ComHandle& locator) override;
    HResult ConnectServer(ComHandle locator, const CString& path, std::int32_t flags, ComHandle& services) override;
    HResult ExecQuery(ComHandle services, const CString& language, const CString& query,
                      std::int32_t flags, ComHandle& enumerator) override;
    HResult Next(ComHandle enumerator, std::uint32_t timeout, ComHandle& object,
                 std::uint32_t& returned) override;
    HResult Get(ComHandle object, const CString& property, WmiValue& value) override;
    HResult ChangeTypeToInt64(const WmiValue& value, std::int64_t& result) override;
    void Release(ComHandle handle) override;
};
