#include "KOVACommon/http/LSXmlHttpPlatformRequest.h"

#include "KOVACommon/http/LSInFlightRequests.h"
#include "KOVACommon/http/LSResponseText.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <ole2.h>

LSXmlHttpPlatformRequest::LSXmlHttpPlatformRequest()
{
    CLSID classId;
    HRESULT hr = CLSIDFromProgID(L"msxml2.XMLHTTP", &classId);
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

LSXmlHttpPlatformRequest::~LSXmlHttpPlatformRequest()
{
    LSInFlightRequests::Release(m_request);
}

IXMLHTTPRequest& LSXmlHttpPlatformRequest::Platform() const
{
    if (!m_request)
        throw hresult_exception::Com(E_POINTER);
    return *m_request;
}

void LSXmlHttpPlatformRequest::Check(HRESULT hr) const
{
    ThrowIfFailedCom(hr, m_request, IID_IXMLHTTPRequest);
}

HRESULT LSXmlHttpPlatformRequest::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async,
                                       const _variant_t& user, const _variant_t& password)
{
    return Platform().open(method, url, async, user, password);
}

HRESULT LSXmlHttpPlatformRequest::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    return Platform().setRequestHeader(name, value);
}

void LSXmlHttpPlatformRequest::Send(const _variant_t& body)
{
    Check(Platform().send(body));
}

long LSXmlHttpPlatformRequest::ReadyState()
{
    long state = 0;
    Check(Platform().get_readyState(&state));
    return state;
}

_bstr_t LSXmlHttpPlatformRequest::ResponseHeader(const _bstr_t& name)
{
    BSTR value = nullptr;
    Check(Platform().getResponseHeader(name, &value));
    return _bstr_t(value, false);
}

_bstr_t LSXmlHttpPlatformRequest::AllResponseHeaders()
{
    BSTR headers = nullptr;
    Check(Platform().getAllResponseHeaders(&headers));
    return _bstr_t(headers, false);
}

long LSXmlHttpPlatformRequest::Status()
{
    long status = 0;
    Check(Platform().get_status(&status));
    return status;
}

_bstr_t LSXmlHttpPlatformRequest::StatusText()
{
    BSTR text = nullptr;
    Check(Platform().get_statusText(&text));
    return _bstr_t(text, false);
}

_variant_t LSXmlHttpPlatformRequest::ResponseBody()
{
    _variant_t body;
    Check(Platform().get_responseBody(&body));
    return body;
}

_variant_t LSXmlHttpPlatformRequest::ResponseStream()
{
    _variant_t stream;
    Check(Platform().get_responseStream(&stream));
    return stream;
}

_bstr_t LSXmlHttpPlatformRequest::ResponseText()
{
    BSTR text = nullptr;
    Check(Platform().get_responseText(&text));
    return _bstr_t(text, false);
}

// Not the object's own document: that one is parsed with the platform's
// defaults, before anything could check the text.
IDispatchPtr LSXmlHttpPlatformRequest::ResponseXML()
{
    return IDispatchPtr(LSResponseText::LoadDocument(ResponseBody()));
}

uint64_t LSXmlHttpPlatformRequest::ResponseBodyLength()
{
    const _variant_t body = ResponseBody();
    if (body.vt != (VT_ARRAY | VT_UI1) || !body.parray || SafeArrayGetDim(body.parray) != 1)
        return 0;
    LONG lower = 0;
    LONG upper = -1;
    ThrowIfFailedCom(SafeArrayGetLBound(body.parray, 1, &lower));
    ThrowIfFailedCom(SafeArrayGetUBound(body.parray, 1, &upper));
    return upper < lower ? 0 : uint64_t(upper - lower + 1);
}
