#include "KOVACommon/http/LSWinHttpPlatformRequest.h"

#include "KOVACommon/http/LSAnswerWait.h"
#include "KOVACommon/http/LSConnectionFailure.h"
#include "KOVACommon/http/LSResponseText.h"
#include "KOVACommon/http/LSUserProxy.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <shlwapi.h>

_COM_SMARTPTR_TYPEDEF(IStream, IID_IStream);

namespace {

// No connect limit of its own: the no-answer limit bounds the whole
// exchange, connection included, and Windows gives up an unanswered
// connection attempt after about 21 s. (With a limit, Wine connects without
// blocking and polls for the connection, up to 4 ms more on each new one.)
constexpr int ConnectTimeoutMs = 0;
constexpr int SendTimeoutMs = 30000;
// What WinHTTP's request object sends when the caller names no agent.
constexpr const wchar_t* DefaultUserAgent = L"Mozilla/4.0 (compatible; Win32; WinHttp.WinHttpRequest.5)";

// A text body goes out as UTF-8 bytes, a byte array as it is.
std::string BodyBytes(const _variant_t& body)
{
    if (body.vt == VT_BSTR)
        return WideToMultiByte(CStdStr::FromBSTR(body.bstrVal), CP_UTF8);
    if (body.vt == VT_EMPTY || body.vt == VT_ERROR || body.vt == VT_NULL)
        return std::string();
    if (body.vt != (VT_ARRAY | VT_UI1))
        throw hresult_exception::Com(E_INVALIDARG);
    const LSResponseText::Bytes bytes = LSResponseText::BytesOf(body);
    return std::string(bytes.data ? bytes.data : "", bytes.size);
}

// A line break would let a value add headers of its own.
bool IsHeaderLine(const std::wstring& name, const std::wstring& value)
{
    const auto breaks = [](const std::wstring& text) { return text.find_first_of(L"\r\n") != std::wstring::npos; };
    return !name.empty() && name.find(L':') == std::wstring::npos && !breaks(name) && !breaks(value);
}

UniqueInternetHandle OpenSession(const std::wstring& url)
{
    const LSUserProxy::Choice choice = LSUserProxy::ForUrl(url);
    if (choice.direct)
        return UniqueInternetHandle(WinHttpOpen(DefaultUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                                WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    LS_DIAG_LOG << "Proxy " << ToLogText(choice.proxy) << " for " << ToLogText(url);
    return UniqueInternetHandle(WinHttpOpen(DefaultUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                            choice.proxy.c_str(),
                                            choice.bypass.empty() ? WINHTTP_NO_PROXY_BYPASS : choice.bypass.c_str(),
                                            WINHTTP_FLAG_ASYNC));
}

} // namespace

LSWinHttpPlatformRequest::LSWinHttpPlatformRequest() = default;

LSWinHttpPlatformRequest::~LSWinHttpPlatformRequest() = default;

void LSWinHttpPlatformRequest::AbandonExchange::operator()(LSWinHttpExchange* exchange) const
{
    exchange->Abandon();
}

HRESULT LSWinHttpPlatformRequest::Open(const _bstr_t& method, const _bstr_t& url, const _variant_t&,
                                       const _variant_t&, const _variant_t&)
{
    // The component's requests carry a bearer token, never a user and
    // password, and are always asynchronous: every caller waits for the
    // answer through the one wait, which pumps messages and bounds the time
    // without an answer.
    if (m_request)
        return E_UNEXPECTED; // one exchange per object
    const std::wstring address = CStdStr::FromBSTR(url);
    URL_COMPONENTS parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = DWORD(-1);
    if (!WinHttpCrackUrl(address.c_str(), 0, 0, &parts))
        return LastWinHttpError();
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    const std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength + parts.dwExtraInfoLength);
    m_session = OpenSession(address);
    if (m_session)
        m_connection.Reset(WinHttpConnect(m_session.Get(), host.c_str(), parts.nPort, 0));
    if (m_connection)
        m_request.Reset(WinHttpOpenRequest(m_connection.Get(), CStdStr::FromBSTR(method).c_str(),
                                           path.empty() ? L"/" : path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
    if (!m_request)
        return LastWinHttpError();
    return Configure(address);
}

HRESULT LSWinHttpPlatformRequest::Configure(const std::wstring& url)
{
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS;
    if (!WinHttpSetOption(m_request.Get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof(disabled)))
    {
        const HRESULT hr = LastWinHttpError();
        LS_ERROR_LOG << "Cannot switch redirects off for " << ToLogText(url) << ": " << LogHex(hr);
        return hr;
    }
    const int receiveMs = static_cast<int>(std::min<uint64_t>(LSAnswerWait::NoAnswerLimitMs(), INT_MAX));
    if (!WinHttpSetTimeouts(m_request.Get(), 0, ConnectTimeoutMs, SendTimeoutMs, receiveMs))
        return LastWinHttpError();
    m_exchange.reset(LSWinHttpExchange::Attach(m_request.Get()));
    return m_exchange ? S_OK : LastWinHttpError();
}

LSWinHttpExchange::Stage LSWinHttpPlatformRequest::CurrentStage() const
{
    return m_exchange ? m_exchange->CurrentStage() : LSWinHttpExchange::Stage::Opened;
}

HRESULT LSWinHttpPlatformRequest::SetRequestHeader(const _bstr_t& name, const _bstr_t& value)
{
    if (!m_exchange || CurrentStage() != LSWinHttpExchange::Stage::Opened)
        return E_UNEXPECTED;
    const std::wstring nameText = CStdStr::FromBSTR(name);
    const std::wstring valueText = CStdStr::FromBSTR(value);
    if (!IsHeaderLine(nameText, valueText))
        return E_INVALIDARG;
    const std::wstring line = nameText + L": " + valueText;
    // A header set again replaces the one before, as the request objects do.
    if (!WinHttpAddRequestHeaders(m_request.Get(), line.c_str(), static_cast<DWORD>(line.size()),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        return LastWinHttpError();
    return S_OK;
}

void LSWinHttpPlatformRequest::Send(const _variant_t& body)
{
    if (!m_exchange || CurrentStage() != LSWinHttpExchange::Stage::Opened)
        throw hresult_exception::Com(E_UNEXPECTED);
    m_exchange->Send(m_request.Get(), BodyBytes(body));
}

long LSWinHttpPlatformRequest::ReadyState()
{
    switch (CurrentStage())
    {
    case LSWinHttpExchange::Stage::Opened:
        return 1;
    case LSWinHttpExchange::Stage::Sent:
        return 2;
    case LSWinHttpExchange::Stage::HeadersIn:
        return 3;
    case LSWinHttpExchange::Stage::Ended:
        break;
    }
    return 4;
}

void LSWinHttpPlatformRequest::ThrowIfExchangeFailed(const std::wstring& url)
{
    if (ReadyState() == 4 && FAILED(m_exchange->Failure()))
        LSConnectionFailure::Throw(m_exchange->Failure(), url);
}

const LSWinHttpExchange& LSWinHttpPlatformRequest::Answered(bool whole) const
{
    const LSWinHttpExchange::Stage stage = CurrentStage();
    const bool ready = whole ? stage == LSWinHttpExchange::Stage::Ended
                             : stage >= LSWinHttpExchange::Stage::HeadersIn;
    // Never after a failed exchange: there is no answer then.
    if (!ready || FAILED(m_exchange->Failure()))
        throw hresult_exception::Com(E_PENDING);
    return *m_exchange;
}

_bstr_t LSWinHttpPlatformRequest::ResponseHeader(const _bstr_t& name)
{
    // Empty when the answer has no such header, as the platform answers.
    const std::wstring* value = LSResponseHeaders::Find(Answered(false).Headers(), CStdStr::FromBSTR(name));
    return _bstr_t(value ? value->c_str() : L"");
}

_bstr_t LSWinHttpPlatformRequest::AllResponseHeaders()
{
    return _bstr_t(Answered(false).HeaderText().c_str());
}

long LSWinHttpPlatformRequest::Status()
{
    return static_cast<long>(Answered(false).Status());
}

_bstr_t LSWinHttpPlatformRequest::StatusText()
{
    return _bstr_t(Answered(false).StatusText().c_str());
}

const _variant_t& LSWinHttpPlatformRequest::Body()
{
    if (m_body.vt == VT_EMPTY)
    {
        Answered(true);
        m_body = LSResponseText::ByteArray(m_exchange->TakeBody());
    }
    return m_body;
}

_variant_t LSWinHttpPlatformRequest::ResponseBody()
{
    return Body();
}

_variant_t LSWinHttpPlatformRequest::ResponseStream()
{
    const LSResponseText::Bytes bytes = LSResponseText::BytesOf(Body());
    IStreamPtr stream(SHCreateMemStream(reinterpret_cast<const BYTE*>(bytes.data), static_cast<UINT>(bytes.size)),
                      false);
    if (!stream)
        throw hresult_exception::Com(E_OUTOFMEMORY);
    return _variant_t(static_cast<IUnknown*>(stream));
}

_bstr_t LSWinHttpPlatformRequest::ResponseText()
{
    const LSResponseText::Bytes bytes = LSResponseText::BytesOf(Body());
    return _bstr_t(LSResponseText::Decode(bytes, CStdStr(ResponseHeader(L"Content-Type"))).c_str());
}

IDispatchPtr LSWinHttpPlatformRequest::ResponseXML()
{
    return IDispatchPtr(LSResponseText::LoadDocument(Body()));
}

uint64_t LSWinHttpPlatformRequest::ResponseBodyLength()
{
    return LSResponseText::BytesOf(Body()).size;
}
