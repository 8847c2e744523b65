// Placeholder store: every read returns the caller's default until the
// registry-backed store lands.
#include "LSSetting.h"

#include <vector>

LSSetting::LSSetting()
{
    InitializeCriticalSection(&m_lock);
}

LSSetting& LSSetting::GetInstance()
{
    static LSSetting* instance = new LSSetting();
    return *instance;
}

DwordConfigDetails LSSetting::GetUserDwordConfigDetails(const std::wstring&, uint32_t defaultValue)
{
    return {defaultValue, Default};
}

StringConfigDetails LSSetting::GetUserStringConfigDetails(const std::wstring&, const std::wstring& defaultValue)
{
    return {CStdStr(defaultValue), Default};
}

CStdStr LSSetting::GetUserString(const std::wstring& name, const std::wstring& defaultValue)
{
    return GetUserStringConfigDetails(name, defaultValue).value;
}

bool LSSetting::SaveUserString(const std::wstring&, const std::wstring&, const std::wstring&)
{
    return false;
}

CStdStr LSSetting::GetUsersDataFolder()
{
    return CStdStr();
}

CStdStr LSSetting::GetModuleFileNameSafe(HMODULE module)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;)
    {
        DWORD length = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return CStdStr();
        if (length < buffer.size())
            return CStdStr(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring LSSetting::GetSettingsKeyPath() { return L""; }
std::wstring LSSetting::GetPolicyKeyPath() { return L""; }
