#include "LSHttpRequest.h"

#include "CStdStr.h"
#include "LSAnswerWait.h"
#include "LSBaseWS.h"
#include "LSInFlightRequests.h"
#include "LSLog.h"
#include "LSTiming.h"
#include "hresult_exception.h"

#include <ole2.h>

namespace {


// Exact comparison over the full length; a null text equals an empty one.
bool SameText(const _bstr_t& left, const _bstr_t& right)
{
    return CStdStr(left) == CStdStr(right);
}

} // namespace

void LSHttpRequest::ForgetNoAnswerLimitForTest()
{
    LSAnswerWait::ForgetNoAnswerLimitForTest();
}

LSHttpRequest::LSHttpRequest()
{
    Recreate();
}

LSHttpRequest::~LSHttpRequest()
{
    LSInFlightRequests::Release(m_request);
}

void LSHttpRequest::Configure(const std::wstring&)
{
}

IXMLHTTPRequest& LSHttpRequest::Platform() const
{
    if (!m_request)
        throw _com_error(E_POINTER);
    return *m_request;
}

void LSHttpRequest::CheckPlatformResult(HRESULT hr) const
{
    ThrowIfFailedCom(hr, m_request, IID_IXMLHTTPRequest);
}

HRESULT LSHttpRequest::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async,
                            const _variant_t& user, const _variant_t& password)
{
    m_open.method = method;
    m_open.url = url;
    m_open.async = async;
    m_open.user = user;
    m_open.password = password;
    m_open.present = true;
    return Platform().open(method, url, async, user, password);
}

HRESULT LSHttpRequest::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    m_headers.emplace_back(name, value);
    return Platform().setRequestHeader(name, value);
}

_bstr_t LSHttpRequest::GetRequestHeader(const _bstr_t& name)
{
    for (const Header& header : m_headers)
        if (SameText(header.first, name))
            return header.second;
    return _bstr_t();
}

_bstr_t LSHttpRequest::GetResponseHeader(const _bstr_t& name)
{
    BSTR value = nullptr;
    CheckPlatformResult(Platform().getResponseHeader(name, &value));
    return _bstr_t(value, false);
}

_bstr_t LSHttpRequest::GetAllResponseHeaders()
{
    BSTR headers = nullptr;
    CheckPlatformResult(Platform().getAllResponseHeaders(&headers));
    return _bstr_t(headers, false);
}

_variant_t LSHttpRequest::GetResponseBody()
{
    _variant_t body;
    CheckPlatformResult(Platform().get_responseBody(&body));
    return body;
}

_variant_t LSHttpRequest::GetResponseStream()
{
    _variant_t stream;
    CheckPlatformResult(Platform().get_responseStream(&stream));
    return stream;
}

_bstr_t LSHttpRequest::GetResponseText()
{
    BSTR text = nullptr;
    CheckPlatformResult(Platform().get_responseText(&text));
    return _bstr_t(text, false);
}

IDispatchPtr LSHttpRequest::GetResponseXML()
{
    IDispatch* document = nullptr;
    CheckPlatformResult(Platform().get_responseXML(&document));
    return IDispatchPtr(document, false);
}

long LSHttpRequest::GetStatus()
{
    long status = 0;
    CheckPlatformResult(Platform().get_status(&status));
    // The platform reports a 204 answer as 1223 in some configurations.
    if (status == 1223)
    {
        LS_DIAG_LOG << "Status code 1223->204";
        status = 204;
    }
    return status;
}

_bstr_t LSHttpRequest::GetStatusText()
{
    BSTR text = nullptr;
    CheckPlatformResult(Platform().get_statusText(&text));
    return _bstr_t(text, false);
}

void LSHttpRequest::Recreate()
{
    CreatePlatformObject();
    if (m_open.present)
        Reopen();
    ReapplyHeaders();
}

