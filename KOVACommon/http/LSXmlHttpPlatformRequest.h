#pragma once
// MSXML's msxml2.XMLHTTP as the platform object (KOVA.Http.Client "XMLHTTP").
// It follows redirects by itself; under Wine it never completes a request
// whose connection is refused or whose TLS handshake fails, which only the
// no-answer limit ends.
#include "KOVACommon/http/ILSPlatformRequest.h"
#include "KOVACommon/xml/MsxmlPtrs.h"

class LSXmlHttpPlatformRequest : public ILSPlatformRequest
{
public:
    // Failures are logged as "Failed to create IXMLHttpRequest " and thrown as the bare code.
    LSXmlHttpPlatformRequest();
    ~LSXmlHttpPlatformRequest() override;
    LSXmlHttpPlatformRequest(const LSXmlHttpPlatformRequest&) = delete;
    LSXmlHttpPlatformRequest& operator=(const LSXmlHttpPlatformRequest&) = delete;

    HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async, const _variant_t& user,
                 const _variant_t& password) override;
    HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) override;
    void Send(const _variant_t& body) override;
    long ReadyState() override;
    void ThrowIfExchangeFailed(const std::wstring&) override {}
    _bstr_t ResponseHeader(const _bstr_t& name) override;
    _bstr_t AllResponseHeaders() override;
    long Status() override;
    _bstr_t StatusText() override;
    _variant_t ResponseBody() override;
    _variant_t ResponseStream() override;
    _bstr_t ResponseText() override;
    IDispatchPtr ResponseXML() override;
    uint64_t ResponseBodyLength() override;

private:
    IXMLHTTPRequest& Platform() const;
    void Check(HRESULT hr) const;

    IXMLHTTPRequestPtr m_request;
};
