#pragma once
// Serves recorded answers without any network traffic, after checking that
// each request matches the next recorded one.
#include "KOVACommon/http/ILSHttpRequest.h"
#include "KOVACommon/replay/LSRecordedResponse.h"
#include "KOVACommon/replay/LSReplayRequestBase.h"

namespace LSRequestReplay {

class LSHttpRequestPlayback : public ILSHttpRequest, public LSReplayRequestBase
{
public:
    void Configure(const std::wstring& configuration) override;
    HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async, const _variant_t& user,
                 const _variant_t& password) override;
    HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) override;
    _bstr_t GetRequestHeader(const _bstr_t& name) override;
    ILSResponse& Response() override { return m_answer; }
    // Checks the request against the next recorded one.
    void StartSend(const std::wstring& url, const _variant_t& body) override;
    // 4 once sent: a recorded answer is there at once.
    long AnswerReadyState() override;
    // Takes the recorded answer, or throws the recorded failure.
    void FinishSend(const std::wstring& url, const LSAnswerChecks& checks) override;

private:
    bool MatchesRecording(const RequestRecord& recorded) const;

    LSRecordedResponse m_answer;
    RequestFileNames m_files;
    bool m_sent = false;
};

} // namespace LSRequestReplay
