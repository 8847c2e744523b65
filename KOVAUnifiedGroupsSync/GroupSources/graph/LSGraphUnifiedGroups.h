#pragma once
// The Unified Groups client over Microsoft Graph, for tenants where EWS is
// switched off: the user's Microsoft 365 groups and the address of each
// group's document library, as the same records the EWS client returns. A
// group's Graph id is the directory object id EWS calls
// ExternalDirectoryObjectId, so items keep their identifiers across paths.
#include "KOVACommon/auth/LSGetAuthTokens.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupRecords.h"

#include <string>
#include <vector>

class LSGraphUnifiedGroups : public LSGetAuthTokens
{
public:
    // scope: what the tokens are asked for (see ScopeForRoot).
    LSGraphUnifiedGroups(const std::wstring& clientId, const std::wstring& cacheFilePath,
                         const std::wstring& scope = LSAuthRegistrations::GraphScope);

    // graphRoot: the service root, e.g. "https://graph.microsoft.com/v1.0/",
    // checked by the group source when it made this client.
    // Only the document library ("Files") is available over Graph: any other
    // resource name fails with E_INVALIDARG. A group whose library the
    // service does not have yet, or gives an address the host must not open,
    // waits for it, with a warning line. A listed group without its id (a
    // GUID), name or types fails the pass: it could not be told apart.
    LSGroupList GetCurrentGroups(const std::wstring& graphRoot, const std::wstring& resourceName);

    // The root with a "/" appended unless it ends with one.
    static std::wstring RootWithSlash(const std::wstring& graphRoot);

private:
    // Keeps this user's remembered libraries apart from other profiles'.
    std::wstring m_tokenCachePath;
};
