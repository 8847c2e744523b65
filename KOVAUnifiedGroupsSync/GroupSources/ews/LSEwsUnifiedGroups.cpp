#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsUnifiedGroups.h"

#include "KOVACommon/LSHttpRequestFactory.h"
#include "KOVACommon/auth/LSAuthRegistrations.h"
#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSSecureAddress.h"
#include "KOVACommon/xml/LSXmlNodes.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSLibraryAddress.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSLibraryCache.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSListingRefused.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsListing.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsNamespaces.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsResponseMessage.h"
#include "QuorvalCommon/LSGuidText.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace {

// Both envelopes go out as one line, exactly as the service expects them.
// The listing's GroupsLimit is LSEwsListing::GroupsLimit.
const wchar_t* const ListingEnvelope =
    L"<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Header>"
    L"<RequestServerVersion Version=\"Exchange2015\" "
    L"xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\"/>"
    L"<MailboxCulture xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\">en-US</MailboxCulture>"
    L"</s:Header><s:Body>"
    L"<a:GetUserUnifiedGroups xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\" "
    L"xmlns:a=\"http://schemas.microsoft.com/exchange/services/2006/messages\">"
    L"<a:RequestedGroupsSets><RequestedUnifiedGroupsSet><FilterType>All</FilterType>"
    L"<SortDirection>Descending</SortDirection><GroupsLimit>1000</GroupsLimit></RequestedUnifiedGroupsSet>"
    L"</a:RequestedGroupsSets></a:GetUserUnifiedGroups></s:Body></s:Envelope>";

// One placeholder: the group's ExternalDirectoryObjectId as listed.
const wchar_t* const DetailsEnvelopeFormat =
    L"<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Header>"
    L"<RequestServerVersion Version=\"V2016_01_06\" "
    L"xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\"/>"
    L"<MailboxCulture xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\">en-US</MailboxCulture>"
    L"</s:Header><s:Body>"
    L"<GetUnifiedGroupDetails xmlns=\"http://schemas.microsoft.com/exchange/services/2006/messages\">"
    L"<GroupIdentity xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\">"
    L"<Type>ExternalDirectoryObjectId</Type><Value>%s</Value></GroupIdentity>"
    L"<GroupDetailsResponseShape xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\">Basic"
    L"</GroupDetailsResponseShape>"
    L"<AdditionalProperties><Property>ExternalMemberCount</Property></AdditionalProperties>"
    L"<IncludeCapabilities>false</IncludeCapabilities></GetUnifiedGroupDetails></s:Body></s:Envelope>";

const wchar_t* const ListingOperation = L"GetUserUnifiedGroups";
const wchar_t* const DetailsOperation = L"GetUnifiedGroupDetails";
const wchar_t* const EndpointSuffix = L"EWS/Exchange.asmx";
const wchar_t* const Method = L"POST";
const wchar_t* const AuthorizationHeader = L"Authorization";
const wchar_t* const BearerPrefix = L"Bearer ";

// A query or element view that found nothing ends the listing.
template <typename Pointer>
Pointer& Require(Pointer& pointer)
{
    if (!pointer)
        throw hresult_exception::Com(E_POINTER);
    return pointer;
}

// An answer's document and its response message (null for a record without one).
struct Answer
{
    IXMLDOMDocument2Ptr document;
    IXMLDOMNodePtr message;
};

// One POST to the endpoint with the bearer value; the answer, once its
// response message says the operation succeeded. Every form of "busy" (429,
// 503, the busy fault, the busy response message) is retried under the
// exchange's one retry, on a fresh request each time.

Answer Exchange(const std::wstring& endpoint, const std::wstring& authorization, const std::wstring& envelope,
                const wchar_t* operation, LSEwsResponseMessage::Expect expect)
{
    Answer answer;
    CLSBaseWS::Exchange(
        [&] {
            ILSHttpRequestPtr request = LSHttpRequestFactory::OpenRequest(endpoint, Method, true);
            ThrowIfFailedCom(
                request->SetRequestHeader(_bstr_t(AuthorizationHeader), _bstr_t(authorization.c_str())));
            return request;
        },
        endpoint, envelope,
        [&](ILSHttpRequest& request) {
            answer.document = CLSBaseWS::SanitiseXMLDocument(request);
            answer.message = LSEwsResponseMessage::Check(Require(answer.document), operation, expect);
        });
    return answer;
}

// The first resource (in document order) of that name, by namespace and
// local names; its Url is the group's address of that resource.
std::wstring ResourceUrlIn(IXMLDOMNode* details, const std::wstring& resourceName)
{
    using LSEwsNamespaces::Types;
    IXMLDOMNodePtr resource = LSXmlNodes::FindDescendant(details, [&](IXMLDOMNode* node) {
        return LSXmlNodes::IsElement(node, Types, L"Resource") &&
               LSXmlNodes::TextOf(LSXmlNodes::ChildElement(node, Types, L"Name")) == resourceName;
    });
    IXMLDOMNodePtr url = LSXmlNodes::ChildElement(Require(resource), Types, L"Url");
    return LSXmlNodes::TextOf(Require(url));
}

