#include "LSUnifiedGroups.h"

#include "LSAuthRegistrations.h"
#include "LSBaseWS.h"
#include "LSEwsResponseMessage.h"
#include "LSGroupSource.h"
#include "LSHttpError.h"
#include "LSLibraryCache.h"
#include "LSListingRefused.h"
#include "LSLog.h"
#include "LSSecureAddress.h"
#include "LSXmlNodes.h"
#include "hresult_exception.h"

namespace {

// Both envelopes go out as one line, exactly as the service expects them.
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
const wchar_t* const ServiceRootSetting = L"KOVAUnifiedGroups.Resource";
// Unprefixed names: the parser's default selection language (XSL Patterns)
// matches them against the names as written in the answer.
const wchar_t* const GroupQuery = L"//UnifiedGroup";
const wchar_t* const IdQuery = L"ExternalDirectoryObjectId";
const wchar_t* const DisplayNameQuery = L"DisplayName";
const wchar_t* const ResourceUrlQueryFormat = L"//Resource[Name='%s']/Url";
const wchar_t* const BracedGuidFormat = L"{%s}";

// A query or element view that found nothing ends the listing.
template <typename Pointer>
Pointer& Require(Pointer& pointer)
{
    if (!pointer)
        throw _com_error(E_POINTER);
    return pointer;
}

IXMLDOMElementPtr AsElement(IXMLDOMNodePtr node)
{
    IXMLDOMElementPtr element;
    if (Require(node)->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element)) != S_OK)
        element = nullptr;
    return Require(element);
}

// The text of the element the query selects; a missing one ends the listing.
std::wstring RequiredText(IXMLDOMNode* context, const std::wstring& query)
{
    return LSXmlNodes::TextOf(AsElement(LSXmlNodes::SelectSingle(context, query)));
}

// One POST to the endpoint with the bearer value; the answer as a document,
// once its response message says the operation succeeded. Every form of
// "busy" (429, 503, the busy fault, the busy response message) is retried
// under the exchange's one retry, on a fresh request each time.
IXMLDOMDocument2Ptr Exchange(const std::wstring& endpoint, const std::wstring& authorization,
                             const std::wstring& envelope, const wchar_t* operation,
                             LSEwsResponseMessage::Expect expect, ILSShutdownInformerPtr& shutdownInformer)
{
    IXMLDOMDocument2Ptr document;
    CLSBaseWS::Exchange(
        [&] {
            ILSHttpRequestPtr request = CLSBaseWS::OpenRequest(endpoint, Method, true);
            ThrowIfFailedCom(
                request->SetRequestHeader(_bstr_t(AuthorizationHeader), _bstr_t(authorization.c_str())));
            return request;
        },
        endpoint, envelope, shutdownInformer,
        [&](ILSHttpRequest& request) {
            document = CLSBaseWS::SanitiseXMLDocument(request);
            LSEwsResponseMessage::Check(Require(document), operation, expect);
        });
    return document;
}

IXMLDOMNodeListPtr SelectGroups(IXMLDOMDocument2Ptr& document)
{
    IXMLDOMNodeListPtr groups;
    ThrowIfFailedCom(document->selectNodes(_bstr_t(GroupQuery), &groups), document, IID_IXMLDOMDocument2);
    return Require(groups);
}

IXMLDOMNodePtr GroupNodeAt(IXMLDOMNodeListPtr& groups, long index)
{
    IXMLDOMNodePtr node;
    ThrowIfFailedCom(groups->get_item(index, &node), groups, IID_IXMLDOMNodeList);
    return node;
}

std::wstring ResourceUrl(const std::wstring& endpoint, const std::wstring& authorization, const std::wstring& idText,
                         const std::wstring& resourceName, ILSShutdownInformerPtr& shutdownInformer)
{
    IXMLDOMDocument2Ptr details =
        Exchange(endpoint, authorization, CStdStr::Format(DetailsEnvelopeFormat, idText.c_str()), DetailsOperation,
                 LSEwsResponseMessage::Expect::Record, shutdownInformer);
    const CStdStr query = CStdStr::Format(ResourceUrlQueryFormat, resourceName.c_str());
    return RequiredText(details, query);
}

