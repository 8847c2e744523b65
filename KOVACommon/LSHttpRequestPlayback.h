#pragma once
// Serves recorded answers without any network traffic, after checking that
// each request matches the next recorded one.
#include "ILSHttpRequest.h"
#include "LSHttpRequestMockBase.h"
#include "LSResponseFake.h"

namespace LSHttpRequestMocks {

class LSHttpRequestPlayback : public ILSHttpRequest, public LSHttpRequestMockBase
{
public:
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
    // Checks the request against the next recorded one.
    void StartSend(const std::wstring& url, const _variant_t& body, ILSShutdownInformerPtr& shutdownInformer) override;
    // 4 once sent: a recorded answer is there at once.
    long AnswerReadyState() override;
    // Takes the recorded answer, or throws the recorded failure.
    void FinishSend(const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer,
                    const LSAnswerChecks& checks) override;

private:
    bool MatchesRecording(const RequestRecord& recorded) const;
    bool BodyIsByteArray() const;

    LSResponseFake m_answer;
    RequestFileNames m_files;
    bool m_sent = false;
};

} // namespace LSHttpRequestMocks
