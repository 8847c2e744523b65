#include "LSHttpRequestPlayback.h"

#include "LSBaseWS.h"
#include "LSLog.h"
#include "LSRecordingFiles.h"
#include "MsxmlPtrs.h"
#include "hresult_exception.h"

namespace LSHttpRequestMocks {

namespace {

std::wstring WithoutQuery(const std::wstring& url)
{
    return url.substr(0, url.find(L'?'));
}

} // namespace

void LSHttpRequestPlayback::Configure(const std::wstring& configuration)
{
    LSHttpRequestMockBase::Configure(configuration);
}

HRESULT LSHttpRequestPlayback::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t&,
                                    const _variant_t&, const _variant_t&)
{
    StoreOpen(method, url);
    return S_OK;
}

HRESULT LSHttpRequestPlayback::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    return LSHttpRequestMockBase::SetRequestHeader(name, value);
}

_bstr_t LSHttpRequestPlayback::GetRequestHeader(const _bstr_t& name)
{
    return LSHttpRequestMockBase::GetRequestHeader(name);
}

_bstr_t LSHttpRequestPlayback::GetResponseHeader(const _bstr_t& name)
{
    if (m_answer.headers.empty())
        ThrowHr(E_FAIL);
    const CStdStr wanted(name);
    for (const auto& header : m_answer.headers)
        if (wanted.EqualsNoCase(header.first))
            return _bstr_t(header.second.c_str());
    return _bstr_t();
}

_bstr_t LSHttpRequestPlayback::GetAllResponseHeaders()
{
    if (m_answer.headers.empty())
        ThrowHr(E_FAIL);
    return _bstr_t(FormatResponseHeaders(m_answer.headers).c_str());
}

_variant_t LSHttpRequestPlayback::GetResponseBody()
{
    if (m_answer.headers.empty())
        ThrowHr(E_PENDING);
    return m_answer.body;
}

bool LSHttpRequestPlayback::BodyIsByteArray() const
{
    return m_answer.body.vt == (VT_ARRAY | VT_UI1) && m_answer.body.parray &&
           SafeArrayGetDim(m_answer.body.parray) == 1;
}

_variant_t LSHttpRequestPlayback::GetResponseStream()
{
    if (m_answer.body.vt == VT_EMPTY || BodyIsByteArray())
        return m_answer.body;
    LS_ERROR_LOG << "Only expecting array of bytes for response stream ";
    ThrowHr(E_NOTIMPL);
}

_bstr_t LSHttpRequestPlayback::GetResponseText()
{
    if (!BodyIsByteArray())
        return _bstr_t(L"");
    SAFEARRAY* array = m_answer.body.parray;
    const SafeArrayData data(array);
    const std::string bytes(static_cast<const char*>(data.Get()), array->rgsabound[0].cElements);
    // With its length: a body may hold NUL characters.
    return CStdStr(MultiByteToWide(bytes, CP_UTF8)).ToBstr();
}

IDispatchPtr LSHttpRequestPlayback::GetResponseXML()
{
    return IDispatchPtr(CLSBaseWS::CreateDOMDocument(CStdStr(GetResponseText())));
}

long LSHttpRequestPlayback::GetStatus()
{
    return static_cast<long>(m_answer.status);
}

_bstr_t LSHttpRequestPlayback::GetStatusText()
{
    return _bstr_t(m_answer.statusText.c_str());
}

bool LSHttpRequestPlayback::MatchesRecording(const RequestRecord& recorded) const
{
    if (recorded.method != m_method || recorded.action != m_action)
        return false;
    if (m_method == L"GET")
        return WithoutQuery(recorded.url) == WithoutQuery(m_url);
    return recorded.url == m_url;
}

void LSHttpRequestPlayback::StartSend(const std::wstring&, const _variant_t&, ILSShutdownInformerPtr&)
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

void LSHttpRequestPlayback::FinishSend(const std::wstring&, ILSShutdownInformerPtr&, const LSAnswerChecks&)
{
    LSResponseFake::ReadFromFile(m_files.response, m_answer);
}

} // namespace LSHttpRequestMocks
