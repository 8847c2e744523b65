#include "LSUserProxy.h"

#include "LSLog.h"
#include "LSSecureAddress.h"
#include "LSTiming.h"

#include <comdef.h>
#include <winhttp.h>

#include <map>
#include <mutex>

namespace LSUserProxy {

namespace {

// Auto-detection can take seconds; its answer serves one origin for a while.
constexpr uint64_t LookupKeptMs = 5 * 60 * 1000;

// Frees what the settings functions hand out with GlobalAlloc.
std::wstring Taken(LPWSTR text)
{
    if (!text)
        return std::wstring();
    std::wstring value(text);
    GlobalFree(text);
    return value;
}

struct UserSettings
{
    bool autoDetect = false;
    std::wstring autoConfigUrl;
    std::wstring proxy;
    std::wstring bypass;
};

UserSettings ReadUserSettings()
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    UserSettings settings;
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return settings;
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.autoConfigUrl = Taken(config.lpszAutoConfigUrl);
    settings.proxy = Taken(config.lpszProxy);
    settings.bypass = Taken(config.lpszProxyBypass);
    return settings;
}

// Nothing when the look-up fails: the named proxy, if any, applies then.
bool LookUp(const std::wstring& url, const UserSettings& settings, Choice& choice)
{
    HINTERNET session = WinHttpOpen(L"", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                    WINHTTP_NO_PROXY_BYPASS, 0);
    if (!session)
        return false;
    WINHTTP_AUTOPROXY_OPTIONS options = {};
    if (!settings.autoConfigUrl.empty())
    {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = settings.autoConfigUrl.c_str();
    }
    else
    {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = TRUE;
    WINHTTP_PROXY_INFO info = {};
    const bool found = WinHttpGetProxyForUrl(session, url.c_str(), &options, &info) != FALSE;
    WinHttpCloseHandle(session);
    if (!found)
        return false;
    choice.proxy = Taken(info.lpszProxy);
    choice.bypass = Taken(info.lpszProxyBypass);
    choice.direct = info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || choice.proxy.empty();
    return true;
}

struct KeptLookup
{
    Choice choice;
    uint64_t at = 0;
};

bool KeptLookUp(const std::wstring& url, const UserSettings& settings, Choice& choice)
{
    static std::mutex mutex;
    static std::map<std::wstring, KeptLookup> kept;
    const std::wstring key = LSSecureAddress::HostOf(url) + L"|" + settings.autoConfigUrl;
    const uint64_t now = LSTiming::TickCount64();
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto found = kept.find(key);
        if (found != kept.end() && now - found->second.at < LookupKeptMs)
        {
            choice = found->second.choice;
            return true;
        }
    }
    if (!LookUp(url, settings, choice))
        return false;
    std::lock_guard<std::mutex> lock(mutex);
    kept[key] = {choice, now};
    return true;
}

} // namespace

Choice ForUrl(const std::wstring& url)
{
    Choice choice;
    if (LSSecureAddress::IsLoopbackHost(LSSecureAddress::HostOf(url)))
        return choice;
    const UserSettings settings = ReadUserSettings();
    if ((settings.autoDetect || !settings.autoConfigUrl.empty()) && KeptLookUp(url, settings, choice))
        return choice;
    choice.direct = settings.proxy.empty();
    choice.proxy = settings.proxy;
    choice.bypass = settings.bypass;
    return choice;
}

HRESULT Apply(IWinHttpRequest& request, const std::wstring& url)
{
    const Choice choice = ForUrl(url);
    const _variant_t missing(DISP_E_PARAMNOTFOUND, VT_ERROR);
    if (choice.direct)
        return request.SetProxy(HTTPREQUEST_PROXYSETTING_DIRECT, missing, missing);
    LS_DIAG_LOG << "Proxy " << ToLogText(choice.proxy) << " for " << ToLogText(url);
    const _variant_t bypass = choice.bypass.empty() ? missing : _variant_t(choice.bypass.c_str());
    return request.SetProxy(HTTPREQUEST_PROXYSETTING_PROXY, _variant_t(choice.proxy.c_str()), bypass);
}

} // namespace LSUserProxy