void LSHttpRequest::CreatePlatformObject()
{
    CLSID classId;
    HRESULT hr = CLSIDFromProgID(L"msxml2.XMLHTTP", &classId);
    LSInFlightRequests::Release(m_request);
    IUnknownPtr object;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object));
    if (SUCCEEDED(hr))
        hr = OleRun(object);
    if (SUCCEEDED(hr))
        hr = object->QueryInterface(IID_IXMLHTTPRequest, reinterpret_cast<void**>(&m_request));
    if (FAILED(hr))
    {
        m_request = nullptr;
        LS_ERROR_LOG << "Failed to create IXMLHttpRequest " << LogHex(hr);
        ThrowHr(hr);
    }
}

void LSHttpRequest::Reopen()
{
    const HRESULT hr = m_request->open(m_open.method, m_open.url, m_open.async, m_open.user, m_open.password);
    if (FAILED(hr))
    {
        LS_ERROR_LOG << "Failed to reopen IXMLHttpRequest " << LogHex(hr);
        ThrowHr(hr);
    }
}

void LSHttpRequest::ReapplyHeaders()
{
    for (const Header& header : m_headers)
    {
        const HRESULT hr = m_request->setRequestHeader(header.first, header.second);
        if (FAILED(hr))
        {
            LS_ERROR_LOG << "Failed to set header IXMLHttpRequest " << LogHex(hr);
            ThrowHr(hr);
        }
    }
}

long LSHttpRequest::ReadyState() const
{
    long state = 0;
    CheckPlatformResult(Platform().get_readyState(&state));
    return state;
}

void LSHttpRequest::WaitUntilComplete(const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer)
{
    const uint64_t start = LSTiming::TickCount64();
    const uint64_t limitMs = LSAnswerWait::NoAnswerLimitMs();
    for (;;)
    {
        LSAnswerWait::PumpOrWait();
        if (CLSBaseWS::ShutdownRequested(shutdownInformer))
            ThrowHr(E_ABORT);
        const long state = ReadyState();
        if (state == XmlHttpReadyState::Completed)
            return;
        if (state < XmlHttpReadyState::Receiving && LSTiming::TickCount64() - start >= limitMs)
            LSAnswerWait::AbandonUnanswered(url);
    }
}

void LSHttpRequest::SendAndWait(const std::wstring& url, const _variant_t& body, bool checkFpRpcStatus,
                                ILSShutdownInformerPtr& shutdownInformer, bool synchronous, bool tolerate404,
                                bool logResponseBody)
{
    LS_DIAG_LOG << "Sending " << ToLogText(url);
    CheckPlatformResult(Platform().send(body));
    if (synchronous)
    {
        ReadyState();
        CLSBaseWS::ThrowErrorMessage(*this, checkFpRpcStatus, shutdownInformer, tolerate404, true);
        return;
    }
    WaitUntilComplete(url, shutdownInformer);
    LS_DIAG_LOG << "Back from " << ToLogText(url);
    CLSBaseWS::ThrowErrorMessage(*this, checkFpRpcStatus, shutdownInformer, tolerate404, logResponseBody);
}

void LSHttpRequest::PerformAsyncVariantSend(const std::wstring& url, const _variant_t& body, bool checkFpRpcStatus,
                                            ILSShutdownInformerPtr& shutdownInformer, bool synchronous,
                                            bool tolerate404, bool logResponseBody)
{
    bool firstAttempt = true;
    CLSBaseWS::RetryOnServerUnavailable(shutdownInformer, [&]() {
        // The first attempt uses the object built at construction; every later
        // one a fresh object that carries the same open arguments and headers.
        if (firstAttempt)
            firstAttempt = false;
        else
            Recreate();
        SendAndWait(url, body, checkFpRpcStatus, shutdownInformer, synchronous, tolerate404, logResponseBody);
    });
}

void LSHttpRequest::StartSend(const std::wstring& url, const _variant_t& body, ILSShutdownInformerPtr&)
{
    LS_DIAG_LOG << "Sending " << ToLogText(url);
    CheckPlatformResult(Platform().send(body));
}

long LSHttpRequest::AnswerReadyState()
{
    return ReadyState();
}

void LSHttpRequest::FinishSend(const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer)
{
    LS_DIAG_LOG << "Back from " << ToLogText(url);
    CLSBaseWS::ThrowErrorMessage(*this, false, shutdownInformer, false, true);
}
