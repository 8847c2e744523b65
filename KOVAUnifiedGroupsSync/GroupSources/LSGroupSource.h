#pragma once
// Where the filter's group list comes from: EWS, Microsoft Graph, or the
// "Auto" rule over the two. Chosen by KOVAUnifiedGroups.Backend; the filter
// only asks the source and replaces its list with the answer.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupRecords.h"

#include <memory>
#include <string>
#include <vector>

// What the filter knows for the sources; each source reads its own service
// root when it is made.
struct LSGroupSourceSettings
{
    std::wstring clientId;
    std::wstring cacheFilePath;
    std::wstring resourceName;
};

class LSGroupSource
{
public:
    using Group = LSUnifiedGroup;
    using GroupList = LSGroupList;
    enum class Kind { Auto, Ews, Graph };

    virtual ~LSGroupSource() = default;

    // The whole list (with the groups that wait for their library), or an
    // exception; never part of one.
    virtual GroupList GetCurrentGroups() = 0;
    // The service that produced the last list: "EWS" or "Graph".
    virtual std::wstring Service() const = 0;

    // KOVAUnifiedGroups.Backend: "Auto" (the default), "EWS" or "Graph", in
    // any case; any other value fails with E_INVALIDARG and an error line.
    static Kind ConfiguredKind();
    // Reads the service roots the kind asks (KOVAUnifiedGroups.Resource,
    // KOVAUnifiedGroups.GraphRoot) and checks them, before any token is asked
    // for: an address the token may not go to fails with E_ACCESSDENIED.
    static std::unique_ptr<LSGroupSource> Create(Kind kind, const LSGroupSourceSettings& settings);

    static constexpr const wchar_t* EwsService = L"EWS";
    static constexpr const wchar_t* GraphService = L"Graph";
};
