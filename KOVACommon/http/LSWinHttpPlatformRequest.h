#pragma once
// WinHTTP's request object (WinHttp.WinHttpRequest.5.1) as the platform
// object, the default. Redirects are off: a 3xx answer comes back as it is,
// so the bearer token never goes where the answer points. The user's proxy is
// set on every request. Its failures (refused connection, failed TLS
// handshake) end the exchange at once.
//
// Under Wine the object needs care: WaitForResponse(0) leaves its out flag
// unwritten once complete, and reports an ended exchange only once; a
// WaitForResponse with a time-out may never return while messages flow;
// nothing bounds its wait for an answer (the caller's no-answer limit and
// Abort do); reading the body after a failed read crashes. So the exchange's
// end is asked with a zero wait, remembered, and the body read only after a
// successful end, once.
#include "KOVACommon/http/ILSPlatformRequest.h"
#include "WinHttpRequest_h.h"

_COM_SMARTPTR_TYPEDEF(IWinHttpRequest, IID_IWinHttpRequest);

class LSWinHttpPlatformRequest : public ILSPlatformRequest
{
public:
    // Failures are logged as "Failed to create IWinHttpRequest " and thrown as the bare code.
    LSWinHttpPlatformRequest();
    ~LSWinHttpPlatformRequest() override;
    LSWinHttpPlatformRequest(const LSWinHttpPlatformRequest&) = delete;
    LSWinHttpPlatformRequest& operator=(const LSWinHttpPlatformRequest&) = delete;

    HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async, const _variant_t& user,
                 const _variant_t& password) override;
    HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) override;
    void Send(const _variant_t& body) override;
    long ReadyState() override;
    void ThrowIfExchangeFailed(const std::wstring& url) override;
    _bstr_t ResponseHeader(const _bstr_t& name) override;
    _bstr_t AllResponseHeaders() override;
    long Status() override;
    _bstr_t StatusText() override;
    _variant_t ResponseBody() override;
    _variant_t ResponseStream() override;
    _bstr_t ResponseText() override;
    IDispatchPtr ResponseXML() override;
    uint64_t ResponseBodyLength() override;
    IUnknown* Identity() const override { return m_request.GetInterfacePtr(); }

private:
    IWinHttpRequest& Platform() const;
    void Check(HRESULT hr) const;
    HRESULT Configure(const std::wstring& url);
    // The body as received, read from the platform once.
    const _variant_t& Body();

    IWinHttpRequestPtr m_request;
    bool m_sent = false;
    bool m_ended = false;
    HRESULT m_failure = S_OK;
    _variant_t m_body;
};
