#include "KOVACommon/http/LSWinHttpPlatformRequest.h"

#include "KOVACommon/http/LSAnswerWait.h"
#include "KOVACommon/http/LSConnectionFailure.h"
#include "KOVACommon/http/LSResponseText.h"
#include "KOVACommon/http/LSUserProxy.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>

namespace {

constexpr HRESULT HeaderNotFound = HRESULT_FROM_WIN32(12150); // ERROR_WINHTTP_HEADER_NOT_FOUND
constexpr long ConnectTimeoutMs = 60000;
constexpr long SendTimeoutMs = 30000;

// A text body goes out as UTF-8 bytes: the object itself would send a text
// of plain ASCII in the machine's code page and add a second charset to the
// content type of any other.
_variant_t Utf8Body(const _variant_t& body)
{
    if (body.vt != VT_BSTR)
        return body;
    const std::string bytes = WideToMultiByte(CStdStr::FromBSTR(body.bstrVal), CP_UTF8);
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array)
        throw hresult_exception::Com(E_OUTOFMEMORY);
    if (!bytes.empty())
    {
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
        SafeArrayUnaccessData(array);
    }
    VARIANT wrapped;
    VariantInit(&wrapped);
    wrapped.vt = VT_ARRAY | VT_UI1;
    wrapped.parray = array;
    return _variant_t(wrapped, false);
}

// Wine counts the terminating null in the length of the texts it returns.
_bstr_t OwnedText(BSTR raw)
{
    const _bstr_t owned(raw, false);
    if (!raw || SysStringLen(raw) == wcslen(raw))
        return owned;
    return _bstr_t(static_cast<const wchar_t*>(owned));
}

// XMLHTTP leaves the status line out of the header text; so does this.
std::wstring WithoutStatusLine(const std::wstring& headers)
{
    if (headers.compare(0, 5, L"HTTP/") != 0)
        return headers;
    const size_t lineEnd = headers.find(L'\n');
    return lineEnd == std::wstring::npos ? std::wstring() : headers.substr(lineEnd + 1);
}

} // namespace

LSWinHttpPlatformRequest::LSWinHttpPlatformRequest()
{
    CLSID classId;
    HRESULT hr = CLSIDFromProgID(L"WinHttp.WinHttpRequest.5.1", &classId);
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IWinHttpRequest,
                              reinterpret_cast<void**>(&m_request));
    if (FAILED(hr))
    {
        m_request = nullptr;
        LS_ERROR_LOG << "Failed to create IWinHttpRequest " << LogHex(hr);
        ThrowHr(hr);
    }
}

LSWinHttpPlatformRequest::~LSWinHttpPlatformRequest()
{
    // An exchange given up (shutdown, no answer, a refused answer) is ended
    // here; the object waits for its worker before it goes.
    if (m_request && m_sent && !m_ended)
        m_request->Abort();
}

IWinHttpRequest& LSWinHttpPlatformRequest::Platform() const
{
    if (!m_request)
        throw hresult_exception::Com(E_POINTER);
    return *m_request;
}

void LSWinHttpPlatformRequest::Check(HRESULT hr) const
{
    ThrowIfFailedCom(hr, m_request, IID_IWinHttpRequest);
}

HRESULT LSWinHttpPlatformRequest::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t&,
                                       const _variant_t&, const _variant_t&)
{
    // The component's requests carry a bearer token, never a user and password.
    // Always asynchronous: every caller waits for the answer through the one
    // wait, which pumps messages and bounds the time without an answer.
    const HRESULT hr = Platform().Open(method, url, _variant_t(true));
    if (FAILED(hr))
        return hr;
    // Opening resets every option, so they are set after it.
    return Configure(CStdStr::FromBSTR(url));
}

HRESULT LSWinHttpPlatformRequest::Configure(const std::wstring& url)
{
    HRESULT hr = Platform().put_Option(WinHttpRequestOption_EnableRedirects, _variant_t(false));
    if (FAILED(hr))
    {
        LS_ERROR_LOG << "Cannot switch redirects off for " << ToLogText(url) << ": " << LogHex(hr);
        return hr;
    }
    const long receiveMs = static_cast<long>(std::min<uint64_t>(LSAnswerWait::NoAnswerLimitMs(), LONG_MAX));
    hr = Platform().SetTimeouts(0, ConnectTimeoutMs, SendTimeoutMs, receiveMs);
    if (FAILED(hr))
        return hr;
    return LSUserProxy::Apply(Platform(), url);
}

HRESULT LSWinHttpPlatformRequest::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    return Platform().SetRequestHeader(name, value);
}

void LSWinHttpPlatformRequest::Send(const _variant_t& body)
{
    Check(Platform().Send(Utf8Body(body)));
    m_sent = true;
}

long LSWinHttpPlatformRequest::ReadyState()
{
    if (m_ended || !m_sent)
        return m_ended ? 4 : 1;
    // Pre-set: once the answer is complete the object leaves the flag as it was.
    VARIANT_BOOL complete = VARIANT_TRUE;
    const HRESULT hr = Platform().WaitForResponse(_variant_t(0L), &complete);
    if (FAILED(hr))
        m_failure = hr;
    m_ended = FAILED(hr) || complete != VARIANT_FALSE;
    return m_ended ? 4 : 2;
}

void LSWinHttpPlatformRequest::ThrowIfExchangeFailed(const std::wstring& url)
{
    if (FAILED(m_failure))
        LSConnectionFailure::Throw(m_failure, url);
}

_bstr_t LSWinHttpPlatformRequest::ResponseHeader(const _bstr_t& name)
{
    BSTR value = nullptr;
    const HRESULT hr = Platform().GetResponseHeader(name, &value);
    if (hr == HeaderNotFound)
        return _bstr_t(L"");
    Check(hr);
    return OwnedText(value);
}

_bstr_t LSWinHttpPlatformRequest::AllResponseHeaders()
{
    BSTR headers = nullptr;
    Check(Platform().GetAllResponseHeaders(&headers));
    return _bstr_t(WithoutStatusLine(CStdStr(OwnedText(headers))).c_str());
}

long LSWinHttpPlatformRequest::Status()
{
    long status = 0;
    Check(Platform().get_Status(&status));
    return status;
}

_bstr_t LSWinHttpPlatformRequest::StatusText()
{
    BSTR text = nullptr;
    Check(Platform().get_StatusText(&text));
    return OwnedText(text);
}

const _variant_t& LSWinHttpPlatformRequest::Body()
{
    if (m_body.vt != VT_EMPTY)
        return m_body;
    // Never after a failed exchange: the object's body is gone then.
    if (!m_ended || FAILED(m_failure))
        throw hresult_exception::Com(E_PENDING);
    Check(Platform().get_ResponseBody(&m_body));
    return m_body;
}

_variant_t LSWinHttpPlatformRequest::ResponseBody()
{
    return Body();
}

_variant_t LSWinHttpPlatformRequest::ResponseStream()
{
    Body();
    _variant_t stream;
    Check(Platform().get_ResponseStream(&stream));
    return stream;
}

_bstr_t LSWinHttpPlatformRequest::ResponseText()
{
    const LSResponseText::Bytes bytes = LSResponseText::BytesOf(Body());
    return _bstr_t(LSResponseText::Decode(bytes, CStdStr(ResponseHeader(L"Content-Type"))).c_str());
}

IDispatchPtr LSWinHttpPlatformRequest::ResponseXML()
{
    return IDispatchPtr(LSResponseText::LoadDocument(Body()));
}

uint64_t LSWinHttpPlatformRequest::ResponseBodyLength()
{
    return LSResponseText::BytesOf(Body()).size;
}
