#include "KOVACommon/http/LSHttpRequest.h"

#include "KOVACommon/http/LSAnswerCheck.h"
#include "KOVACommon/http/LSAnswerLimits.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSWinHttpPlatformRequest.h"
#include "KOVACommon/http/LSXmlHttpPlatformRequest.h"
#include "KOVACommon/xml/MsxmlPtrs.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace {

// Exact comparison over the full length; a null text equals an empty one.
bool SameText(const _bstr_t& left, const _bstr_t& right)
{
    return CStdStr(left) == CStdStr(right);
}

} // namespace

LSHttpRequest::LSHttpRequest() : LSHttpRequest(LSHttpClientChoice::Configured())
{
}

LSHttpRequest::LSHttpRequest(LSHttpClient client) : m_client(client)
{
    CreatePlatformObject();
}

LSHttpRequest::~LSHttpRequest() = default;

void LSHttpRequest::Configure(const std::wstring&)
{
}

ILSPlatformRequest& LSHttpRequest::Platform() const
{
    if (!m_platform)
        throw hresult_exception::Com(E_POINTER);
    return *m_platform;
}

HRESULT LSHttpRequest::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async,
                            const _variant_t& user, const _variant_t& password)
{
    m_url = url;
    return Platform().Open(method, url, async, user, password);
}

HRESULT LSHttpRequest::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    m_headers.emplace_back(name, value);
    return Platform().SetRequestHeader(name, value);
}

_bstr_t LSHttpRequest::GetRequestHeader(const _bstr_t& name)
{
    for (const Header& header : m_headers)
        if (SameText(header.first, name))
            return header.second;
    return _bstr_t();
}

ILSResponse& LSHttpRequest::Response()
{
    return Platform();
}

long LSHttpRequest::GetStatus()
{
    long status = Platform().Status();
    if (status == 1223)
    {
        LS_DIAG_LOG << "Status code 1223->204";
        status = 204;
    }
    return status;
}

void LSHttpRequest::CreatePlatformObject()
{
    if (m_client == LSHttpClient::XmlHttp)
        m_platform = std::make_unique<LSXmlHttpPlatformRequest>();
    else
        m_platform = std::make_unique<LSWinHttpPlatformRequest>();
}

long LSHttpRequest::AnswerReadyState()
{
    return ReadyState();
}

long LSHttpRequest::ReadyState()
{
    const long state = Platform().ReadyState();
    // A declared length above the limit ends the exchange before the body is in.
    if (state == XmlHttpReadyState::Receiving && !m_declaredLengthChecked)
    {
        m_declaredLengthChecked = true;
        LSAnswerLimits::CheckDeclaredLength(CStdStr::FromBSTR(m_url),
                                            CStdStr(Platform().ResponseHeader(L"Content-Length")));
    }
    return state;
}

void LSHttpRequest::RefuseRedirect(const std::wstring& url)
{
    const long status = Platform().Status();
    if (status < 300 || status > 399)
        return;
    const CStdStr location(Platform().ResponseHeader(L"Location"));
    LS_ERROR_LOG << "Redirect refused: " << ToLogText(url) << " answered HTTP " << status << " with Location "
                 << ToLogText(location) << "; requests carrying the access token do not follow redirects";
    throw LSHttpError(static_cast<uint32_t>(status),
                      CStdStr::Format(L"Redirect refused: HTTP %ld to ", status) + location);
}

void LSHttpRequest::CheckEndedExchange(const std::wstring& url)
{
    ILSPlatformRequest& platform = Platform();
    platform.ThrowIfExchangeFailed(url);
    // A transfer coding makes any Content-Length meaningless.
    const bool chunked = !CStdStr(platform.ResponseHeader(L"Transfer-Encoding")).empty();
    const CStdStr contentLength(chunked ? _bstr_t(L"") : platform.ResponseHeader(L"Content-Length"));
    LSAnswerLimits::CheckReceivedLength(url, contentLength, CStdStr(platform.ResponseHeader(L"Content-Encoding")),
                                        platform.ResponseBodyLength());
    RefuseRedirect(url);
}

void LSHttpRequest::StartSend(const std::wstring& url, const _variant_t& body)
{
    LS_DIAG_LOG << "Sending " << ToLogText(url);
    Platform().Send(body);
}

void LSHttpRequest::FinishSend(const std::wstring& url, const LSAnswerChecks& checks)
{
    LS_DIAG_LOG << "Back from " << ToLogText(url);
    try
    {
        CheckEndedExchange(url);
        LSAnswerCheck::ThrowErrorMessage(*this, checks.logResponseBody);
    }
    catch (LSHttpError& error)
    {
        // The answer's checks know the status and the message; the address is known here.
        error.WithAddress(url);
        throw;
    }
}
