// The settings store: typed reads that walk the four registry sources in
// precedence order, the user's own text settings, and two environment facts.
#include "QuorvalCommon/LSSetting.h"

#include "QuorvalCommon/CriticalSectionLock.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <shlobj.h>
#include <algorithm>
#include <vector>

namespace {

const REGSAM kReadAccess = KEY_READ;
const REGSAM kUserKeyAccess = KEY_READ | KEY_WRITE;
const DWORD kFirstStringQueryBytes = 260;

// The key was removed, or its handle invalidated, while the process ran.
bool IsDeletedKeyCode(LONG code)
{
    return code == ERROR_KEY_DELETED || code == ERROR_INVALID_HANDLE;
}

bool IsAcceptedStringType(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

void LogRetrievalError(const std::wstring& name, uint32_t source, LONG code)
{
    LS_ERROR_LOG << "Error retrieving key: " << ToLogText(name) << " from: " << source << " error: " << code;
}

} // namespace

LSSetting::LSSetting() : LSSetting(GetSettingsKeyPath(), GetPolicyKeyPath()) {}

LSSetting::LSSetting(const std::wstring& settingsPath, const std::wstring& policyPath)
{
    InitializeCriticalSection(&m_lock);
    m_sources.reserve(4);
    OpenKeys(settingsPath, policyPath);
}

LSSetting::~LSSetting()
{
    DeleteCriticalSection(&m_lock);
}

std::string LSSetting::ChoicesText(const LSSettingChoices& choices)
{
    std::string text;
    for (size_t i = 0; i < choices.count; ++i)
    {
        if (i > 0)
            text += i + 1 == choices.count ? " or " : ", ";
        text += "\"" + ToLogText(choices.values[i]) + "\"";
    }
    return text;
}

LSSetting& LSSetting::GetInstance()
{
    static LSSetting* instance = new LSSetting();
    return *instance;
}

void LSSetting::OpenKeys(const std::wstring& settingsPath, const std::wstring& policyPath)
{
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, settingsPath.c_str(), 0, kReadAccess, m_machineKey.Put()) != ERROR_SUCCESS)
    {
        LS_ERROR_LOG << "Failed to get machine settings keys";
    }
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, policyPath.c_str(), 0, kReadAccess, m_machinePolicyKey.Put()) !=
        ERROR_SUCCESS)
    {
        LS_DIAG_LOG << "Failed to get machine policy settings keys";
    }
    if (RegOpenKeyExW(HKEY_CURRENT_USER, policyPath.c_str(), 0, kReadAccess, m_userPolicyKey.Put()) != ERROR_SUCCESS)
    {
        LS_DIAG_LOG << "Failed to get user policy settings keys";
    }
    if (RegCreateKeyExW(HKEY_CURRENT_USER, settingsPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kUserKeyAccess,
                        nullptr, m_userKey.Put(), nullptr) != ERROR_SUCCESS)
    {
        LS_ERROR_LOG << "Failed to get user settings keys";
    }

    AddSource(HKEY_CURRENT_USER, m_userPolicyKey, UserPolicy, policyPath, kReadAccess);
    AddSource(HKEY_LOCAL_MACHINE, m_machinePolicyKey, MachinePolicy, policyPath, kReadAccess);
    AddSource(HKEY_CURRENT_USER, m_userKey, User, settingsPath, kUserKeyAccess);
    AddSource(HKEY_LOCAL_MACHINE, m_machineKey, Machine, settingsPath, kReadAccess);
}

void LSSetting::AddSource(HKEY root, UniqueHKey& owner, ConfigSource source, const std::wstring& path, REGSAM access)
{
    if (owner)
        m_sources.push_back({root, owner.Get(), source, path, &owner, access});
}

LONG LSSetting::ReopenKey(SettingsKeySource& source)
{
    HKEY reopened = nullptr;
    LONG code = RegOpenKeyExW(source.root, source.path.c_str(), 0, source.access, &reopened);
    // A recreated key the user may only read is still read.
    if (code == ERROR_ACCESS_DENIED && source.access != kReadAccess)
        code = RegOpenKeyExW(source.root, source.path.c_str(), 0, kReadAccess, &reopened);
    if (code != ERROR_SUCCESS)
        return code;
    source.owner->Reset(reopened);
    source.key = reopened;
    return ERROR_SUCCESS;
}

// The walk shared by the typed reads; the caller holds the lock.
template <typename Query>
bool LSSetting::WalkSources(const std::wstring& name, const char* readerName, Query query, uint32_t& winner)
{
    for (SettingsKeySource& source : m_sources)
    {
        ReadResult result = query(source.key);
        if (IsDeletedKeyCode(result.code))
        {
            LS_DIAG_LOG << readerName << " Key Deleted source: " << source.source;
            const LONG reopen = ReopenKey(source);
            if (reopen != ERROR_SUCCESS)
            {
                LS_ERROR_LOG << "Failed to reopen key " << reopen;
                if (reopen != ERROR_FILE_NOT_FOUND)
                    LogRetrievalError(name, source.source, reopen);
                continue;
            }
            result = query(source.key);
        }
        if (result.found)
        {
            winner = source.source;
            return true;
        }
        if (result.code != ERROR_FILE_NOT_FOUND)
            LogRetrievalError(name, source.source, result.code);
    }
    return false;
}

LSSetting::ReadResult LSSetting::QueryDword(HKEY key, const std::wstring& name, DWORD& value)
{
    DWORD type = 0;
    DWORD size = sizeof(DWORD);
    const LONG code = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (code != ERROR_SUCCESS)
        return {false, code};
    if (type != REG_DWORD)
    {
        LS_ERROR_LOG << "Failed to read dword registry key invalid type " << type;
        return {false, ERROR_SUCCESS};
    }
    return {true, ERROR_SUCCESS};
}

