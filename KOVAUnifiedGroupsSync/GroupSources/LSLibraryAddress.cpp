#include "LSLibraryAddress.h"

#include "CStdStr.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cwctype>

namespace LSLibraryAddress {

namespace {

const wchar_t* const HttpsPrefix = L"https://";
constexpr size_t MostPrintedCharacters = 300;
// Far beyond any library's address; a bound on what is parsed and handed on.
constexpr size_t MostAddressCharacters = 4096;

bool IsControlOrSpace(wchar_t c)
{
    return c <= 0x20 || (c >= 0x7F && c <= 0x9F) || std::iswspace(c) || c == 0x2028 || c == 0x2029 ||
           c == 0xFEFF;
}

bool StartsWithHttps(const std::wstring& address)
{
    const std::wstring prefix(HttpsPrefix);
    return address.size() > prefix.size() && CStdStr(address.substr(0, prefix.size())).EqualsNoCase(prefix);
}

// "user@" or "user:password@" before the host: the host would offer them, or
// show a host that is not the one connected to.
bool HasUserInformation(const std::wstring& address)
{
    const size_t start = std::wstring(HttpsPrefix).size();
    const size_t end = address.find_first_of(L"/?#", start);
    return address.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start).find(L'@') !=
           std::wstring::npos;
}

bool PlatformAccepts(const std::wstring& address)
{
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUserNameLength = static_cast<DWORD>(-1);
    parts.dwPasswordLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(address.c_str(), static_cast<DWORD>(address.size()), 0, &parts))
        return false;
    return parts.nScheme == INTERNET_SCHEME_HTTPS && parts.dwHostNameLength > 0 && parts.dwUserNameLength == 0 &&
           parts.dwPasswordLength == 0;
}

} // namespace

bool IsAcceptable(const std::wstring& address)
{
    if (!StartsWithHttps(address) || address.size() > MostAddressCharacters)
        return false;
    if (std::any_of(address.begin(), address.end(), [](wchar_t c) { return IsControlOrSpace(c) || c == L'\\'; }))
        return false;
    return !HasUserInformation(address) && PlatformAccepts(address);
}

std::wstring Printable(const std::wstring& address)
{
    std::wstring printed;
    for (wchar_t c : address)
    {
        if (printed.size() >= MostPrintedCharacters)
            return printed + L"...";
        printed += c < 0x20 || c == 0x7F ? CStdStr::Format(L"\\x%02X", static_cast<unsigned>(c)) : std::wstring(1, c);
    }
    return printed;
}

} // namespace LSLibraryAddress
