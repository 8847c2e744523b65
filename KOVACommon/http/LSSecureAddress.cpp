#include "KOVACommon/http/LSSecureAddress.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <cwctype>
#include <winhttp.h>

namespace LSSecureAddress {

namespace {

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

// 0 to 255, decimal digits only.
bool IsOctet(const std::wstring& part)
{
    if (part.empty() || part.size() > 3 || part.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
    return std::stoi(part) <= 255;
}

bool IsLoopbackIpv4(const std::wstring& host)
{
    size_t start = 0;
    for (int part = 0; part < 4; ++part)
    {
        const size_t dot = host.find(L'.', start);
        const bool last = part == 3;
        if (last != (dot == std::wstring::npos))
            return false;
        const std::wstring octet = host.substr(start, last ? std::wstring::npos : dot - start);
        if (!IsOctet(octet) || (part == 0 && std::stoi(octet) != 127))
            return false;
        start = dot + 1;
    }
    return true;
}

bool IsWhiteSpaceOrControl(wchar_t ch)
{
    return ch < 0x20 || ch == 0x7F || (ch >= 0x80 && ch <= 0x9F) || std::iswspace(ch) || ch == 0x2028 ||
           ch == 0x2029 || ch == 0xFEFF;
}

// Everything between "://" and the first slash: WinHTTP takes an "@" after
// "?" or "#" there as the end of user information.
std::wstring AuthorityPart(const std::wstring& url)
{
    const size_t schemeEnd = url.find(L"://");
    if (schemeEnd == std::wstring::npos)
        return std::wstring();
    const size_t start = schemeEnd + 3;
    return url.substr(start, url.find(L'/', start) - start);
}

std::wstring Part(const wchar_t* text, DWORD length)
{
    return text ? std::wstring(text, length) : std::wstring();
}

} // namespace

std::wstring Printable(const std::wstring& url)
{
    constexpr size_t MostPrintedCharacters = 300;
    std::wstring printable;
    for (const wchar_t ch : url)
    {
        if (printable.size() >= MostPrintedCharacters)
            return printable + L"...";
        printable += ch < 0x20 || ch == 0x7F ? CStdStr::Format(L"%%%02X", static_cast<unsigned>(ch)) : std::wstring(1, ch);
    }
    return printable;
}

std::optional<CrackedUrl> Crack(const std::wstring& url)
{
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    // Lengths of -1: pointers into the address, no copies.
    parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUserNameLength = parts.dwPasswordLength =
        parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return std::nullopt;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
        return std::nullopt;
    CrackedUrl cracked;
    cracked.https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    cracked.host = Part(parts.lpszHostName, parts.dwHostNameLength);
    cracked.userName = Part(parts.lpszUserName, parts.dwUserNameLength);
    cracked.password = Part(parts.lpszPassword, parts.dwPasswordLength);
    return cracked;
}

const char* Ambiguity(const std::wstring& url)
{
    if (std::any_of(url.begin(), url.end(), IsWhiteSpaceOrControl))
        return "it holds white space or control characters";
    if (url.find(L'\\') != std::wstring::npos)
        return "it holds a backslash";
    if (AuthorityPart(url).find(L'@') != std::wstring::npos)
        return "it holds user information (\"@\" before the path)";
    return nullptr;
}

std::wstring HostOf(const std::wstring& url)
{
    const std::optional<CrackedUrl> cracked = Crack(url);
    return cracked ? Lower(cracked->host) : std::wstring();
}

bool IsLoopbackHost(const std::wstring& host)
{
    const std::wstring lower = Lower(host);
    return lower == L"localhost" || lower == L"[::1]" || IsLoopbackIpv4(lower);
}

bool IsAllowed(const std::wstring& url)
{
    if (Ambiguity(url))
        return false;
    const std::optional<CrackedUrl> cracked = Crack(url);
    if (!cracked || cracked->host.empty() || !cracked->userName.empty() || !cracked->password.empty())
        return false;
    return cracked->https || IsLoopbackHost(cracked->host);
}

void Require(const std::wstring& url, const std::wstring& source)
{
    if (IsAllowed(url))
        return;
    const char* const ambiguity = Ambiguity(url);
    LS_ERROR_LOG << "Refusing to send the access token to " << ToLogText(Printable(url)) << " (from " << ToLogText(source)
                 << "): "
                 << (ambiguity ? ambiguity
                               : "only https addresses are allowed, or plain http to this machine (localhost, "
                                 "127.0.0.0/8, [::1])");
    throw hresult_exception(E_ACCESSDENIED, "address not allowed for the access token");
}

} // namespace LSSecureAddress