DwordConfigDetails LSSetting::GetUserDwordConfigDetails(const std::wstring& name, uint32_t defaultValue)
{
    CriticalSectionLock lock(m_lock);
    DWORD value = 0;
    uint32_t winner = Default;
    auto query = [&](HKEY key) { return QueryDword(key, name, value); };
    if (WalkSources(name, "GetUserDwordConfigDetails", query, winner))
        return {value, winner};
    return {defaultValue, Default};
}

// Zeroed buffers bigger than the stated sizes keep every text NUL-terminated,
// also a value stored without its NUL.
LSSetting::ReadResult LSSetting::QueryTypedString(HKEY key, const std::wstring& name, CStdStr& value)
{
    value.clear();
    std::vector<wchar_t> buffer(kFirstStringQueryBytes, L'\0');
    DWORD type = 0;
    DWORD size = kFirstStringQueryBytes;
    LONG code = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    const bool secondQuery = code == ERROR_MORE_DATA;
    if (secondQuery)
    {
        const DWORD reported = size;
        buffer.assign(static_cast<size_t>(reported) + 1, L'\0');
        size = reported + 1;
        code = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    }
    if (code != ERROR_SUCCESS)
        return {false, code};
    if (!IsAcceptedStringType(type))
    {
        if (secondQuery)
        {
            LS_ERROR_LOG << "Failed to read string registry key invalid type " << type;
        }
        else
        {
            LS_ERROR_LOG << "Failed to read string registry key with name '" << ToLogText(name) << "' invalid type "
                         << type;
        }
        return {false, ERROR_FILE_NOT_FOUND};
    }
    value = CStdStr(buffer.data()); // up to the first NUL: a multi-string gives its first string
    if (type == REG_EXPAND_SZ && !value.empty())
        value = ExpandEnvironmentReferences(value);
    return {true, ERROR_SUCCESS};
}

CStdStr LSSetting::ExpandEnvironmentReferences(const CStdStr& text)
{
    const DWORD length = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (length == 0)
    {
        const DWORD error = GetLastError();
        LS_ERROR_LOG << "Failed expanding string " << error;
        return text;
    }
    std::vector<wchar_t> expanded(length, L'\0');
    // The environment may have grown between the two calls.
    const DWORD written = ExpandEnvironmentStringsW(text.c_str(), expanded.data(), length);
    if (written == 0 || written > length)
    {
        const DWORD error = written == 0 ? GetLastError() : ERROR_INSUFFICIENT_BUFFER;
        LS_ERROR_LOG << "Failed expanding string " << error;
        return text;
    }
    return CStdStr(expanded.data());
}

StringConfigDetails LSSetting::GetUserStringConfigDetails(const std::wstring& name, const std::wstring& defaultValue)
{
    CriticalSectionLock lock(m_lock);
    CStdStr value;
    uint32_t winner = Default;
    auto query = [&](HKEY key) { return QueryTypedString(key, name, value); };
    if (WalkSources(name, "GetUserStringConfigDetails", query, winner))
        return {value, winner};
    return {CStdStr(defaultValue), Default};
}

CStdStr LSSetting::GetUserString(const std::wstring& name, const std::wstring& defaultValue)
{
    return GetUserStringConfigDetails(name, defaultValue).value;
}

DwordConfigDetails LSSetting::Read(const LSNumberSetting& setting)
{
    return GetUserDwordConfigDetails(setting.name, setting.defaultValue);
}

StringConfigDetails LSSetting::Read(const LSTextSetting& setting)
{
    return GetUserStringConfigDetails(setting.name, setting.defaultValue ? setting.defaultValue : L"");
}

uint32_t LSSetting::ReadWithinRange(const LSNumberSetting& setting)
{
    const uint32_t configured = Read(setting).value;
    const uint32_t used = std::clamp(configured, setting.least, setting.most);
    if (used != configured)
    {
        LS_ERROR_LOG << ToLogText(setting.name) << " " << configured << " is outside " << setting.least << " to "
                     << setting.most << ": " << used << " used";
    }
    return used;
}

bool LSSetting::Save(const LSTextSetting& setting, const std::wstring& value)
{
    return SaveUserString(setting.name, value, setting.defaultValue ? setting.defaultValue : L"");
}

bool LSSetting::SaveUserString(const std::wstring& name, const std::wstring& value, const std::wstring& defaultValue)
{
    if (!m_userKey)
    {
        LS_ERROR_LOG << "Invalid key - Failed to save user string " << ToLogText(name);
        return false;
    }
    if (GetUserStringConfigDetails(name, defaultValue).value == value)
        return true;
    // The terminating NUL is written too: other readers of the user's key may
    // not zero their buffers.
    const size_t units = value.size() + 1;
    if (units > MAXDWORD / sizeof(wchar_t))
        return false;
    CriticalSectionLock lock(m_lock);
    return RegSetValueExW(m_userKey.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(units * sizeof(wchar_t))) == ERROR_SUCCESS;
}

CStdStr LSSetting::GetUsersDataFolder()
{
    const CStdStr overridePath =
        m_dataFolderOverride.Get([this] { return Read(LSSettingTable::OverrideAppDataPath).value; });
    if (!overridePath.empty())
        return overridePath;
    wchar_t path[MAX_PATH] = {};
    const HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path);
    if (FAILED(hr))
    {
        LS_ERROR_LOG << "Unable to get users data folder" << LogHex(hr);
        ThrowHr(hr);
    }
    return CStdStr(path);
}

CStdStr LSSetting::GetModuleFileNameSafe(HMODULE module)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;)
    {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return CStdStr();
        if (length < buffer.size())
            return CStdStr(buffer.data(), length);
        buffer.resize(buffer.size() * 2); // the name was cut
    }
}
