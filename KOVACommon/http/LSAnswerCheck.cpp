// Inspecting a completed exchange: unsuccessful answers become LSHttpError
// with the most telling message the answer offers; successful ones pass the
// health-score check and response logging.
#include "KOVACommon/http/LSAnswerCheck.h"

#include "KOVACommon/http/LSAnswerLimits.h"
#include "KOVACommon/http/LSHealthScore.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSRetryAfter.h"
#include "KOVACommon/http/LSTransportSettings.h"
#include "KOVACommon/xml/LSSafeXml.h"
#include "KOVACommon/xml/LSXmlNodes.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSHexDigit.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSResourceLibraries.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/LogLongText.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cstdint>
#include <cwchar>
#include <vector>

namespace LSAnswerCheck {

namespace {

constexpr uint32_t IdsSoapFailure = 4041;
constexpr uint32_t IdsHttpFailure = 4042;
constexpr uint32_t IdsBadRequest = 4265;

bool LogResponses()
{
    return LSSetting::GetInstance().Read(LSSettingTable::LogResponses).value != 0;
}

std::wstring ResourceText(uint32_t id)
{
    return LSResourceLibraries::LoadResourceString(id);
}

int EscapedDigit(wchar_t digit)
{
    const int value = HexDigitValue(digit);
    if (value < 0)
        ThrowHr(E_INVALIDARG);
    return value;
}

// "%XX" becomes the UTF-16 code unit XX; no multi-byte sequences.
std::wstring PercentDecode(const std::wstring& text)
{
    std::wstring decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != L'%')
        {
            decoded += text[i];
            continue;
        }
        if (text.size() - i < 3)
            throw hresult_exception(E_INVALIDARG, "Invalid encoding");
        decoded += static_cast<wchar_t>(EscapedDigit(text[i + 1]) * 16 + EscapedDigit(text[i + 2]));
        i += 2;
    }
    return decoded;
}

void ThrowIfDavError(ILSHttpRequest& request, uint32_t status)
{
    const CStdStr davError(request.GetResponseHeader(L"X-MSDAVEXT_Error"));
    if (davError.empty())
        return;
    const std::wstring message = PercentDecode(davError);
    LS_ERROR_LOG << "Failure error:" << ToLogText(message);
    throw LSHttpError(status, message);
}

std::wstring JsonBody(ILSHttpRequest& request)
{
    const CStdStr contentType(request.GetResponseHeader(L"Content-Type"));
    if (contentType.size() >= 16 && contentType.Contains(L"application/json"))
        return CStdStr(request.GetResponseText());
    return std::wstring();
}

uint32_t RetryAfterSeconds(ILSHttpRequest& request)
{
    return LSRetryAfter::Seconds(CStdStr(request.GetResponseHeader(L"Retry-After")));
}

// The text of the first node the path selects. This describes a failed
// answer: a selection that fails counts as none found, so the answer's status
// still reaches the caller.
bool SelectText(const IXMLDOMDocument2Ptr& document, const wchar_t* path, std::wstring& text)
{
    if (!document)
        return false;
    try
    {
        const IXMLDOMNodePtr node = LSXmlNodes::SelectSingle(document, path);
        if (!node)
            return false;
        text = LSXmlNodes::TextOf(node);
        return true;
    }
    catch (const hresult_exception&)
    {
        return false;
    }
}

bool SelectFirstText(const IXMLDOMDocument2Ptr& document, std::initializer_list<const wchar_t*> paths,
                     std::wstring& text)
{
    for (const wchar_t* path : paths)
        if (SelectText(document, path, text))
            return true;
    return false;
}

std::wstring SoapFaultMessage(const IXMLDOMDocument2Ptr& document, uint32_t status)
{
    std::wstring message = ResourceText(IdsSoapFailure);
    if (status == 500)
    {
        std::wstring code;
        if (SelectText(document, L"//errorstring", message))
        {
            if (SelectText(document, L"//errorcode", code))
                message += CStdStr::Format(L" (%ls)", code.c_str());
        }
        else
            SelectFirstText(document, {L"//faultstring", L"//m:message", L"//m:code"}, message);
        return message;
    }
    message = ResourceText(IdsBadRequest);
    SelectFirstText(document, {L"//m:message", L"//m:code"}, message);
    return message;
}

