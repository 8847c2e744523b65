#pragma once
// Performs every exchange for real and writes the request and the answer to
// a pair of files that a playback request can replay.
#include "LSHttpRequest.h"
#include "LSHttpRequestMockBase.h"

namespace LSHttpRequestMocks {

class LSHttpRequestRecorder : public LSHttpRequest, public LSHttpRequestMockBase
{
public:
    void Configure(const std::wstring& configuration) override;
    HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async, const _variant_t& user,
                 const _variant_t& password) override;
    HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) override;
    _bstr_t GetRequestHeader(const _bstr_t& name) override;
    void PerformAsyncVariantSend(const std::wstring& url, const _variant_t& body, bool checkFpRpcStatus,
                                 ILSShutdownInformerPtr& shutdownInformer, bool synchronous, bool tolerate404,
                                 bool logResponseBody) override;
    // Recorded exchanges run one after another, each whole in StartSend.
    void StartSend(const std::wstring& url, const _variant_t& body, ILSShutdownInformerPtr& shutdownInformer) override
    {
        ILSHttpRequest::StartSend(url, body, shutdownInformer);
    }
    long AnswerReadyState() override { return ILSHttpRequest::AnswerReadyState(); }
    void FinishSend(const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer) override
    {
        ILSHttpRequest::FinishSend(url, shutdownInformer);
    }

private:
    void WriteErrorResponse(const std::wstring& path, const std::wstring& errorText);
    void WriteSuccessResponse(const std::wstring& path);
};

} // namespace LSHttpRequestMocks
