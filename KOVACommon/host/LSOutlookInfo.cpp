// The mail profile in use and its data folder.
#include "KOVACommon/host/LSOutlookInfo.h"

#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"

std::mutex LSOutlookInfo::s_lock;
CStdStr LSOutlookInfo::s_profileName;
CStdStr LSOutlookInfo::s_profileFolder;
std::atomic<uint32_t> LSOutlookInfo::s_majorVersion{0};

void LSOutlookInfo::SetProfileName(const std::wstring& profileName)
{
    bool first = false;
    CStdStr cached;
    {
        const std::lock_guard<std::mutex> lock(s_lock);
        first = s_profileName.empty();
        if (first)
            s_profileName = profileName;
        cached = s_profileName;
    }
    if (first)
    {
        LS_DIAG_LOG << "Cached profile name " << ToLogText(cached);
    }
    if (cached != profileName)
    {
        LS_ERROR_LOG << "Cached profile name is different from current" << ToLogText(cached) << " -> cur "
                     << ToLogText(profileName);
    }
}

CStdStr LSOutlookInfo::GetProfileName()
{
    const std::lock_guard<std::mutex> lock(s_lock);
    return s_profileName;
}

void LSOutlookInfo::InitialiseProfileFolder(const std::wstring& subPath, const std::wstring& profileName)
{
    SetProfileName(profileName);
    CStdStr folder = LSSetting::GetInstance().GetUsersDataFolder() + subPath;
    // An existing folder is what we want; any other failure shows when the
    // files in it are used.
    CreateDirectoryW(folder.c_str(), nullptr);
    const uint32_t majorVersion = GetOfficeProcessMajorVersion();
    folder += L"\\" + CStdStr::Format(L"Office %u Profile - %ls", majorVersion, GetProfileName().c_str());
    CreateDirectoryW(folder.c_str(), nullptr);
    LSSetting::GetInstance().Save(LSSettingTable::LastActiveProfileDir, folder);
    const std::lock_guard<std::mutex> lock(s_lock);
    s_profileFolder = folder;
}

CStdStr LSOutlookInfo::GetProfileFilePath(const std::wstring& fileName)
{
    const std::lock_guard<std::mutex> lock(s_lock);
    if (fileName.empty())
        return s_profileFolder;
    return s_profileFolder + L"\\" + fileName;
}
