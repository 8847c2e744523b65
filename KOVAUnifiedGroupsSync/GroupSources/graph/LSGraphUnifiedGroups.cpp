#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphUnifiedGroups.h"

#include "KOVACommon/auth/LSAuthRegistrations.h"
#include "KOVACommon/http/LSSecureAddress.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSLibraryCache.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSListingRefused.h"
#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphDrives.h"
#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphJson.h"
#include "QuorvalCommon/LSGuidText.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace {

using LSGraphJson::Json;
using LSGraphJson::Utf8;
using LSGraphJson::Wide;

const wchar_t* const ListingPath = L"me/memberOf/microsoft.graph.group?$select=id,displayName,groupTypes&$top=999";
const wchar_t* const BearerPrefix = L"Bearer ";
const wchar_t* const DocumentLibraryName = L"Files";
const char* const UnifiedGroupType = "Unified";
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
    throw hresult_exception(E_INVALIDARG, ToLogText(LSSettingTable::GroupResourceName.name));
}

const char* const GroupType = "#microsoft.graph.group";
// What a listing of groups without names and types means: Graph answers so
// when the registration lacks the permission to read them.
const char* const NarrowedPermission =
    "the service returned groups without their names and types: the client registration probably lacks the "
    "delegated permission GroupMember.Read.All (admin consent)";

bool IsAbsent(const Json& entry, const char* name)
{
    const Json* value = LSGraphJson::Find(entry, name);
    return !value || value->is_null();
}

// The listing is cast to groups; an entry that names another type (a
// directory role, an administrative unit) is no group. One without a type is.
bool IsGroupEntry(const Json& entry)
{
    if (!entry.is_object())
        LSGraphJson::ThrowInvalidAnswer("a group listing entry is not an object");
    if (IsAbsent(entry, "@odata.type"))
        return true;
    const Json& type = *LSGraphJson::Find(entry, "@odata.type");
    if (!type.is_string())
        LSGraphJson::ThrowInvalidAnswer("a listed entry's @odata.type is not text");
    return type.get<std::string>() == GroupType;
}

bool IsGuidText(const std::string& text)
{
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    return true;
}

void RequireGuidId(const Json& entry)
{
    const std::string id = LSGraphJson::RequireString(entry, "id", "a listed group");
    if (!IsGuidText(id))
        LSGraphJson::ThrowInvalidAnswer("a listed group's id \"" + id + "\" is not a GUID");
}

// A group without its name and type could not be told a Microsoft 365 group:
// taken as none, the list would lose it and the host its folder.
bool LacksNameAndTypes(const Json& entry)
{
    return IsAbsent(entry, "displayName") && IsAbsent(entry, "groupTypes");
}

// Distribution lists and security groups come in the same listing.
bool IsUnified(const Json& entry)
{
    for (const Json& type : LSGraphJson::RequireArray(entry, "groupTypes", "a listed group"))
        if (type.is_string() && type.get<std::string>() == UnifiedGroupType)
            return true;
    return false;
}

// The page's group entries, each with a GUID for its id.
std::vector<const Json*> GroupEntries(const Json& page)
{
    std::vector<const Json*> entries;
    for (const Json& entry : LSGraphJson::RequireArray(page, "value", "a group listing page"))
    {
        if (!IsGroupEntry(entry))
            continue;
        RequireGuidId(entry);
        entries.push_back(&entry);
    }
    return entries;
}

// Every group entry must carry its id, its name (text, possibly empty) and
// its types; the Microsoft 365 groups among them are kept.
void AppendUnifiedGroups(const Json& page, std::vector<ListedGroup>& groups)
{
    const std::vector<const Json*> entries = GroupEntries(page);
    const auto lacking = [](const Json* entry) { return LacksNameAndTypes(*entry); };
    if (!entries.empty() && std::all_of(entries.begin(), entries.end(), lacking))
        LSGraphJson::ThrowInvalidAnswer(NarrowedPermission);
    for (const Json* entry : entries)
    {
        const std::string name = LSGraphJson::RequireString(*entry, "displayName", "a listed group");
        if (IsUnified(*entry))
            groups.push_back({Wide(LSGraphJson::RequireString(*entry, "id", "a listed group")), Wide(name)});
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

std::vector<ListedGroup> ListUnifiedGroups(const std::wstring& root, const std::wstring& authorization)
{
    std::vector<ListedGroup> groups;
    std::wstring url = root + ListingPath;
    std::set<std::wstring> followed{url};
    for (;;)
    {
        const Json page = LSGraphJson::Exchange(url, L"GET", authorization, std::string());
        AppendUnifiedGroups(page, groups);
        RequireGroupCountWithinLimit(groups);
        // Only a page without a next link is the last; anything else there
        // (null included) is no end of the listing.
        const Json* next = LSGraphJson::Find(page, "@odata.nextLink");
        if (!next)
            return groups;
        url = NextPageUrl(*next, root, followed);
    }
}

// The drive of every listed group: remembered while fresh, asked otherwise.
// A library the service gave is remembered; none (the group waits)
// never is.
std::vector<LSGraphDrives::Drive> Drives(const std::wstring& root, const std::wstring& authorization,
                                         const std::vector<std::wstring>& ids, LSLibraryCache::Pass& libraries)
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
        LSGraphDrives::DocumentLibraries(root, authorization, askedIds);
    for (size_t k = 0; k < asked.size(); ++k)
    {
        if (!answers[k].waits)
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

LSGroupList LSGraphUnifiedGroups::GetCurrentGroups(const std::wstring& graphRoot, const std::wstring& resourceName)
{
    if (graphRoot.empty() || resourceName.empty())
        throw hresult_exception(E_INVALIDARG, "GetCurrentGroups");
    RequireDocumentLibrary(resourceName);
    const std::wstring root = RootWithSlash(graphRoot);

    // The drive batches reuse the authorization of the listing that succeeded.
    std::wstring authorization;
    std::vector<ListedGroup> listed;
    bool listingDone = false;
    LSListingRefused::Run([&] {
        CallWithAccessToken(
            [&](const std::wstring& token) {
                authorization = BearerPrefix + token;
                listed = ListUnifiedGroups(root, authorization);
                listingDone = true;
            });
    });
    if (!listingDone) // sign-in needed: no listing was sent
        throw hresult_exception::Com(E_POINTER);

    // Every id is a GUID before any of them goes into a request address.
    std::vector<GUID> guids;
    guids.reserve(listed.size());
    std::vector<std::wstring> ids;
    ids.reserve(listed.size());
    for (const ListedGroup& group : listed)
    {
        guids.push_back(LSGuidText::FromText(L"{" + group.idText + L"}"));
        ids.push_back(group.idText);
    }
    LSLibraryCache::Pass libraries = LSLibraryCache::Instance().Begin(
        {LSGroupSource::GraphService, root, m_tokenCachePath, resourceName}, guids);
    const std::vector<LSGraphDrives::Drive> drives = Drives(root, authorization, ids, libraries);
    LSGroupList list;
    list.groups.reserve(listed.size());
    for (size_t i = 0; i < listed.size(); ++i)
    {
        if (!drives[i].waits)
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
