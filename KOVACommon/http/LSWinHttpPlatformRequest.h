#pragma once
// WinHTTP as the platform object, the default: its own API in asynchronous
// mode, a session, connection and request per exchange. Redirects are off: a
// 3xx answer comes back as it is, so the bearer token never goes where the
// answer points. The user's proxy is set on every session. Its failures
// (refused connection, failed TLS handshake) end the exchange at once.
//
// WinHTTP completes on a thread of its own, through a callback. The callback
// keeps the answer (status, headers, then the body, never more than one byte
// past the largest answer) in an exchange record, which the host's thread
// reads once it shows the stage; the request handle is only used by the
// callback between Send and the exchange's end. The request object built on
// this API would start a thread for every send; this starts none.
#include "KOVACommon/http/ILSPlatformRequest.h"
#include "KOVACommon/http/LSInternetHandle.h"
#include "KOVACommon/http/LSWinHttpExchange.h"

#include <memory>

class LSWinHttpPlatformRequest : public ILSPlatformRequest
{
public:
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

private:
    HRESULT Configure(const std::wstring& url);
    // Opened until the exchange is under way (and when opening failed).
    LSWinHttpExchange::Stage CurrentStage() const;
    // The exchange once its answer is in (headers, or all): E_PENDING before.
    const LSWinHttpExchange& Answered(bool whole) const;
    // The body as received, taken from the exchange once; its bytes live as long as the object.
    const _variant_t& Body();

    // The owner's part of the exchange ends once the request is closed, which
    // cancels an exchange still under way; WinHTTP lets go with its last call.
    struct AbandonExchange
    {
        void operator()(LSWinHttpExchange* exchange) const;
    };
    // Declared first, so gone last.
    std::unique_ptr<LSWinHttpExchange, AbandonExchange> m_exchange;
    UniqueInternetHandle m_session;
    UniqueInternetHandle m_connection;
    UniqueInternetHandle m_request;
    _variant_t m_body;
};
