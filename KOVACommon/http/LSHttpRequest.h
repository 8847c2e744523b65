#pragma once
// The production request over the platform object KOVA.Http.Client chooses
// (WinHTTP with redirects off, or XMLHTTP): one attempt, on
// one platform object. It remembers every header set, so the exchange can
// name its SOAP action. Before an answer reaches the answer check
// (LSAnswerCheck, in FinishSend), the platform's own failure, the answer's
// size and any redirect end the exchange.
#include "KOVACommon/http/ILSHttpRequest.h"
#include "KOVACommon/http/ILSPlatformRequest.h"
#include "KOVACommon/http/LSHttpClientChoice.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class LSHttpRequest : public ILSHttpRequest
{
public:
    LSHttpRequest();
    explicit LSHttpRequest(LSHttpClient client);
    ~LSHttpRequest() override;
    LSHttpRequest(const LSHttpRequest&) = delete;
    LSHttpRequest& operator=(const LSHttpRequest&) = delete;

    void Configure(const std::wstring& configuration) override;
    HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async, const _variant_t& user,
                 const _variant_t& password) override;
    HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) override;
    _bstr_t GetRequestHeader(const _bstr_t& name) override;
    ILSResponse& Response() override;
    // 1223, as the platform reports a 204 in some configurations, reads as 204.
    long GetStatus() override;
    void StartSend(const std::wstring& url, const _variant_t& body) override;
    long AnswerReadyState() override;
    void FinishSend(const std::wstring& url, const LSAnswerChecks& checks) override;

    LSHttpClient Client() const { return m_client; }

protected:
    // The platform object; E_POINTER after a failed creation.
    ILSPlatformRequest& Platform() const;

private:
    using Header = std::pair<_bstr_t, _bstr_t>;

    void CreatePlatformObject();
    // The platform's state; a declared length above the limit ends the
    // exchange as soon as the answer starts to arrive.
    long ReadyState();
    // Once the platform says the exchange has ended: its own failure, the
    // answer's size, a redirect.
    void CheckEndedExchange(const std::wstring& url);
    void RefuseRedirect(const std::wstring& url);

    LSHttpClient m_client;
    _bstr_t m_url;
    std::vector<Header> m_headers;
    std::unique_ptr<ILSPlatformRequest> m_platform;
    bool m_declaredLengthChecked = false;
};
