#pragma once
// The current user's Internet proxy settings, set on each WinHTTP request:
// a named proxy (with its bypass list), or the proxy that auto-detection or a
// configuration script chooses for the address. Loopback addresses go direct
// and cost no look-up. (Under Wine the request object ignores the proxy it is
// given.)
#include "WinHttpRequest_h.h"

#include <string>

namespace LSUserProxy {

struct Choice
{
    bool direct = true;
    std::wstring proxy;  // "host:port" list as the settings give it
    std::wstring bypass; // may be empty
};

Choice ForUrl(const std::wstring& url);
HRESULT Apply(IWinHttpRequest& request, const std::wstring& url);

} // namespace LSUserProxy
