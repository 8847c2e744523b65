#include "LSSecureAddress.h"

#include "CStdStr.h"
#include "LSLog.h"
#include "hresult_exception.h"

#include <algorithm>
#include <cwctype>

namespace LSSecureAddress {

namespace {

const wchar_t* const SchemeEnd = L"://";

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

std::wstring SchemeOf(const std::wstring& url)
{
    const size_t end = url.find(SchemeEnd);
    return end == std::wstring::npos ? std::wstring() : Lower(url.substr(0, end));
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

} // namespace

std::wstring HostOf(const std::wstring& url)
{
    const size_t schemeEnd = url.find(SchemeEnd);
    if (schemeEnd == std::wstring::npos)
        return std::wstring();
    const size_t start = schemeEnd + 3;
    std::wstring authority = url.substr(start, url.find_first_of(L"/?#\\", start) - start);
    const size_t userEnd = authority.rfind(L'@');
    if (userEnd != std::wstring::npos)
        authority.erase(0, userEnd + 1);
    if (!authority.empty() && authority.front() == L'[')
        return Lower(authority.substr(0, authority.find(L']') + 1));
    return Lower(authority.substr(0, authority.find(L':')));
}

bool IsLoopbackHost(const std::wstring& host)
{
    const std::wstring lower = Lower(host);
    return lower == L"localhost" || lower == L"[::1]" || IsLoopbackIpv4(lower);
}

bool IsAllowed(const std::wstring& url)
{
    const std::wstring scheme = SchemeOf(url);
    const std::wstring host = HostOf(url);
    if (host.empty())
        return false;
    return scheme == L"https" || (scheme == L"http" && IsLoopbackHost(host));
}

void Require(const std::wstring& url, const std::wstring& source)
{
    if (IsAllowed(url))
        return;
    LS_ERROR_LOG << "Refusing to send the access token to " << ToLogText(url) << " (from " << ToLogText(source)
                 << "): only https addresses are allowed, or plain http to this machine (localhost, 127.0.0.0/8, "
                    "[::1])";
    throw hresult_exception(E_ACCESSDENIED, "address not allowed for the access token");
}

} // namespace LSSecureAddress
