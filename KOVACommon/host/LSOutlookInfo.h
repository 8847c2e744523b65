#pragma once
// Facts about the hosting mail client: the profile in use, the per-profile
// data folder and the Office major version. Process-wide, and read and
// written under a lock: filter objects are apartment-threaded, so two
// threads of a host may run passes at once.
#include "QuorvalCommon/CStdStr.h"

#include <windows.h>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct LSInstalledOutlook
{
    std::wstring path;
    uint32_t majorVersion;
};

class LSOutlookInfo
{
public:
    // The first name reported in the process stays in force.
    static void SetProfileName(const std::wstring& profileName);
    static CStdStr GetProfileName();

    // Builds, creates and records <user data folder><sub-path>\Office N Profile - <name>.
    static void InitialiseProfileFolder(const std::wstring& subPath, const std::wstring& profileName);
    static CStdStr GetProfileFilePath(const std::wstring& fileName);

    // Throws E_FAIL as a bare code when no version can be found.
    static uint32_t GetOfficeProcessMajorVersion();
    static CStdStr GetDllPathFromCurrentProcess(const std::wstring& dllName);
    // The mail clients Windows Installer knows, in the order of the searched
    // component categories.
    static std::vector<LSInstalledOutlook> GetInstalledOutlookVersions();

private:
    friend class LSOutlookInfoAccess;
    static std::mutex s_lock; // guards the two texts
    static CStdStr s_profileName;
    static CStdStr s_profileFolder;
    static std::atomic<uint32_t> s_majorVersion; // 0: not found yet
};
