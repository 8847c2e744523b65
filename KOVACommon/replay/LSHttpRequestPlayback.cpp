#include "KOVACommon/replay/LSHttpRequestPlayback.h"

#include "KOVACommon/replay/LSRecordingFiles.h"
#include "KOVACommon/xml/MsxmlPtrs.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace LSRequestReplay {

namespace {

std::wstring WithoutQuery(const std::wstring& url)
{
    return url.substr(0, url.find(L'?'));
}

} // namespace

void LSHttpRequestPlayback::Configure(const std::wstring& configuration)
{
    LSReplayRequestBase::Configure(configuration);
}

HRESULT LSHttpRequestPlayback::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t&,
                                    const _variant_t&, const _variant_t&)
{
    StoreOpen(method, url);
    return S_OK;
}

HRESULT LSHttpRequestPlayback::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    return LSReplayRequestBase::SetRequestHeader(name, value);
}

_bstr_t LSHttpRequestPlayback::GetRequestHeader(const _bstr_t& name)
{
    return LSReplayRequestBase::GetRequestHeader(name);
}

bool LSHttpRequestPlayback::MatchesRecording(const RequestRecord& recorded) const
{
    if (recorded.method != m_method || recorded.action != m_action)
        return false;
    if (m_method == L"GET")
        return WithoutQuery(recorded.url) == WithoutQuery(m_url);
    return recorded.url == m_url;
}

void LSHttpRequestPlayback::StartSend(const std::wstring&, const _variant_t&)
{
    m_files = NextExchangeFiles();
    if (!MatchesRecording(ReadRequestRecord(m_files.request)))
    {
        LS_ERROR_LOG << "Expected request not found can't replay request from recording";
        ThrowHr(E_FAIL);
    }
    m_sent = true;
}

long LSHttpRequestPlayback::AnswerReadyState()
{
    return m_sent ? XmlHttpReadyState::Completed : XmlHttpReadyState::Opened;
}

void LSHttpRequestPlayback::FinishSend(const std::wstring&, const LSAnswerChecks&)
{
    LSRecordedResponse::ReadFromFile(m_files.response, m_answer);
}

} // namespace LSRequestReplay
