#pragma once
// The one abstract HTTP request every web-service exchange goes through.
// Implementations: LSHttpRequest (the platform's WinHTTP or XMLHTTP object),
// and the recording and replaying requests of LSRequestReplay.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVACommon/http/ILSResponse.h"

#include <windows.h>
#include <comdef.h>
#include <memory>
#include <string>

// What FinishSend does beyond checking the status.
struct LSAnswerChecks
{
    bool logResponseBody = true;
};

class ILSHttpRequest
{
public:
    virtual ~ILSHttpRequest() = default;
    virtual void Configure(const std::wstring& configuration) = 0;
    virtual HRESULT Open(const _bstr_t& method, const _bstr_t& url, const _variant_t& async,
                         const _variant_t& user, const _variant_t& password) = 0;
    virtual HRESULT SetRequestHeader(const _bstr_t& name, const _bstr_t& value) = 0;
    // Null when the header was never set.
    virtual _bstr_t GetRequestHeader(const _bstr_t& name) = 0;

    // The answer of the last attempt.
    virtual ILSResponse& Response() = 0;
    _bstr_t GetResponseHeader(const _bstr_t& name) { return Response().ResponseHeader(name); }
    _bstr_t GetAllResponseHeaders() { return Response().AllResponseHeaders(); }
    _variant_t GetResponseBody() { return Response().ResponseBody(); }
    _variant_t GetResponseStream() { return Response().ResponseStream(); }
    _bstr_t GetResponseText() { return Response().ResponseText(); }
    IDispatchPtr GetResponseXML() { return Response().ResponseXML(); }
    virtual long GetStatus() { return Response().Status(); }
    _bstr_t GetStatusText() { return Response().StatusText(); }
    // One attempt in three steps, so several can be in flight: StartSend
    // sends and returns at once; the caller waits (LSAnswerWait) until
    // AnswerReadyState is 4; FinishSend then inspects the answer and throws
    // LSHttpError for an unsuccessful one. No retry here: an exchange that
    // tries again does so on a fresh request.
    virtual void StartSend(const std::wstring& url, const _variant_t& body) = 0;
    // 4 once the answer is complete, 3 while it arrives, less before.
    virtual long AnswerReadyState() = 0;
    virtual void FinishSend(const std::wstring& url, const LSAnswerChecks& checks) = 0;
};

using ILSHttpRequestPtr = std::unique_ptr<ILSHttpRequest>;
