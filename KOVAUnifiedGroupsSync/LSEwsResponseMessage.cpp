#include "LSEwsResponseMessage.h"

#include "CStdStr.h"
#include "LSBaseWS.h"
#include "LSHttpError.h"
#include "LSLog.h"
#include "hresult_exception.h"

namespace LSEwsResponseMessage {

namespace {

const wchar_t* const ServerBusyCode = L"ErrorServerBusy";
// Unprefixed names, as the group queries use them: the parser's default
// selection language matches them against the names as written.
const wchar_t* const BackOffQuery = L"MessageXml/Value[@Name='BackOffMilliseconds']";

struct Message
{
    std::wstring responseClass;
    std::wstring code;
    std::wstring text;
    uint32_t backOffSeconds = 0;
};

IXMLDOMNodePtr SelectSingle(IXMLDOMNode* context, const std::wstring& query)
{
    IXMLDOMNodePtr node;
    const HRESULT hr = context->selectSingleNode(_bstr_t(query.c_str()), &node);
    if (FAILED(hr))
        _com_issue_errorex(hr, context, IID_IXMLDOMNode);
    return node;
}

std::wstring TextOf(IXMLDOMNode* context, const std::wstring& query)
{
    IXMLDOMNodePtr node = SelectSingle(context, query);
    BSTR raw = nullptr;
    if (!node || FAILED(node->get_text(&raw)))
        return std::wstring();
    return CStdStr(_bstr_t(raw, false));
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
    message.code = TextOf(node, L"ResponseCode");
    message.text = TextOf(node, L"MessageText");
    message.backOffSeconds = CLSBaseWS::BackOffSeconds(TextOf(node, BackOffQuery));
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

void Check(IXMLDOMDocument2* document, const std::wstring& operation, bool required)
{
    IXMLDOMNodePtr node = SelectSingle(document, L"//" + operation + L"ResponseMessage");
    if (!node)
    {
        if (required)
            ThrowMissing(operation);
        return;
    }
    const Message message = Read(node);
    if (message.responseClass == L"Success")
        return;
    if (message.responseClass == L"Warning")
    {
        LS_WARNING_LOG << "EWS " << ToLogText(operation) << " answered with a warning: ResponseCode \""
                       << ToLogText(message.code) << "\", MessageText \"" << ToLogText(message.text) << "\"";
        return;
    }
    ThrowFailure(operation, message);
}

} // namespace LSEwsResponseMessage
