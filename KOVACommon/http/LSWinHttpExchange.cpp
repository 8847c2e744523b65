#include "KOVACommon/http/LSWinHttpExchange.h"

#include "KOVACommon/http/LSAnswerLimits.h"
#include "KOVACommon/http/LSInternetHandle.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace {

constexpr DWORD ReadPieceBytes = 64 * 1024;
constexpr DWORD Notifications = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES;

std::atomic<size_t> g_live{0};

// A header of the answer as WinHTTP gives it; empty when it cannot.
std::wstring QueriedText(HINTERNET request, DWORD query)
{
    DWORD bytes = 0;
    WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0)
        return std::wstring();
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX))
        return std::wstring();
    text.resize(bytes / sizeof(wchar_t));
    return text;
}

std::wstring WithoutStatusLine(const std::wstring& headers)
{
    if (headers.compare(0, 5, L"HTTP/") != 0)
        return headers;
    const size_t lineEnd = headers.find(L'\n');
    return lineEnd == std::wstring::npos ? std::wstring() : headers.substr(lineEnd + 1);
}

} // namespace

LSWinHttpExchange::LSWinHttpExchange() : m_buffer(ReadPieceBytes)
{
    ++g_live;
}

LSWinHttpExchange::~LSWinHttpExchange()
{
    --g_live;
}

size_t LSWinHttpExchange::LiveCount()
{
    return g_live;
}

LSWinHttpExchange* LSWinHttpExchange::Attach(HINTERNET request)
{
    auto* exchange = new LSWinHttpExchange();
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(exchange);
    if (!WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context)) ||
        WinHttpSetStatusCallback(request, OnStatus, Notifications, 0) == WINHTTP_INVALID_STATUS_CALLBACK)
    {
        const DWORD error = GetLastError();
        delete exchange;
        SetLastError(error);
        return nullptr;
    }
    return exchange;
}

void LSWinHttpExchange::Abandon()
{
    LetGo(m_abandoned);
}

void LSWinHttpExchange::Closed()
{
    LetGo(m_closed);
}

void LSWinHttpExchange::LetGo(bool& side)
{
    bool lastOne = false;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        side = true;
        lastOne = m_abandoned && m_closed;
    }
    if (lastOne)
        delete this;
}

void LSWinHttpExchange::Send(HINTERNET request, std::string body)
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_sendBody = std::move(body);
        m_stage = Stage::Sent; // the callback may run before the call returns
    }
    void* const data = m_sendBody.empty() ? WINHTTP_NO_REQUEST_DATA : m_sendBody.data();
    const DWORD size = static_cast<DWORD>(m_sendBody.size());
    if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, size, size,
                            reinterpret_cast<DWORD_PTR>(this)))
    {
        const HRESULT failure = LastWinHttpError();
        End(failure);
        throw hresult_exception::Com(failure);
    }
}

LSWinHttpExchange::Stage LSWinHttpExchange::CurrentStage() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_stage;
}

HRESULT LSWinHttpExchange::Failure() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_failure;
}

std::string LSWinHttpExchange::TakeBody()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return std::move(m_body);
}

void CALLBACK LSWinHttpExchange::OnStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID info,
                                          DWORD length)
{
    if (context)
        reinterpret_cast<LSWinHttpExchange*>(context)->Handle(request, status, info, length);
}

void LSWinHttpExchange::Handle(HINTERNET request, DWORD status, const void* info, DWORD length)
{
    // Nothing may leave a callback that WinHTTP's own thread runs.
    try
    {
        switch (status)
        {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
            ReceiveResponse(request);
            break;
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            TakeHeaders(request);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            TakeRead(request, length);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            End(HRESULT_FROM_WIN32(static_cast<const WINHTTP_ASYNC_RESULT*>(info)->dwError));
            break;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
            Closed(); // the last call: the record may be gone after it
            break;
        default:
            break;
        }
    }
    catch (const std::bad_alloc&)
    {
        End(E_OUTOFMEMORY);
    }
}

void LSWinHttpExchange::ReceiveResponse(HINTERNET request)
{
    if (!WinHttpReceiveResponse(request, nullptr))
        End(LastWinHttpError());
}

void LSWinHttpExchange::TakeHeaders(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                        &status, &size, WINHTTP_NO_HEADER_INDEX);
    std::wstring statusText = QueriedText(request, WINHTTP_QUERY_STATUS_TEXT);
    std::wstring headerText = WithoutStatusLine(QueriedText(request, WINHTTP_QUERY_RAW_HEADERS_CRLF));
    LSResponseHeaders::Headers headers = LSResponseHeaders::Parse(headerText);
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_stage == Stage::Ended)
            return;
        m_status = status;
        m_statusText = std::move(statusText);
        m_headerText = std::move(headerText);
        m_headers = std::move(headers);
        m_stage = Stage::HeadersIn;
    }
    ReadNext(request);
}

void LSWinHttpExchange::TakeRead(HINTERNET request, DWORD length)
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (m_stage == Stage::Ended)
            return;
        m_body.append(m_buffer.data(), std::min<size_t>(length, m_buffer.size()));
        // Past the largest answer the rest is not worth reading: the length check refuses it.
        if (length == 0 || m_body.size() > LSAnswerLimits::LargestAnswerBytes)
        {
            m_stage = Stage::Ended;
            return;
        }
    }
    ReadNext(request);
}

void LSWinHttpExchange::ReadNext(HINTERNET request)
{
    for (;;)
    {
        DWORD piece = 0;
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            if (m_stage == Stage::Ended || m_abandoned)
                return;
            // A completion inside the read below comes back here: the loop reads on.
            if (m_reading)
            {
                m_readAgain = true;
                return;
            }
            m_reading = true;
            m_readAgain = false;
            piece = static_cast<DWORD>(
                std::min<uint64_t>(m_buffer.size(), LSAnswerLimits::LargestAnswerBytes + 1 - m_body.size()));
        }
        const BOOL started = WinHttpReadData(request, m_buffer.data(), piece, nullptr);
        const HRESULT failure = started ? S_OK : LastWinHttpError();
        bool again = false;
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_reading = false;
            again = m_readAgain;
        }
        if (!started)
            return End(failure);
        if (!again)
            return;
    }
}

void LSWinHttpExchange::End(HRESULT failure)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    if (m_stage == Stage::Ended)
        return;
    m_failure = failure;
    m_stage = Stage::Ended;
}
