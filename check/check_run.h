// The check run: the one pass over the computer that calls every probe in a fixed order, shows and
// lists each value, judges the eleven items and writes the report file.
//
// It is portable: it reaches Windows only through Platform and the dialog only through
// DialogSurface, so its order and failure paths are tested natively against fakes. The main dialog
// derives from it, so the probes and the value fields are members of the dialog.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/text.h"
#include "platform/platform.h"
#include "platform/records.h"

using ImageHandle = std::uintptr_t;

// The three mark images; 0 for one that did not load.
struct MarkImages {
    ImageHandle pass = 0;
    ImageHandle fail = 0;
    ImageHandle blank = 0;
};

// The four operations the run needs of the dialog.
class DialogSurface {
public:
    virtual ~DialogSurface() = default;
    virtual void SetControlText(int controlId, const CString& text) = 0;
    // The list keeps its entries sorted itself.
    virtual void AddListString(const CString& text) = 0;
    // Empties the list and fills it with these lines in its own sorted order.
    virtual void ReplaceList(const std::vector<CString>& lines) = 0;
    virtual void SetMarkImage(int controlId, ImageHandle image) = 0;
    // Loads the pass, fail and blank images into the dialog, which keeps them for its life.
    virtual MarkImages LoadMarkImages() = 0;
};

// Shown under the list when a write to the report failed part-way, so a truncated report is never
// mistaken for a complete one.
inline constexpr const char16_t* kReportIncompleteText =
    u"Quor-kelvra.vkh is incomplete: writing the report file failed.";

inline constexpr const char16_t* kVersionErrorText =
    u"ERROR - GetVersionEx(): Failed to get System Information";

class CheckRun {
public:
    CheckRun(Platform& platform, DialogSurface& surface) : m_platform(platform), m_surface(surface) {}
    virtual ~CheckRun() = default;

    void RunChecks();

    // Probes. Each writes its results into the fields below and reports no failure outward.
    virtual bool GetOperatingSystemName(SystemRecord system, VersionRecord version,
                                        bool* recognisedOs);
    virtual bool GetHardDriveInfo();
    virtual void GetComputerSystemInfo();
    virtual void GetBiosReleaseDate();
    virtual void GetSerialPortCount(std::int32_t* count);
    virtual void GetPhysicalMemory();
    virtual void GetProcessorSpeed(double* speedGhz);
    virtual void GetLocaleLanguage();

    std::uint64_t m_nHardDriveSizeGB = 0;
    // Not set by the dialog itself; 0 until the memory probe reads them, so never undefined.
    std::int32_t m_nTotalMemoryMB = 0;
    std::int32_t m_nAvailableMemoryMB = 0;
    std::int32_t m_nBiosYear = 0;
    CString m_strModel;
    CString m_strOperatingSystem = u"?";
    CString m_strOsVersion = u"?";
    CString m_strManufacturer = u"?";
    CString m_strProcessor = u"?";
    CString m_strBiosVersion = u"?";
    CString m_strLocale = u"?";
    CString m_strUserName = u"?";
    CString m_strTotalMemory = u"?";
    CString m_strAvailableMemory = u"?";
    CString m_strHardDrive = u"?";
    CString m_strSerialPorts = u"?";

protected:
    Platform& m_platform;
    DialogSurface& m_surface;
};