bool EndsWith(const std::wstring& text, const std::wstring& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// EWS throttling comes as a 500 fault whose code ends in ErrorServerBusy; its
// detail may say how long to back off. Fault details carry prefixes of the
// server's choosing, hence local names.
bool IsServerBusyFault(IXMLDOMDocument2* document, uint32_t& backOffSeconds)
{
    const std::vector<IXMLDOMElementPtr> codes = LSXmlNodes::ElementsNamed(document, L"faultcode", 1);
    if (codes.empty() || !EndsWith(CStdStr(LSXmlNodes::TextOf(codes.front())).Trim(), L"ErrorServerBusy"))
        return false;
    backOffSeconds = 0;
    for (const IXMLDOMElementPtr& value : LSXmlNodes::ElementsNamed(document, L"Value"))
    {
        if (LSXmlNodes::AttributeText(value, L"Name") == L"BackOffMilliseconds")
            backOffSeconds = LSRetryAfter::FromMilliseconds(LSXmlNodes::TextOf(value));
    }
    return true;
}

// A fault that cannot be read is no busy fault: the status still reaches the
// caller.
bool IsReadableServerBusyFault(const IXMLDOMDocument2Ptr& document, uint32_t& backOffSeconds)
{
    try
    {
        return document && IsServerBusyFault(document, backOffSeconds);
    }
    catch (const hresult_exception&)
    {
        return false;
    }
}

std::wstring DocumentXml(const IXMLDOMDocument2Ptr& document)
{
    BSTR xml = nullptr;
    if (!document || FAILED(document->get_xml(&xml)))
        return std::wstring();
    return CStdStr(_bstr_t(xml, false));
}

// A failed answer that is refused as XML (its line is written) still fails
// with its status.
IXMLDOMDocument2Ptr FaultDocument(ILSHttpRequest& request)
{
    try
    {
        return request.GetResponseXML();
    }
    catch (const LSSafeXml::Refused&)
    {
        return nullptr;
    }
}

// Logging only: an unreadable body must not hide the failure it belongs to.
void LogErrorResponse(ILSHttpRequest& request)
{
    if (!LogResponses())
        return;
    try
    {
        LS_ERROR_LOG << "Error Response";
        LS_LOG_LONG_ERROR(CStdStr(request.GetResponseText()));
    }
    catch (...)
    {
        LS_ERROR_LOG << "Exception when logging response";
    }
}

// Diagnostic logging only: a failure to read the headers must not change the
// outcome that logging off would have.
void LogFailureHeaders(ILSHttpRequest& request)
{
    try
    {
        LS_DIAG_LOG << "Headers:" << ToLogText(CStdStr(request.GetAllResponseHeaders()));
    }
    catch (...)
    {
        LS_ERROR_LOG << "Exception when logging response headers";
    }
}

[[noreturn]] void ThrowSoapFault(ILSHttpRequest& request, uint32_t status, const std::wstring& jsonBody,
                                 uint32_t retryAfter)
{
    LS_ERROR_LOG << "web services Request failed: status:" << status;
    LogFailureHeaders(request);
    const IXMLDOMDocument2Ptr document = FaultDocument(request);
    LogErrorResponse(request);
    const std::wstring message = SoapFaultMessage(document, status);
    LS_ERROR_LOG << "Error is : " << ToLogText(message) << ": entire contents: ";
    LS_LOG_LONG_ERROR(DocumentXml(document));
    uint32_t backOffSeconds = 0;
    if (status == 500 && IsReadableServerBusyFault(document, backOffSeconds))
    {
        LS_ERROR_LOG << "EWS server busy: back off " << backOffSeconds << " s";
        throw LSHttpError(status, message, jsonBody, backOffSeconds ? backOffSeconds : retryAfter, true);
    }
    throw LSHttpError(status, message, jsonBody, retryAfter);
}

// Exchange Online says why it refuses EWS in this header; a status alone
// proves nothing. Cut to a log line's worth: the answer is not trusted. An
// unreadable header is no reason, and must not hide the status.
std::wstring PolicyReason(ILSHttpRequest& request)
{
    constexpr size_t LongestReason = 512;
    try
    {
        CStdStr reason(request.GetResponseHeader(L"X-EWS-Policy-Reason"));
        reason.Trim();
        return reason.substr(0, LongestReason);
    }
    catch (const hresult_exception&)
    {
        return std::wstring();
    }
}

[[noreturn]] void ThrowHttpFailure(ILSHttpRequest& request, uint32_t status, const std::wstring& jsonBody,
                                   uint32_t retryAfter)
{
    LS_ERROR_LOG << "web services Request failed: status:" << status;
    std::wstring message = ResourceText(IdsHttpFailure);
    try
    {
        const CStdStr statusText(request.GetStatusText());
        if (!statusText.empty())
            message = statusText;
    }
    catch (...)
    {
        // An unreadable status text must not hide the status: the generic text stays.
    }
    throw LSHttpError(status, message, jsonBody, retryAfter).WithPolicyReason(PolicyReason(request));
}

// Logging only: a successful answer stays one whatever its logging meets.
void LogSuccessfulResponse(ILSHttpRequest& request, bool logResponseBody)
{
    if (!LogResponses())
        return;
    try
    {
        LS_DIAG_LOG << "Log Resp - Headers";
        LS_LOG_LONG_DIAG(CStdStr(request.GetAllResponseHeaders()));
        if (!logResponseBody)
            return;
        if (LSTransportSettings::LargestLoggedResponseBytes() <= GetContentLength(request))
        {
            LS_DIAG_LOG << "Response too large to log.";
            return;
        }
        LS_DIAG_LOG << "Log Resp - Response";
        LS_LOG_LONG_DIAG(CStdStr(request.GetResponseText()));
    }
    catch (...)
    {
        LS_DIAG_LOG << "Exception when logging text from response.";
    }
}

} // namespace

uint64_t GetContentLength(ILSHttpRequest& request)
{
    return LSAnswerLimits::DeclaredLength(CStdStr(request.GetResponseHeader(L"Content-Length"))).value_or(0);
}

void ThrowErrorMessage(ILSHttpRequest& request, bool logResponseBody)
{
    const uint32_t status = static_cast<uint32_t>(request.GetStatus());
    LS_DIAG_LOG << "Response:" << status;
    if (status >= 200 && status <= 299)
    {
        LSHealthScore::CheckHealthScore(request);
        LogSuccessfulResponse(request, logResponseBody);
        return;
    }
    ThrowIfDavError(request, status);
    const std::wstring jsonBody = JsonBody(request);
    const uint32_t retryAfter = RetryAfterSeconds(request);
    if (status == 500 || status == 400)
        ThrowSoapFault(request, status, jsonBody, retryAfter);
    ThrowHttpFailure(request, status, jsonBody, retryAfter);
}

} // namespace LSAnswerCheck