std::vector<GUID> Ids(const std::vector<LSUnifiedGroups::LSUnifiedGroup>& groups)
{
    std::vector<GUID> ids;
    ids.reserve(groups.size());
    for (const LSUnifiedGroups::LSUnifiedGroup& group : groups)
        ids.push_back(group.id);
    return ids;
}

} // namespace

LSUnifiedGroups::LSUnifiedGroups(const std::wstring& clientId, const std::wstring& cacheFilePath,
                                 const std::wstring& scope)
    : LSGetAuthTokens(clientId, LSAuthRegistrations::NativeClientRedirectAddress, cacheFilePath, scope),
      m_tokenCachePath(cacheFilePath)
{
}

std::wstring LSUnifiedGroups::EndpointFor(const std::wstring& serviceAddress)
{
    std::wstring endpoint = serviceAddress;
    if (endpoint.empty() || endpoint.back() != L'/')
        endpoint += L'/';
    return endpoint + EndpointSuffix;
}

GUID LSUnifiedGroups::GuidFromText(const std::wstring& text)
{
    const bool leaveAsIs = text.empty() || text.front() == L'{' || text.back() == L'}';
    const CStdStr braced = leaveAsIs ? CStdStr(text) : CStdStr::Format(BracedGuidFormat, text.c_str());
    GUID id = {};
    const HRESULT hr = IIDFromString(braced.c_str(), &id);
    if (FAILED(hr))
        ThrowHr(hr);
    return id;
}

std::vector<LSUnifiedGroups::LSUnifiedGroup> LSUnifiedGroups::GetCurrentGroups(
    const std::wstring& serviceAddress, const std::wstring& resourceName, ILSShutdownInformerPtr& shutdownInformer)
{
    if (serviceAddress.empty() || resourceName.empty())
        throw hresult_exception(E_INVALIDARG, "GetCurrentGroups");
    LSSecureAddress::Require(serviceAddress, ServiceRootSetting);
    const std::wstring endpoint = EndpointFor(serviceAddress);

    // The details requests reuse the authorization of the listing that succeeded.
    std::wstring authorization;
    IXMLDOMNodeListPtr groupNodes;
    LSListingRefused::Run([&] {
        CallWithAccessToken(
            [&](const std::wstring& token) {
                authorization = BearerPrefix + token;
                IXMLDOMDocument2Ptr listing = Exchange(endpoint, authorization, ListingEnvelope, ListingOperation,
                                                       LSEwsResponseMessage::Expect::WholeList, shutdownInformer);
                groupNodes = SelectGroups(listing);
            },
            shutdownInformer);
    });
    Require(groupNodes); // sign-in needed: no listing was sent

    long count = 0;
    ThrowIfFailedCom(groupNodes->get_length(&count), groupNodes, IID_IXMLDOMNodeList);
    std::vector<LSUnifiedGroup> groups;
    std::vector<std::wstring> idTexts;
    if (count != 0)
    {
        groups.reserve(static_cast<size_t>(count));
        idTexts.reserve(static_cast<size_t>(count));
    }
    for (long i = 0; i < count; ++i)
    {
        IXMLDOMElementPtr group = AsElement(GroupNodeAt(groupNodes, i));
        const std::wstring idText = RequiredText(group, IdQuery);
        const CStdStr bracedId = CStdStr::Format(BracedGuidFormat, idText.c_str());
        std::wstring displayName = RequiredText(group, DisplayNameQuery);
        groups.push_back({GuidFromText(bracedId), std::move(displayName), std::wstring()});
        idTexts.push_back(idText);
    }
    // The listing's document goes before the details requests: kept alive,
    // a large one made every later exchange slower.
    groupNodes = nullptr;
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
        groups[i].url = ResourceUrl(endpoint, authorization, idTexts[i], resourceName, shutdownInformer);
        libraries.Learn(i, groups[i].url);
    }
    libraries.Commit();
    LS_DIAG_LOG << "EWS listed " << groups.size() << " groups, " << libraries.FreshCount()
                << " of their libraries remembered";
    return groups;
}
