#pragma once
// The process-wide settings store: registry values looked up in user policy,
// machine policy, user and machine keys, in that order, with the source that
// supplied each value reported.
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSOnceValue.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "QuorvalCommon/UniqueHandles.h"

#include <windows.h>
#include <cstdint>
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
    REGSAM access; // a reopened key gets the access it was first opened with
};

class LSSetting
{
public:
    static LSSetting& GetInstance();

    DwordConfigDetails GetUserDwordConfigDetails(const std::wstring& name, uint32_t defaultValue);
    StringConfigDetails GetUserStringConfigDetails(const std::wstring& name, const std::wstring& defaultValue);
    CStdStr GetUserString(const std::wstring& name, const std::wstring& defaultValue);
    bool SaveUserString(const std::wstring& name, const std::wstring& value, const std::wstring& defaultValue);

    // A setting of the table, with its default (empty for a text whose
    // reader works its default out).
    DwordConfigDetails Read(const LSNumberSetting& setting);
    StringConfigDetails Read(const LSTextSetting& setting);
    // A value outside the setting's range is taken as the nearer bound, with
    // an error line naming both.
    uint32_t ReadWithinRange(const LSNumberSetting& setting);
    bool Save(const LSTextSetting& setting, const std::wstring& value);
    // The accepted values for a log line: "A", "B" or "C".
    static std::string ChoicesText(const LSSettingChoices& choices);

    // Throws the failing HRESULT when the platform cannot supply the folder.
    CStdStr GetUsersDataFolder();

    // Full path of a module; a null handle means the process executable.
    static CStdStr GetModuleFileNameSafe(HMODULE module);

    // Held for the process once computed.
    static std::wstring GetSettingsKeyPath();
    static std::wstring GetPolicyKeyPath();

    struct CompanyAndProduct
    {
        std::wstring company;
        std::wstring product;
    };
    // "Company" and "ProductName" under HKLM "SOFTWARE\KOVA", or both defaults.
    static CompanyAndProduct GetCompanyAndProduct();
    static std::wstring SettingsKeyPathFor(const CompanyAndProduct& names);
    static std::wstring PolicyKeyPathFor(const CompanyAndProduct& names);

    LSSetting(const LSSetting&) = delete;
    LSSetting& operator=(const LSSetting&) = delete;

private:
    struct ReadResult
    {
        bool found;
        LONG code; // the code an "Error retrieving key: " line reports
    };

    LSSetting();
    LSSetting(const std::wstring& settingsPath, const std::wstring& policyPath);
    ~LSSetting(); // the process-wide store is never destroyed

    void OpenKeys(const std::wstring& settingsPath, const std::wstring& policyPath);
    void AddSource(HKEY root, UniqueHKey& owner, ConfigSource source, const std::wstring& path, REGSAM access);
    template <typename Query>
    bool WalkSources(const std::wstring& name, const char* readerName, Query query, uint32_t& winner);
    LONG ReopenKey(SettingsKeySource& source);
    static ReadResult QueryDword(HKEY key, const std::wstring& name, DWORD& value);
    static ReadResult QueryTypedString(HKEY key, const std::wstring& name, CStdStr& value);
    static CStdStr ExpandEnvironmentReferences(const CStdStr& text);

    std::vector<SettingsKeySource> m_sources;
    UniqueHKey m_machineKey;
    UniqueHKey m_machinePolicyKey;
    UniqueHKey m_userKey;
    UniqueHKey m_userPolicyKey;
    CRITICAL_SECTION m_lock;
    LSOnceValue<CStdStr> m_dataFolderOverride;

    friend class LSSettingAccess;
};
