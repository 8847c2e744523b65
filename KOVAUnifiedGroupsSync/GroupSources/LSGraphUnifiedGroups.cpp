#include "LSGraphUnifiedGroups.h"

#include "LSAuthRegistrations.h"
#include "LSGraphDrives.h"
#include "LSGraphJson.h"
#include "LSGroupSource.h"
#include "LSLibraryCache.h"
#include "LSListingRefused.h"
#include "LSLog.h"
#include "LSSecureAddress.h"
#include "hresult_exception.h"

#include <set>

namespace {

using LSGraphJson::Json;
using LSGraphJson::Utf8;
using LSGraphJson::Wide;

const wchar_t* const ListingPath = L"me/memberOf/microsoft.graph.group?$select=id,displayName,groupTypes&$top=999";
const wchar_t* const BearerPrefix = L"Bearer ";
const wchar_t* const DocumentLibraryName = L"Files";
const char* const UnifiedGroupType = "Unified";
const wchar_t* const GraphRootSetting = L"KOVAUnifiedGroups.GraphRoot";
// A server that hands out a new next link on every page would be followed for
// ever; no real listing comes near these. The host counts items in 16 bits.
constexpr size_t MostListingPages = 100;
constexpr size_t MostListedGroups = 65535;

struct ListedGroup
{
    std::wstring idText;
    std::wstring displayName;
};

void RequireDocumentLibrary(const std::wstring& resourceName)
{
    if (resourceName == DocumentLibraryName)
        return;
    LS_ERROR_LOG << "Group resource \"" << ToLogText(resourceName)
                 << "\" is not available over Microsoft Graph: only the document library (\"Files\") is";
    throw hresult_exception(E_INVALIDARG, "KOVAUnifiedGroups.GroupResourceName");
}

// Distribution lists and security groups come in the same listing.
bool IsUnified(const Json& entry)
{
    const Json* types = LSGraphJson::Find(entry, "groupTypes");
    if (!types || types->is_null())
        return false;
    if (!types->is_array())
        LSGraphJson::ThrowInvalidAnswer("a listed group's groupTypes is not an array");
    for (const Json& type : *types)
        if (type.is_string() && type.get<std::string>() == UnifiedGroupType)
            return true;
    return false;
}

void AppendUnifiedGroups(const Json& page, std::vector<ListedGroup>& groups)
{
    for (const Json& entry : LSGraphJson::RequireArray(page, "value", "a group listing page"))
    {
        if (!entry.is_object())
            LSGraphJson::ThrowInvalidAnswer("a group listing entry is not an object");
        if (!IsUnified(entry))
            continue;
        groups.push_back({Wide(LSGraphJson::RequireString(entry, "id", "a listed group")),
                          Wide(LSGraphJson::RequireString(entry, "displayName", "a listed group"))});
    }
}

// The bearer token goes only where the root is, and a link already followed
// would page for ever.
std::wstring NextPageUrl(const Json& link, const std::wstring& root, std::set<std::wstring>& followed)
{
    if (!link.is_string())
        LSGraphJson::ThrowInvalidAnswer("@odata.nextLink is not text");
    const CStdStr url(Wide(link.get<std::string>()));
    if (url.size() <= root.size() || !CStdStr(url.substr(0, root.size())).EqualsNoCase(root))
        LSGraphJson::ThrowInvalidAnswer("@odata.nextLink " + Utf8(url) + " leads outside " + Utf8(root));
    if (!followed.insert(url).second)
        LSGraphJson::ThrowInvalidAnswer("@odata.nextLink " + Utf8(url) + " repeats an earlier page");
    if (followed.size() > MostListingPages)
        LSGraphJson::ThrowInvalidAnswer("the group listing goes on beyond " + std::to_string(MostListingPages) +
                                        " pages");
    LSSecureAddress::Require(url, L"@odata.nextLink of a group listing page");
    return url;
}

void RequireGroupCountWithinLimit(const std::vector<ListedGroup>& groups)
{
    if (groups.size() > MostListedGroups)
        LSGraphJson::ThrowInvalidAnswer("the group listing holds more than " + std::to_string(MostListedGroups) +
                                        " groups");
}

std::vector<ListedGroup> ListUnifiedGroups(const std::wstring& root, const std::wstring& authorization,
                                           ILSShutdownInformerPtr& shutdownInformer)
{
    std::vector<ListedGroup> groups;
    std::wstring url = root + ListingPath;
    std::set<std::wstring> followed{url};
    for (;;)
    {
        const Json page = LSGraphJson::Exchange(url, L"GET", authorization, std::string(), shutdownInformer);
        AppendUnifiedGroups(page, groups);
        RequireGroupCountWithinLimit(groups);
        const Json* next = LSGraphJson::Find(page, "@odata.nextLink");
        if (!next || next->is_null())
            return groups;
        url = NextPageUrl(*next, root, followed);
    }
}

// The drive of every listed group: remembered while fresh, asked otherwise.
// A library the service gave is remembered; a missing one (the group waits)
// never is.
std::vector<LSGraphDrives::Drive> Drives(const std::wstring& root, const std::wstring& authorization,
                                         const std::vector<std::wstring>& ids, LSLibraryCache::Pass& libraries,
                                         ILSShutdownInformerPtr& shutdownInformer)
{
    std::vector<LSGraphDrives::Drive> drives(ids.size());
    std::vector<std::wstring> askedIds;
    std::vector<size_t> asked;
    for (size_t i = 0; i < ids.size(); ++i)
    {
        if (libraries.Fresh(i))
            drives[i].webUrl = *libraries.Fresh(i);
        else
        {
            askedIds.push_back(ids[i]);
            asked.push_back(i);
        }
    }
    if (asked.empty())
        return drives;
    std::vector<LSGraphDrives::Drive> answers =
        LSGraphDrives::DocumentLibraries(root, authorization, askedIds, shutdownInformer);
    for (size_t k = 0; k < asked.size(); ++k)
    {
        if (!answers[k].missing)
            libraries.Learn(asked[k], answers[k].webUrl);
        drives[asked[k]] = std::move(answers[k]);
    }
    return drives;
}

} // namespace

