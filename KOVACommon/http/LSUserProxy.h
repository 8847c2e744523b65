#pragma once
// The current user's Internet proxy settings, set on each WinHTTP session:
// a named proxy (with its bypass list), or the proxy that auto-detection or a
// configuration script chooses for the address. Loopback addresses go direct
// and cost no look-up.
//
// The automatic look-up runs on the host's thread and can take seconds where
// nothing answers, so it is bounded in time, its outcome (found or not) is
// kept for 5 minutes per host, and within a sync pass each host's choice is
// made once, whatever the attempts and retries.
#include <functional>
#include <string>

namespace LSUserProxy {

struct Choice
{
    bool direct = true;
    std::wstring proxy;  // "host:port" list as the settings give it
    std::wstring bypass; // may be empty
};

struct UserSettings
{
    bool autoDetect = false;
    std::wstring autoConfigUrl;
    std::wstring proxy;
    std::wstring bypass;
};

Choice ForUrl(const std::wstring& url);

// For its lifetime, on this thread, each host's choice is made once (nested
// scopes share the outer one's).
class PassScope
{
public:
    PassScope();
    ~PassScope();
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;
};

// Tests: where the user's settings and the automatic look-up come from
// (empty functions: the platform's); every kept look-up is forgotten.
using SettingsReader = std::function<UserSettings()>;
using LookUpFunction = std::function<bool(const std::wstring& url, const UserSettings& settings, Choice& choice)>;
void SetPlatformForTest(SettingsReader readSettings, LookUpFunction lookUp);

} // namespace LSUserProxy
