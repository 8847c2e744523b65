#pragma once
// One exchange over WinHTTP's asynchronous API, kept where its status
// callback and the host's thread both reach it. The callback drives it
// (send, receive the headers, read the body) and writes down what arrives;
// the host's thread reads the stage and, once it shows, what arrived.
//
// WinHTTP may still call back after the owner has closed the request, up to
// its last call (handle closing); whichever of the two comes last frees the
// record. Reads are issued in a loop, never from inside the completion of
// the one before, so an answer arriving in many small pieces cannot deepen
// the stack; the body is read to one byte past the largest answer at most.
#include "KOVACommon/http/LSResponseHeaders.h"

#include <windows.h>
#include <winhttp.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

class LSWinHttpExchange
{
public:
    enum class Stage
    {
        Opened,
        Sent,
        HeadersIn,
        Ended,
    };

    // A new record, made the context of the request's status callback.
    // Nothing (and the last error set) when WinHTTP refuses the callback.
    static LSWinHttpExchange* Attach(HINTERNET request);
    // The owner's last call, after it closed the request handle.
    void Abandon();

    // Sends the request; the body's bytes are kept until the exchange ends.
    // Fails with WinHTTP's error when the request cannot even start.
    void Send(HINTERNET request, std::string body);

    Stage CurrentStage() const;
    // Once ended: S_OK, or WinHTTP's error as an HRESULT.
    HRESULT Failure() const;
    // From HeadersIn on: what the status line and headers said.
    DWORD Status() const { return m_status; }
    const std::wstring& StatusText() const { return m_statusText; }
    // The header lines, without the status line (as XMLHTTP gives them), and
    // the same parsed.
    const std::wstring& HeaderText() const { return m_headerText; }
    const LSResponseHeaders::Headers& Headers() const { return m_headers; }
    // Once ended without failure: the body, handed over once.
    std::string TakeBody();

    // Records WinHTTP has not yet let go of (tests look for leaks).
    static size_t LiveCount();

private:
    LSWinHttpExchange();
    ~LSWinHttpExchange();
    LSWinHttpExchange(const LSWinHttpExchange&) = delete;
    LSWinHttpExchange& operator=(const LSWinHttpExchange&) = delete;

    static void CALLBACK OnStatus(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID info, DWORD length);
    void Handle(HINTERNET request, DWORD status, const void* info, DWORD length);
    void ReceiveResponse(HINTERNET request);
    void TakeHeaders(HINTERNET request);
    void TakeRead(HINTERNET request, DWORD length);
    void ReadNext(HINTERNET request);
    void End(HRESULT failure);
    void Closed();
    // One side's last word (the owner's or WinHTTP's); the second frees the record.
    void LetGo(bool& side);

    mutable std::mutex m_lock;
    Stage m_stage = Stage::Opened;
    HRESULT m_failure = S_OK;
    bool m_reading = false;
    bool m_readAgain = false;
    bool m_abandoned = false;
    bool m_closed = false;

    std::string m_sendBody;
    DWORD m_status = 0;
    std::wstring m_statusText;
    std::wstring m_headerText;
    LSResponseHeaders::Headers m_headers;
    std::vector<char> m_buffer;
    std::string m_body;
};
