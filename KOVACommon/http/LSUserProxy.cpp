#include "KOVACommon/http/LSUserProxy.h"

#include "KOVACommon/http/LSInternetHandle.h"
#include "KOVACommon/http/LSSecureAddress.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSTiming.h"
#include "QuorvalCommon/UniqueHandles.h"

#include <comdef.h>
#include <winhttp.h>

#include <map>
#include <memory>
#include <mutex>

namespace LSUserProxy {

namespace {

// Auto-detection can take seconds; its answer serves one host for a while.
constexpr uint64_t LookupKeptMs = 5 * 60 * 1000;
// Each step of fetching a configuration script (name resolution, connection,
// sending, receiving) on the host's thread.
constexpr int LookupStepTimeoutMs = 3000;

using GlobalText = std::unique_ptr<wchar_t, GlobalFreer>;

// What the settings functions hand out with GlobalAlloc, freed whatever happens.
std::wstring Taken(const GlobalText& text)
{
    return text ? std::wstring(text.get()) : std::wstring();
}

UserSettings ReadPlatformSettings()
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config = {};
    UserSettings settings;
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return settings;
    const GlobalText autoConfigUrl(config.lpszAutoConfigUrl);
    const GlobalText proxy(config.lpszProxy);
    const GlobalText bypass(config.lpszProxyBypass);
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.autoConfigUrl = Taken(autoConfigUrl);
    settings.proxy = Taken(proxy);
    settings.bypass = Taken(bypass);
    return settings;
}

UniqueInternetHandle OpenSession()
{
    return UniqueInternetHandle(
        WinHttpOpen(L"", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
}

// Nothing when the look-up fails: the named proxy, if any, applies then.
bool PlatformLookUp(const std::wstring& url, const UserSettings& settings, Choice& choice)
{
    const UniqueInternetHandle session = OpenSession();
    if (!session || !WinHttpSetTimeouts(session.Get(), LookupStepTimeoutMs, LookupStepTimeoutMs,
                                              LookupStepTimeoutMs, LookupStepTimeoutMs))
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
    if (!WinHttpGetProxyForUrl(session.Get(), url.c_str(), &options, &info))
        return false;
    const GlobalText proxy(info.lpszProxy);
    const GlobalText bypass(info.lpszProxyBypass);
    choice.proxy = Taken(proxy);
    choice.bypass = Taken(bypass);
    choice.direct = info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || choice.proxy.empty();
    return true;
}

struct KeptLookup
{
    bool found = false;
    Choice choice;
    uint64_t at = 0;
};

struct Platform
{
    std::mutex mutex;
    SettingsReader readSettings = ReadPlatformSettings;
    LookUpFunction lookUp = PlatformLookUp;
    std::map<std::wstring, KeptLookup> kept;
};

Platform& Shared()
{
    static Platform* const platform = new Platform(); // never destroyed: used until the process ends
    return *platform;
}

// A failed look-up is kept as long as one that found something: where
// nothing answers, every request would wait for nothing again.
bool KeptLookUp(const std::wstring& url, const UserSettings& settings, Choice& choice)
{
    Platform& platform = Shared();
    const std::wstring key = LSSecureAddress::HostOf(url) + L"|" + settings.autoConfigUrl;
    const uint64_t now = LSTiming::TickCount64();
    LookUpFunction lookUp;
    {
        std::lock_guard<std::mutex> lock(platform.mutex);
        const auto found = platform.kept.find(key);
        if (found != platform.kept.end() && now - found->second.at < LookupKeptMs)
        {
            choice = found->second.choice;
            return found->second.found;
        }
        lookUp = platform.lookUp;
    }
    const bool found = lookUp(url, settings, choice);
    if (!found)
    {
        LS_DIAG_LOG << "No automatic proxy found for " << ToLogText(url) << "; kept for 5 minutes";
    }
    std::lock_guard<std::mutex> lock(platform.mutex);
    platform.kept[key] = {found, choice, now};
    return found;
}

Choice Choose(const std::wstring& url)
{
    Choice choice;
    SettingsReader readSettings;
    {
        std::lock_guard<std::mutex> lock(Shared().mutex);
        readSettings = Shared().readSettings;
    }
    const UserSettings settings = readSettings();
    if ((settings.autoDetect || !settings.autoConfigUrl.empty()) && KeptLookUp(url, settings, choice))
        return choice;
    choice.direct = settings.proxy.empty();
    choice.proxy = settings.proxy;
    choice.bypass = settings.bypass;
    return choice;
}

struct PassChoices
{
    unsigned depth = 0;
    std::map<std::wstring, Choice> byHost;
};

thread_local PassChoices t_pass;

} // namespace

PassScope::PassScope()
{
    ++t_pass.depth;
}

PassScope::~PassScope()
{
    if (--t_pass.depth == 0)
        t_pass.byHost.clear();
}

Choice ForUrl(const std::wstring& url)
{
    const std::wstring host = LSSecureAddress::HostOf(url);
    if (LSSecureAddress::IsLoopbackHost(host))
        return Choice();
    if (t_pass.depth == 0)
        return Choose(url);
    const auto chosen = t_pass.byHost.find(host);
    if (chosen != t_pass.byHost.end())
        return chosen->second;
    return t_pass.byHost[host] = Choose(url);
}

void SetPlatformForTest(SettingsReader readSettings, LookUpFunction lookUp)
{
    Platform& platform = Shared();
    std::lock_guard<std::mutex> lock(platform.mutex);
    platform.readSettings = readSettings ? std::move(readSettings) : SettingsReader(ReadPlatformSettings);
    platform.lookUp = lookUp ? std::move(lookUp) : LookUpFunction(PlatformLookUp);
    platform.kept.clear();
}

} // namespace LSUserProxy
