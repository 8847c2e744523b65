#pragma once
// The Unified Groups client: lists the user's Microsoft 365 groups over
// Exchange Web Services and fetches each group's named resource address.
#include "KOVACommon/auth/LSGetAuthTokens.h"

#include <windows.h>
#include <string>
#include <vector>

class LSUnifiedGroups : public LSGetAuthTokens
{
public:
    struct LSUnifiedGroup
    {
        GUID id;
        std::wstring displayName;
        std::wstring url;
    };
    // A group whose document library does not exist yet (Graph answered 404
    // or 403 for its drive): no item in this pass, and not deleted either.
    struct LSWaitingGroup
    {
        GUID id;
        std::wstring displayName;
        std::wstring message; // the service's own words
    };
    // One pass's answer: the groups that are items, and those that wait.
    struct LSGroupList
    {
        std::vector<LSUnifiedGroup> groups;
        std::vector<LSWaitingGroup> waiting;
    };

    // scope: what the tokens are asked for (see ScopeForRoot).
    LSUnifiedGroups(const std::wstring& clientId, const std::wstring& cacheFilePath,
                    const std::wstring& scope = LSAuthRegistrations::ExchangeOnlineScope);

    std::vector<LSUnifiedGroup> GetCurrentGroups(const std::wstring& serviceAddress,
                                                 const std::wstring& resourceName,
                                                 ILSShutdownInformerPtr& shutdownInformer);

    // The EWS endpoint under a service root: one "/" (added unless the root
    // ends with one), then "EWS/Exchange.asmx".
    static std::wstring EndpointFor(const std::wstring& serviceAddress);
    // A group id text as a GUID; the parser's HRESULT is thrown as a bare code.
    static GUID GuidFromText(const std::wstring& text);

private:
    // Keeps this user's remembered libraries apart from other profiles'.
    std::wstring m_tokenCachePath;
};
