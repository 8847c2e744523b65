#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsResponseMessage.h"

#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSRetryAfter.h"
#include "KOVACommon/xml/LSXmlNodes.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsNamespaces.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <vector>

namespace LSEwsResponseMessage {

namespace {

const wchar_t* const ServerBusyCode = L"ErrorServerBusy";

struct Message
{
    std::wstring responseClass;
    std::wstring code;
    std::wstring text;
    uint32_t backOffSeconds = 0;
};

using LSXmlNodes::TextOf;
using LSEwsNamespaces::Messages;
using LSEwsNamespaces::Types;

IXMLDOMNodePtr MessageMember(IXMLDOMNode* message, const wchar_t* localName)
{
    return LSXmlNodes::ChildElement(message, Messages, localName);
}

// MessageXml/Value[@Name='BackOffMilliseconds'], by namespace and local names.
std::wstring BackOffText(IXMLDOMNode* message)
{
    for (const IXMLDOMNodePtr& value : LSXmlNodes::ChildElements(MessageMember(message, L"MessageXml")))
        if (LSXmlNodes::IsElement(value, Types, L"Value") &&
            LSXmlNodes::AttributeText(value, L"Name") == L"BackOffMilliseconds")
            return TextOf(value);
    return std::wstring();
}

Message Read(IXMLDOMNode* node)
{
    Message message;
    message.responseClass = LSXmlNodes::AttributeText(node, L"ResponseClass");
    message.code = TextOf(MessageMember(node, L"ResponseCode"));
    message.text = TextOf(MessageMember(node, L"MessageText"));
    message.backOffSeconds = LSRetryAfter::FromMilliseconds(BackOffText(node));
    return message;
}

[[noreturn]] void ThrowMissing(const std::wstring& operation)
{
    LS_ERROR_LOG << "EWS " << ToLogText(operation) << " failed: the answer holds no " << ToLogText(operation)
                 << "ResponseMessage";
    throw hresult_exception(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "EWS answer without its response message");
}

[[noreturn]] void ThrowFailure(const std::wstring& operation, const Message& message)
{
    LS_ERROR_LOG << "EWS " << ToLogText(operation) << " failed: ResponseClass \"" << ToLogText(message.responseClass)
                 << "\", ResponseCode \"" << ToLogText(message.code) << "\", MessageText \""
                 << ToLogText(message.text) << "\"";
    if (message.code == ServerBusyCode)
        throw LSHttpError(200, message.text, std::wstring(), message.backOffSeconds, true);
    throw hresult_exception(E_FAIL, "EWS " + WideToMultiByte(operation + L" " + message.code, CP_ACP));
}

} // namespace

IXMLDOMNodePtr Check(IXMLDOMDocument2* document, const std::wstring& operation, Expect expect)
{
    // The message comes before the groups of a listing: the walk stops at it.
    const IXMLDOMNodePtr found = LSXmlNodes::FirstDescendant(document, Messages, operation + L"ResponseMessage");
    if (!found)
    {
        if (expect == Expect::WholeList)
            ThrowMissing(operation);
        return nullptr;
    }
    const Message message = Read(found);
    if (message.responseClass == L"Success")
        return found;
    // A partial list taken as the whole one would delete the folders of the
    // groups it leaves out.
    if (message.responseClass == L"Warning" && expect == Expect::Record)
    {
        LS_WARNING_LOG << "EWS " << ToLogText(operation) << " answered with a warning: ResponseCode \""
                       << ToLogText(message.code) << "\", MessageText \"" << ToLogText(message.text) << "\"";
        return found;
    }
    ThrowFailure(operation, message);
}

} // namespace LSEwsResponseMessage
