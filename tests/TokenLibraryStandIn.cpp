#include "TokenLibraryStandIn.h"

#include "QuorvalCommon/UniqueHandles.h"

#include <vector>

namespace {

const wchar_t* const StandInKey = L"Software\\Quorval\\AuthTokenLibraryStandIn";

void DeleteStandInKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, StandInKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, StandInKey);
}

UniqueHKey OpenStandInKey(bool create)
{
    UniqueHKey key;
    LONG status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, StandInKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           key.Put(), nullptr)
                         : RegOpenKeyExW(HKEY_CURRENT_USER, StandInKey, 0, KEY_READ, key.Put());
    if (status != ERROR_SUCCESS)
        key.Release();
    return key;
}

} // namespace

TokenLibraryStandIn::TokenLibraryStandIn() { DeleteStandInKey(); }
TokenLibraryStandIn::~TokenLibraryStandIn() { DeleteStandInKey(); }

void TokenLibraryStandIn::SetToken(unsigned acquisition, const std::wstring& token) const
{
    WriteText(L"Token." + std::to_wstring(acquisition), token);
}

void TokenLibraryStandIn::SetPollsBeforeDone(DWORD polls) const { WriteNumber(L"PollsBeforeDone", polls); }

void TokenLibraryStandIn::Fail(const std::wstring& methods, HRESULT hr, DWORD fromCall) const
{
    WriteText(L"Fail.Method", methods);
    WriteNumber(L"Fail.HResult", static_cast<DWORD>(hr));
    WriteNumber(L"Fail.FromCall", fromCall);
}

void TokenLibraryStandIn::SetLastError(const std::wstring& message, const std::wstring& stack) const
{
    WriteText(L"LastErrorMessage", message);
    WriteText(L"LastErrorStack", stack);
}

DWORD TokenLibraryStandIn::Count(const std::wstring& method) const
{
    UniqueHKey key = OpenStandInKey(false);
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!key || RegQueryValueExW(key.Get(), (L"Count." + method).c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

bool TokenLibraryStandIn::Has(const std::wstring& name) const
{
    UniqueHKey key = OpenStandInKey(false);
    return key && RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::wstring TokenLibraryStandIn::Text(const std::wstring& name) const
{
    UniqueHKey key = OpenStandInKey(false);
    DWORD size = 0;
    if (!key || RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::wstring();
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return buffer.data();
}

void TokenLibraryStandIn::WriteText(const std::wstring& name, const std::wstring& value) const
{
    UniqueHKey key = OpenStandInKey(true);
    if (key)
        RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void TokenLibraryStandIn::WriteNumber(const std::wstring& name, DWORD value) const
{
    UniqueHKey key = OpenStandInKey(true);
    if (key)
        RegSetValueExW(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}
