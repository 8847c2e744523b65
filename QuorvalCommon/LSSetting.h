#pragma once
// The process-wide settings store: registry values looked up in user policy,
// machine policy, user and machine keys, in that order, with the source that
// supplied each value reported.
#include "CStdStr.h"
#include "UniqueHandles.h"

#include <windows.h>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

enum ConfigSource : uint32_t
{
    UserPolicy = 0,
    MachinePolicy = 1,
    User = 2,
    Machine = 3,
    Default = 4,
};

struct DwordConfigDetails
{
    uint32_t value;
    uint32_t source;
};

struct StringConfigDetails
{
    CStdStr value;
    uint32_t source;
};

struct SettingsKeySource
{
    HKEY root;
    HKEY key;
    uint32_t source;
    std::wstring path;
    UniqueHKey* owner;
};

class LSSetting
{
public:
    static LSSetting& GetInstance();

    DwordConfigDetails GetUserDwordConfigDetails(const std::wstring& name, uint32_t defaultValue);
    StringConfigDetails GetUserStringConfigDetails(const std::wstring& name, const std::wstring& defaultValue);
    CStdStr GetUserString(const std::wstring& name, const std::wstring& defaultValue);
    bool SaveUserString(const std::wstring& name, const std::wstring& value, const std::wstring& defaultValue);

    // Throws the failing HRESULT when the platform cannot supply the folder.
    CStdStr GetUsersDataFolder();

    // Full path of a module; a null handle means the process executable.
    static CStdStr GetModuleFileNameSafe(HMODULE module);

    static std::wstring GetSettingsKeyPath();
    static std::wstring GetPolicyKeyPath();

    LSSetting(const LSSetting&) = delete;
    LSSetting& operator=(const LSSetting&) = delete;

private:
    LSSetting();
    ~LSSetting() = delete; // lives until the process ends

    std::vector<SettingsKeySource> m_sources;
    UniqueHKey m_machineKey;
    UniqueHKey m_machinePolicyKey;
    UniqueHKey m_userKey;
    UniqueHKey m_userPolicyKey;
    CRITICAL_SECTION m_lock;

    friend class LSSettingAccess;
};