LSGraphUnifiedGroups::LSGraphUnifiedGroups(const std::wstring& clientId, const std::wstring& cacheFilePath,
                                           const std::wstring& scope)
    : LSGetAuthTokens(clientId, LSAuthRegistrations::NativeClientRedirectAddress, cacheFilePath, scope),
      m_tokenCachePath(cacheFilePath)
{
}

std::wstring LSGraphUnifiedGroups::RootWithSlash(const std::wstring& graphRoot)
{
    return graphRoot.empty() || graphRoot.back() != L'/' ? graphRoot + L'/' : graphRoot;
}

LSGraphUnifiedGroups::LSGroupList LSGraphUnifiedGroups::GetCurrentGroups(const std::wstring& graphRoot,
                                                                         const std::wstring& resourceName,
                                                                         ILSShutdownInformerPtr& shutdownInformer)
{
    if (graphRoot.empty() || resourceName.empty())
        throw hresult_exception(E_INVALIDARG, "GetCurrentGroups");
    RequireDocumentLibrary(resourceName);
    LSSecureAddress::Require(graphRoot, GraphRootSetting);
    const std::wstring root = RootWithSlash(graphRoot);

    // The drive batches reuse the authorization of the listing that succeeded.
    std::wstring authorization;
    std::vector<ListedGroup> listed;
    bool listingDone = false;
    LSListingRefused::Run([&] {
        CallWithAccessToken(
            [&](const std::wstring& token) {
                authorization = BearerPrefix + token;
                listed = ListUnifiedGroups(root, authorization, shutdownInformer);
                listingDone = true;
            },
            shutdownInformer);
    });
    if (!listingDone) // sign-in needed: no listing was sent
        throw _com_error(E_POINTER);

    // Every id is a GUID before any of them goes into a request address.
    std::vector<GUID> guids;
    guids.reserve(listed.size());
    std::vector<std::wstring> ids;
    ids.reserve(listed.size());
    for (const ListedGroup& group : listed)
    {
        guids.push_back(LSUnifiedGroups::GuidFromText(L"{" + group.idText + L"}"));
        ids.push_back(group.idText);
    }
    LSLibraryCache::Pass libraries = LSLibraryCache::Instance().Begin(
        {LSGroupSource::GraphService, root, m_tokenCachePath, resourceName}, guids);
    const std::vector<LSGraphDrives::Drive> drives = Drives(root, authorization, ids, libraries, shutdownInformer);
    LSGroupList list;
    list.groups.reserve(listed.size());
    for (size_t i = 0; i < listed.size(); ++i)
    {
        if (!drives[i].missing)
        {
            list.groups.push_back({guids[i], std::move(listed[i].displayName), drives[i].webUrl});
            continue;
        }
        LS_WARNING_LOG << "Group \"" << ToLogText(listed[i].displayName) << "\" {" << ToLogText(ids[i])
                       << "} waits for its document library: " << ToLogText(drives[i].message);
        list.waiting.push_back({guids[i], std::move(listed[i].displayName), drives[i].message});
    }
    libraries.Commit();
    LS_DIAG_LOG << "Microsoft Graph listed " << list.groups.size() << " Unified groups, " << list.waiting.size()
                << " waiting for their document library, " << libraries.FreshCount() << " libraries remembered";
    return list;
}
