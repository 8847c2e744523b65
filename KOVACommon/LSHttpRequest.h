#pragma once
// The production request: the platform's msxml2.XMLHTTP object. It remembers
// how it was opened and every header set, so that a repeated attempt can run
// on a fresh platform object that looks exactly like the first.
#include "ILSHttpRequest.h"
#include "MsxmlPtrs.h"

#include <string>
#include <utility>
#include <vector>

class LSHttpRequest : public ILSHttpRequest
{
public:
    LSHttpRequest();
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
    // The current platform object; null only after a failed creation.
    const IXMLHTTPRequestPtr& PlatformRequest() const { return m_request; }

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

    IXMLHTTPRequest& Platform() const;
    void CheckPlatformResult(HRESULT hr) const;
    void CreatePlatformObject();
    void Reopen();
    void ReapplyHeaders();
    void WaitUntilComplete(const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer);
    long ReadyState() const;

    OpenArguments m_open;
    std::vector<Header> m_headers;
    IXMLHTTPRequestPtr m_request;
};
