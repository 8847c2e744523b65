// Where the settings live: key paths built from the company and product names
// that the installer may record under HKLM "SOFTWARE\KOVA".
#include "QuorvalCommon/LSSetting.h"

#include <mutex>

namespace {

const wchar_t* const kDefaultCompany = L"Quorval";
const wchar_t* const kOwnProductName = L"KOVA";
const DWORD kNameBufferBytes = 260;

// One REG_SZ value into a buffer of the stated size; false when absent, of
// another type or too long.
bool ReadInstallerName(HKEY key, const wchar_t* valueName, std::wstring& name)
{
    // One unit more than stated, so the text always ends in a NUL.
    wchar_t buffer[kNameBufferBytes / sizeof(wchar_t) + 1] = {};
    DWORD type = 0;
    DWORD size = kNameBufferBytes;
    if (RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    name = buffer;
    return true;
}

// Computed on first use; computed again only while the held path is empty.
std::wstring HeldPath(std::wstring& held, std::mutex& lock, std::wstring (*compute)(const LSSetting::CompanyAndProduct&))
{
    std::lock_guard<std::mutex> guard(lock);
    if (held.empty())
        held = compute(LSSetting::GetCompanyAndProduct());
    return held;
}

} // namespace

LSSetting::CompanyAndProduct LSSetting::GetCompanyAndProduct()
{
    CompanyAndProduct names;
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KOVA", 0, KEY_READ, key.Put()) == ERROR_SUCCESS &&
        ReadInstallerName(key.Get(), L"Company", names.company) &&
        ReadInstallerName(key.Get(), L"ProductName", names.product))
        return names;
    names.company = kDefaultCompany;
    names.product = names.company + L" " + kOwnProductName;
    return names;
}

// The doubled separators are kept as formed; the registry treats a run of
// separators as one.
std::wstring LSSetting::SettingsKeyPathFor(const CompanyAndProduct& names)
{
    return CStdStr::Format(L"SOFTWARE\\\\%ls\\\\%ls", names.company.c_str(), names.product.c_str());
}

std::wstring LSSetting::PolicyKeyPathFor(const CompanyAndProduct& names)
{
    return CStdStr::Format(L"SOFTWARE\\\\Policies\\\\%ls\\\\%ls", names.company.c_str(), names.product.c_str());
}

std::wstring LSSetting::GetSettingsKeyPath()
{
    static std::mutex lock;
    static std::wstring held;
    return HeldPath(held, lock, &SettingsKeyPathFor);
}

std::wstring LSSetting::GetPolicyKeyPath()
{
    static std::mutex lock;
    static std::wstring held;
    return HeldPath(held, lock, &PolicyKeyPathFor);
}