// The host opens the address: one it cannot open safely fails the pass, as
// no resource would (EWS lists the resources with the group, so none is
// still being made).
void RequireUsableAddress(const std::wstring& idText, const std::wstring& resourceName, const std::wstring& url)
{
    if (LSLibraryAddress::IsAcceptable(url))
        return;
    LS_ERROR_LOG << "EWS gave group {" << ToLogText(idText) << "} the " << ToLogText(resourceName) << " address \""
                 << ToLogText(LSSecureAddress::Printable(url)) << "\", which is not an absolute https address";
    throw hresult_exception(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "EWS resource address not usable");
}

std::wstring ResourceUrl(const std::wstring& endpoint, const std::wstring& authorization, const std::wstring& idText,
                         const std::wstring& resourceName)
{
    const Answer details =
        Exchange(endpoint, authorization, CStdStr::Format(DetailsEnvelopeFormat, idText.c_str()), DetailsOperation,
                 LSEwsResponseMessage::Expect::Record);
    // Without a response message (a record may lack one) the whole answer is searched.
    IXMLDOMNode* within = details.message ? details.message.GetInterfacePtr() : details.document.GetInterfacePtr();
    const std::wstring url = ResourceUrlIn(within, resourceName);
    RequireUsableAddress(idText, resourceName, url);
    return url;
}

std::vector<GUID> Ids(const std::vector<LSUnifiedGroup>& groups)
{
    std::vector<GUID> ids;
    ids.reserve(groups.size());
    for (const LSUnifiedGroup& group : groups)
        ids.push_back(group.id);
    return ids;
}

} // namespace

LSEwsUnifiedGroups::LSEwsUnifiedGroups(const std::wstring& clientId, const std::wstring& cacheFilePath,
                                       const std::wstring& scope)
    : LSGetAuthTokens(clientId, LSAuthRegistrations::NativeClientRedirectAddress, cacheFilePath, scope),
      m_tokenCachePath(cacheFilePath)
{
}

std::wstring LSEwsUnifiedGroups::EndpointFor(const std::wstring& serviceAddress)
{
    std::wstring endpoint = serviceAddress;
    if (endpoint.empty() || endpoint.back() != L'/')
        endpoint += L'/';
    return endpoint + EndpointSuffix;
}

std::vector<LSUnifiedGroup> LSEwsUnifiedGroups::GetCurrentGroups(
    const std::wstring& serviceAddress, const std::wstring& resourceName)
{
    if (serviceAddress.empty() || resourceName.empty())
        throw hresult_exception(E_INVALIDARG, "GetCurrentGroups");
    const std::wstring endpoint = EndpointFor(serviceAddress);

    // The details requests reuse the authorization of the listing that succeeded.
    std::wstring authorization;
    std::vector<LSEwsListing::Entry> entries;
    bool listed = false;
    LSListingRefused::Run([&] {
        CallWithAccessToken(
            [&](const std::wstring& token) {
                authorization = BearerPrefix + token;
                // The listing's document goes before the details requests:
                // kept alive, a large one made every later exchange slower.
                const Answer listing = Exchange(endpoint, authorization, ListingEnvelope, ListingOperation,
                                                LSEwsResponseMessage::Expect::WholeList);
                entries = LSEwsListing::Read(listing.message);
                listed = true;
            });
    });
    if (!listed) // sign-in needed: no listing was sent
        throw hresult_exception::Com(E_POINTER);

    std::vector<LSUnifiedGroup> groups;
    groups.reserve(entries.size());
    for (LSEwsListing::Entry& entry : entries)
    {
        // Always braced: an id the service sent with braces of its own fails.
        const GUID id = LSGuidText::FromText(L"{" + entry.idText + L"}");
        groups.push_back({id, std::move(entry.displayName), std::wstring()});
    }
    // Only groups without a fresh remembered library are asked for theirs.
    LSLibraryCache::Pass libraries = LSLibraryCache::Instance().Begin(
        {LSGroupSource::EwsService, endpoint, m_tokenCachePath, resourceName}, Ids(groups));
    for (size_t i = 0; i < groups.size(); ++i)
    {
        if (libraries.Fresh(i))
        {
            groups[i].url = *libraries.Fresh(i);
            continue;
        }
        groups[i].url = ResourceUrl(endpoint, authorization, entries[i].idText, resourceName);
        libraries.Learn(i, groups[i].url);
    }
    libraries.Commit();
    LS_DIAG_LOG << "EWS listed " << groups.size() << " groups, " << libraries.FreshCount()
                << " of their libraries remembered";
    return groups;
}
