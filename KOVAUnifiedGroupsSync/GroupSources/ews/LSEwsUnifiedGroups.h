#pragma once
// The Unified Groups client over Exchange Web Services: lists the user's
// Microsoft 365 groups and fetches each group's named resource address.
#include "KOVACommon/auth/LSGetAuthTokens.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupRecords.h"

#include <windows.h>
#include <string>
#include <vector>

class LSEwsUnifiedGroups : public LSGetAuthTokens
{
public:
    // scope: what the tokens are asked for (see ScopeForRoot).
    LSEwsUnifiedGroups(const std::wstring& clientId, const std::wstring& cacheFilePath,
                       const std::wstring& scope = LSAuthRegistrations::ExchangeOnlineScope);

    // serviceAddress: the service root, where the token goes; the group source
    // checked it when it made this client.
    std::vector<LSUnifiedGroup> GetCurrentGroups(const std::wstring& serviceAddress, const std::wstring& resourceName);

    // The EWS endpoint under a service root: one "/" (added unless the root
    // ends with one), then "EWS/Exchange.asmx".
    static std::wstring EndpointFor(const std::wstring& serviceAddress);

private:
    // Keeps this user's remembered libraries apart from other profiles'.
    std::wstring m_tokenCachePath;
};
