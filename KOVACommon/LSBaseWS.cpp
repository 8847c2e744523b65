// Opening and sending web-service requests, the throttling retry and the
// interruptible delay between attempts.
#include "LSBaseWS.h"

#include "CStdStr.h"
#include "LSHttpError.h"
#include "LSHttpRequestFactory.h"
#include "LSLog.h"
#include "LSResourceLibraries.h"
#include "LSSentRequests.h"
#include "LSRetryAfter.h"
#include "LSSetting.h"
#include "LSSyncHelper.h"
#include "LSTiming.h"
#include "LogLongText.h"
#include "hresult_exception.h"

#include <algorithm>

namespace CLSBaseWS {

namespace {

const wchar_t SoapContentType[] = L"text/xml; charset=utf-8";
// Removed from SOAP actions in performance lines, which then name only the
// operation.
const wchar_t SharePointSoapNamespace[] = L"http://schemas.microsoft.com/sharepoint/soap/";

constexpr uint32_t MaxAttempts = 5;
constexpr uint32_t FirstBackOffSeconds = 30;
constexpr uint32_t BackOffCeilingSeconds = 120;
constexpr DWORD DelayStepMs = 100;

_variant_t MissingParameter()
{
    return _variant_t(DISP_E_PARAMNOTFOUND, VT_ERROR);
}

void RemoveAll(std::wstring& text, const std::wstring& part)
{
    for (size_t found = text.find(part); found != std::wstring::npos; found = text.find(part, found))
        text.erase(found, part.size());
}

std::wstring ActionName(ILSHttpRequest& request, const std::wstring& url)
{
    const CStdStr action(request.GetRequestHeader(L"SOAPAction"));
    return action.empty() ? url : action;
}

// The host learns about the wait, so it can tell the user why nothing moves.
void DelayBeforeRetry(ILSShutdownInformerPtr& shutdownInformer, uint32_t seconds)
{
    const uint64_t milliseconds = uint64_t(seconds) * 1000;
    if (shutdownInformer)
        CheckInformerResult(shutdownInformer, shutdownInformer->BeginDelay(static_cast<long>(milliseconds)));
    try
    {
        InterruptibleDelay(shutdownInformer, milliseconds);
    }
    catch (...)
    {
        if (shutdownInformer)
            shutdownInformer->EndDelay();
        throw;
    }
    if (shutdownInformer)
        CheckInformerResult(shutdownInformer, shutdownInformer->EndDelay());
}

} // namespace

bool IsThrottling(const LSHttpError& error)
{
    return error.Status() == 503 || error.Status() == 429 || error.Throttled();
}

void CheckInformerResult(ILSShutdownInformerPtr& shutdownInformer, HRESULT hr)
{
    ThrowIfFailedCom(hr, shutdownInformer, __uuidof(ILSShutdownInformer));
}

bool ShutdownRequested(ILSShutdownInformerPtr& shutdownInformer)
{
    if (!shutdownInformer)
        return false;
    VARIANT_BOOL requested = VARIANT_FALSE;
    CheckInformerResult(shutdownInformer, shutdownInformer->IsShutdownRequested(&requested));
    return requested != VARIANT_FALSE;
}

ILSHttpRequestPtr OpenRequest(const std::wstring& url, const std::wstring& method, bool setSoapContentType)
{
    ILSHttpRequestPtr request = GetHttpRequestFactory().Create();
    LS_DIAG_LOG << "Opening address:" << ToLogText(url);
    ThrowIfFailedCom(request->Open(_bstr_t(method.c_str()), _bstr_t(url.c_str()), _variant_t(true),
                                   MissingParameter(), MissingParameter()));
    if (setSoapContentType)
        ThrowIfFailedCom(request->SetRequestHeader(L"Content-Type", SoapContentType));
    return request;
}

namespace {

_variant_t LoggedBody(const std::wstring& body)
{
    if (LSSetting::GetInstance().GetUserDwordConfigDetails(L"KOVA.Log.WebServiceReq", 0).value != 0)
    {
        LS_DIAG_LOG << "Request: ";
        LS_LOG_LONG_DIAG(body);
    }
    return body.empty() ? MissingParameter() : _variant_t(CStdStr(body).ToBstr());
}

// What every attempt's sending starts with: the host hears of the activity,
// the request gets the product's user agent.
void PrepareSend(ILSHttpRequestPtr& request, ILSShutdownInformerPtr& shutdownInformer)
{
    LSSentRequests::CountOne();
    if (shutdownInformer)
        shutdownInformer->NotifyActivity();
    const CStdStr userAgent = LSResourceLibraries::GetUserAgent();
    if (!userAgent.empty())
        ThrowIfFailedCom(request->SetRequestHeader(L"User-Agent", userAgent.ToBstr()));
}

} // namespace

void PerformAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body,
                      ILSShutdownInformerPtr& shutdownInformer)
{
    PerformAsyncVariantSend(request, url, LoggedBody(body), shutdownInformer);
}

void StartAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body,
                    ILSShutdownInformerPtr& shutdownInformer)
{
    const _variant_t bodyVariant = LoggedBody(body);
    PrepareSend(request, shutdownInformer);
    request->StartSend(url, bodyVariant, shutdownInformer);
}

void PerformAsyncVariantSend(ILSHttpRequestPtr& request, const std::wstring& url, const _variant_t& body,
                             ILSShutdownInformerPtr& shutdownInformer)
{
    PrepareSend(request, shutdownInformer);

    const uint64_t start = GetTickCount64();
    const bool timed = LSDiag::PerfEnabled();
    std::wstring action = timed ? ActionName(*request, url) : std::wstring();

    request->PerformAsyncVariantSend(url, body, false, shutdownInformer, false, false, true);

    if (timed)
    {
        RemoveAll(action, SharePointSoapNamespace);
        LS_PERF_LOG << "|" << "CLSBaseWS::PerformAsyncVariantSend" << "|PERF|" << "End|" << GetTickCount64() - start
                    << "|1|WS|" << ToLogText(action);
    }
}

void RetryOnServerUnavailable(ILSShutdownInformerPtr& shutdownInformer, const std::function<void()>& attempt,
                              bool (*isThrottling)(const LSHttpError&))
{
    uint32_t backOffSeconds = FirstBackOffSeconds;
    for (uint32_t retryCount = 0;; ++retryCount)
    {
        try
        {
            attempt();
            return;
        }
        catch (const LSHttpError& error)
        {
            if (!isThrottling(error))
                throw;
            LSSyncHelper::EnableLightSync();
            if (retryCount + 1 >= MaxAttempts)
            {
                LS_ERROR_LOG << "Server unavailable - exceeded retries";
                throw;
            }
            // A longer wait would hold the host's thread for minutes: the
            // answer stands, and the host's next pass tries again.
            if (error.RetryAfter() > LSRetryAfter::LongestWaitSeconds)
            {
                LS_ERROR_LOG << "Server unavailable - asked to wait " << error.RetryAfter()
                             << " seconds, more than " << LSRetryAfter::LongestWaitSeconds << "; not retrying";
                throw;
            }
            uint32_t delaySeconds = error.RetryAfter();
            if (delaySeconds == 0)
            {
                delaySeconds = backOffSeconds;
                backOffSeconds = std::min(backOffSeconds * 2, BackOffCeilingSeconds);
            }
            LS_ERROR_LOG << "Server unavailable - " << retryCount << " delaying " << delaySeconds;
            DelayBeforeRetry(shutdownInformer, delaySeconds);
        }
    }
}

void InterruptibleDelay(ILSShutdownInformerPtr& shutdownInformer, uint64_t milliseconds)
{
    if (shutdownInformer)
    {
        VARIANT_BOOL onTimer = VARIANT_FALSE;
        CheckInformerResult(shutdownInformer, shutdownInformer->IsOnTimer(&onTimer));
        if (onTimer != VARIANT_FALSE)
        {
            LS_ERROR_LOG << "Shutdown informer is on a timer, possibly on the UI thread. Aborting";
            ThrowHr(E_ABORT);
        }
    }
    const uint64_t start = LSTiming::TickCount64();
    while (LSTiming::TickCount64() - start < milliseconds)
    {
        if (ShutdownRequested(shutdownInformer))
        {
            LS_ERROR_LOG << "Interrupting delay - aborting ";
            ThrowHr(E_ABORT);
        }
        LSTiming::Sleep(DelayStepMs);
    }
}

} // namespace CLSBaseWS
