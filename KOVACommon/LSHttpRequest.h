#pragma once
// The production request over the platform object KOVA.Http.Client chooses
// (WinHTTP's request object with redirects off, or XMLHTTP). It remembers how
// it was opened and every header set, so that a repeated attempt can run on a
// fresh platform object that looks exactly like the first. Before an answer
// reaches the exchange's error translation, the platform's own failure, the
// answer's size and any redirect end the exchange.
#include "ILSHttpRequest.h"
#include "ILSPlatformRequest.h"
#include "LSHttpClientChoice.h"

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
    _bstr_t GetResponseHeader(const _bstr_t& name) override;
    _bstr_t GetAllResponseHeaders() override;
    _bstr_t GetRequestHeader(const _bstr_t& name) override;
    _variant_t GetResponseBody() override;
    _variant_t GetResponseStream() override;
    _bstr_t GetResponseText() override;
    IDispatchPtr GetResponseXML() override;
    long GetStatus() override;
    _bstr_t GetStatusText() override;
    void PerformAsyncVariantSend(const std::wstring& url, const _variant_t& body, bool checkFpRpcStatus,
                                 ILSShutdownInformerPtr& shutdownInformer, bool synchronous, bool tolerate404,
                                 bool logResponseBody) override;
    void StartSend(const std::wstring& url, const _variant_t& body, ILSShutdownInformerPtr& shutdownInformer) override;
    long AnswerReadyState() override;
    void FinishSend(const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer) override;

    LSHttpClient Client() const { return m_client; }
    // Test seam: KOVA.Http.NoAnswerSeconds is read again on the next wait.
    static void ForgetNoAnswerLimitForTest();

protected:
    // Replaces the platform object with a new one, reopened with the saved
    // arguments and given every remembered header in order.
    void Recreate();
    // One send attempt: send, wait for completion (pumping messages, watching
    // for shutdown), then translate the answer.
    void SendAndWait(const std::wstring& url, const _variant_t& body, bool checkFpRpcStatus,
                     ILSShutdownInformerPtr& shutdownInformer, bool synchronous, bool tolerate404,
                     bool logResponseBody);
    // The current platform object; E_POINTER after a failed creation.
    ILSPlatformRequest& Platform() const;
    // The platform's own object, so tests can tell one attempt's from the next.
    IUnknown* PlatformIdentity() const;

private:
    struct OpenArguments
    {
        _bstr_t method;
        _bstr_t url;
        _variant_t async;
        _variant_t user;
        _variant_t password;
        bool present = false;
    };
    using Header = std::pair<_bstr_t, _bstr_t>;

    void CreatePlatformObject();
    void Reopen();
    void ReapplyHeaders();
    void WaitUntilComplete(const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer);
    // The platform's state; a declared length above the limit ends the
    // exchange as soon as the answer starts to arrive.
    long ReadyState();
    // Once the platform says the exchange has ended: its own failure, the
    // answer's size, a redirect.
    void CheckEndedExchange(const std::wstring& url);
    void RefuseRedirect(const std::wstring& url);

    LSHttpClient m_client;
    OpenArguments m_open;
    std::vector<Header> m_headers;
    std::unique_ptr<ILSPlatformRequest> m_platform;
    bool m_declaredLengthChecked = false;
};
