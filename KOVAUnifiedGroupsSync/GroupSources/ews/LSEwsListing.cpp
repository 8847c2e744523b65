#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsListing.h"

#include "KOVACommon/xml/LSXmlNodes.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSListingTooLarge.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsNamespaces.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace LSEwsListing {

namespace {

using LSEwsNamespaces::Messages;
using LSEwsNamespaces::Types;
using LSXmlNodes::IsElement;

// The one set the request asks for.
const wchar_t* const AllFilter = L"All";

[[noreturn]] void ThrowIncomplete(const std::string& what)
{
    LS_ERROR_LOG << "EWS GetUserUnifiedGroups failed: " << what;
    throw hresult_exception(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "EWS group listing incomplete");
}

std::string NameOf(IXMLDOMNode* element)
{
    return ToLogText(L"{" + LSXmlNodes::NamespaceOf(element) + L"}" + LSXmlNodes::LocalName(element));
}

// GroupsSets holds one UnifiedGroupsSet per set asked for: here the one of
// filter "All". A set of another filter (favourites only, say) is not the
// whole list, and two sets leave unclear which one is.
IXMLDOMNodePtr AllGroupsSet(IXMLDOMNode* message)
{
    const IXMLDOMNodePtr sets = LSXmlNodes::ChildElement(message, Messages, L"GroupsSets");
    if (!sets)
        ThrowIncomplete("the answer holds no GroupsSets");
    IXMLDOMNodePtr all;
    for (const IXMLDOMNodePtr& set : LSXmlNodes::ChildElements(sets))
    {
        if (!IsElement(set, Types, L"UnifiedGroupsSet"))
            ThrowIncomplete("GroupsSets holds an unexpected element " + NameOf(set));
        const std::wstring filter = LSXmlNodes::TextOf(LSXmlNodes::ChildElement(set, Types, L"FilterType"));
        if (filter != AllFilter)
            ThrowIncomplete("a group set of filter type \"" + ToLogText(filter) + "\", not the \"All\" asked for");
        if (all)
            ThrowIncomplete("the answer holds more than one group set of filter type \"All\"");
        all = set;
    }
    if (!all)
        ThrowIncomplete("the answer's GroupsSets holds no group set");
    return all;
}

// A group without its id or its name ends the listing (E_POINTER).
Entry ReadGroup(IXMLDOMNode* group)
{
    static const std::vector<std::wstring> fields = {L"ExternalDirectoryObjectId", L"DisplayName"};
    const std::vector<IXMLDOMNodePtr> found = LSXmlNodes::ChildElements(group, Types, fields);
    if (!found[0] || !found[1])
        throw hresult_exception::Com(E_POINTER);
    return {LSXmlNodes::TextOf(found[0]), LSXmlNodes::TextOf(found[1])};
}

// TotalGroups, when the set gives it, must be the number of groups read.
void RequireTotal(IXMLDOMNode* set, size_t read)
{
    const IXMLDOMNodePtr totalNode = LSXmlNodes::ChildElement(set, Types, L"TotalGroups");
    if (!totalNode)
        return;
    const std::wstring text = LSXmlNodes::TextOf(totalNode);
    if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        ThrowIncomplete("TotalGroups \"" + ToLogText(text) + "\" is not a number of groups");
    const unsigned long total = std::stoul(text);
    if (total == read)
        return;
    const std::string counts = "the answer holds " + std::to_string(read) + " groups of TotalGroups " +
                               std::to_string(total);
    if (total > GroupsLimit)
    {
        LS_ERROR_LOG << "EWS GetUserUnifiedGroups cannot list every group: " << counts << ", and EWS lists at most "
                     << GroupsLimit << " in one answer";
        throw LSListingTooLarge("EWS group listing beyond its limit");
    }
    ThrowIncomplete(counts);
}

} // namespace

std::vector<Entry> Read(IXMLDOMNode* responseMessage)
{
    const IXMLDOMNodePtr set = AllGroupsSet(responseMessage);
    const IXMLDOMNodePtr groups = LSXmlNodes::ChildElement(set, Types, L"Groups");
    if (!groups)
        ThrowIncomplete("the group set holds no Groups");
    std::vector<Entry> entries;
    for (const IXMLDOMNodePtr& group : LSXmlNodes::ChildElements(groups))
    {
        if (!IsElement(group, Types, L"UnifiedGroup"))
            ThrowIncomplete("Groups holds an unexpected element " + NameOf(group));
        entries.push_back(ReadGroup(group));
    }
    RequireTotal(set, entries.size());
    return entries;
}

} // namespace LSEwsListing
