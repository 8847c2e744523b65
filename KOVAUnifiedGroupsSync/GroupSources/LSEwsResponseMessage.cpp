#include "LSEwsResponseMessage.h"

#include "CStdStr.h"
#include "LSBaseWS.h"
#include "LSHttpError.h"
#include "LSLog.h"
#include "LSRetryAfter.h"
#include "hresult_exception.h"

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

std::wstring LocalName(IXMLDOMNode* node)
{
    BSTR raw = nullptr;
    if (FAILED(node->get_baseName(&raw)))
        return std::wstring();
    return CStdStr(_bstr_t(raw, false));
}

bool IsElementNamed(IXMLDOMNode* node, const std::wstring& localName)
{
    DOMNodeType type = NODE_INVALID;
    return node && SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT && LocalName(node) == localName;
}

// The first element of the document with that local name, in document order.
// The message comes before the groups of a listing, so the walk stops early.
IXMLDOMNodePtr FirstElementNamed(IXMLDOMDocument2* document, const std::wstring& localName)
{
    IXMLDOMNodeListPtr nodes;
    const HRESULT hr = document->selectNodes(_bstr_t(L"//*"), &nodes);
    if (FAILED(hr))
        _com_issue_errorex(hr, document, IID_IXMLDOMDocument2);
    for (IXMLDOMNodePtr node; nodes && nodes->nextNode(&node) == S_OK && node; node = nullptr)
    {
        if (IsElementNamed(node, localName))
            return node;
    }
    return nullptr;
}

// The first child element with that local name.
IXMLDOMNodePtr ChildNamed(IXMLDOMNode* parent, const std::wstring& localName)
{
    IXMLDOMNodePtr child;
    if (!parent || FAILED(parent->get_firstChild(&child)))
        return nullptr;
    while (child && !IsElementNamed(child, localName))
    {
        IXMLDOMNodePtr next;
        if (FAILED(child->get_nextSibling(&next)))
            return nullptr;
        child = next;
    }
    return child;
}

std::wstring TextOf(IXMLDOMNode* node)
{
    BSTR raw = nullptr;
    if (!node || FAILED(node->get_text(&raw)))
        return std::wstring();
    return CStdStr(_bstr_t(raw, false));
}

bool IsBackOffValue(IXMLDOMNode* node)
{
    IXMLDOMElementPtr element = node;
    _variant_t name;
    return IsElementNamed(node, L"Value") && element &&
           element->getAttribute(_bstr_t(L"Name"), &name) == S_OK && name.vt == VT_BSTR &&
           CStdStr(name.bstrVal) == L"BackOffMilliseconds";
}

// MessageXml/Value[@Name='BackOffMilliseconds'], by local names.
std::wstring BackOffText(IXMLDOMNode* message)
{
    IXMLDOMNodePtr messageXml = ChildNamed(message, L"MessageXml");
    IXMLDOMNodePtr child;
    if (!messageXml || FAILED(messageXml->get_firstChild(&child)))
        return std::wstring();
    while (child && !IsBackOffValue(child))
    {
        IXMLDOMNodePtr next;
        if (FAILED(child->get_nextSibling(&next)))
            return std::wstring();
        child = next;
    }
    return TextOf(child);
}

std::wstring ResponseClass(IXMLDOMNode* message)
{
    IXMLDOMElementPtr element;
    _variant_t value;
    if (message->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element)) != S_OK ||
        element->getAttribute(_bstr_t(L"ResponseClass"), &value) != S_OK || value.vt != VT_BSTR)
        return std::wstring();
    return CStdStr(value.bstrVal);
}

Message Read(IXMLDOMNode* node)
{
    Message message;
    message.responseClass = ResponseClass(node);
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
    IXMLDOMNodePtr node = FirstElementNamed(document, operation + L"ResponseMessage");
    if (!node)
    {
        if (expect == Expect::WholeList)
            ThrowMissing(operation);
        return;
    }
    const Message message = Read(node);
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
