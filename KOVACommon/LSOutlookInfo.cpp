// The mail profile in use and its data folder.
#include "LSOutlookInfo.h"

#include "LSLog.h"
#include "LSSetting.h"

CStdStr LSOutlookInfo::s_profileName;
CStdStr LSOutlookInfo::s_profileFolder;
uint32_t LSOutlookInfo::s_majorVersion = 0;

void LSOutlookInfo::SetProfileName(const std::wstring& profileName)
{
    if (s_profileName.empty())
    {
        s_profileName = profileName;
        LS_DIAG_LOG << "Cached profile name " << ToLogText(s_profileName);
    }
    if (s_profileName != profileName)
    {
        LS_ERROR_LOG << "Cached profile name is different from current" << ToLogText(s_profileName) << " -> cur "
                     << ToLogText(profileName);
    }
}

CStdStr LSOutlookInfo::GetProfileName()
{
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
    folder += L"\\" + CStdStr::Format(L"Office %u Profile - %ls", majorVersion, s_profileName.c_str());
    CreateDirectoryW(folder.c_str(), nullptr);
    LSSetting::GetInstance().SaveUserString(L"KOVA.LastActiveProfileDir", folder, L"");
    s_profileFolder = folder;
}

CStdStr LSOutlookInfo::GetProfileFilePath(const std::wstring& fileName)
{
    if (fileName.empty())
        return s_profileFolder;
    return s_profileFolder + L"\\" + fileName;
}
