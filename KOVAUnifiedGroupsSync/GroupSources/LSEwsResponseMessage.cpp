#include "LSEwsResponseMessage.h"

#include "CStdStr.h"
#include "LSBaseWS.h"
#include "LSHttpError.h"
#include "LSLog.h"
#include "LSRetryAfter.h"
#include "LSXmlNodes.h"
#include "hresult_exception.h"

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

bool IsElementNamed(IXMLDOMNode* node, const std::wstring& localName)
{
    if (!node)
        return false;
    DOMNodeType type = NODE_INVALID;
    ThrowIfFailedCom(node->get_nodeType(&type), node, IID_IXMLDOMNode);
    return type == NODE_ELEMENT && LSXmlNodes::LocalName(node) == localName;
}

// The first child of parent that matches; null when none does (or no parent).
template <typename Match>
IXMLDOMNodePtr FirstChild(IXMLDOMNode* parent, Match matches)
{
    IXMLDOMNodePtr child;
    if (!parent)
        return nullptr;
    ThrowIfFailedCom(parent->get_firstChild(&child), parent, IID_IXMLDOMNode);
    while (child && !matches(child))
    {
        IXMLDOMNodePtr next;
        ThrowIfFailedCom(child->get_nextSibling(&next), child, IID_IXMLDOMNode);
        child = next;
    }
    return child;
}

IXMLDOMNodePtr ChildNamed(IXMLDOMNode* parent, const std::wstring& localName)
{
    return FirstChild(parent, [&](IXMLDOMNode* child) { return IsElementNamed(child, localName); });
}

bool IsBackOffValue(IXMLDOMNode* node)
{
    return IsElementNamed(node, L"Value") && LSXmlNodes::AttributeText(node, L"Name") == L"BackOffMilliseconds";
}

// MessageXml/Value[@Name='BackOffMilliseconds'], by local names.
std::wstring BackOffText(IXMLDOMNode* message)
{
    return TextOf(FirstChild(ChildNamed(message, L"MessageXml"), IsBackOffValue));
}

Message Read(IXMLDOMNode* node)
{
    Message message;
    message.responseClass = LSXmlNodes::AttributeText(node, L"ResponseClass");
    message.code = TextOf(ChildNamed(node, L"ResponseCode"));
    message.text = TextOf(ChildNamed(node, L"MessageText"));
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

void Check(IXMLDOMDocument2* document, const std::wstring& operation, Expect expect)
{
    // The message comes before the groups of a listing: the walk stops at it.
    const std::vector<IXMLDOMElementPtr> found = LSXmlNodes::ElementsNamed(document, operation + L"ResponseMessage", 1);
    if (found.empty())
    {
        if (expect == Expect::WholeList)
            ThrowMissing(operation);
        return;
    }
    const Message message = Read(found.front());
    if (message.responseClass == L"Success")
        return;
    // A partial list taken as the whole one would delete the folders of the
    // groups it leaves out.
    if (message.responseClass == L"Warning" && expect == Expect::Record)
    {
        LS_WARNING_LOG << "EWS " << ToLogText(operation) << " answered with a warning: ResponseCode \""
                       << ToLogText(message.code) << "\", MessageText \"" << ToLogText(message.text) << "\"";
        return;
    }
    ThrowFailure(operation, message);
}

} // namespace LSEwsResponseMessage
