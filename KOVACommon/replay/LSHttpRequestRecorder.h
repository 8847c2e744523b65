#pragma once
// Performs every attempt for real and writes the request and the answer to
// a pair of files that a playback request can replay.
#include "KOVACommon/http/LSHttpRequest.h"
#include "KOVACommon/replay/LSReplayRequestBase.h"

namespace LSRequestReplay {

class LSHttpRequestRecorder : public LSHttpRequest, public LSReplayRequestBase
{
public:
    void Configure(const std::wstring& configuration) override;
    HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async, const _variant_t& user,
                 const _variant_t& password) override;
    HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) override;
    _bstr_t GetRequestHeader(const _bstr_t& name) override;
    // Writes the request's file, then sends.
    void StartSend(const std::wstring& url, const _variant_t& body) override;
    // Inspects the answer as the platform request does, then writes it (or
    // the failure it gave) to the response's file.
    void FinishSend(const std::wstring& url, const LSAnswerChecks& checks) override;

private:
    void WriteErrorResponse(const std::wstring& path, const std::wstring& errorText);
    void WriteSuccessResponse(const std::wstring& path);

    RequestFileNames m_files;
};

} // namespace LSRequestReplay
