// Sending web-service requests and the one throttling retry of an exchange.
#include "KOVACommon/http/LSBaseWS.h"

#include "KOVACommon/http/LSAnswerWait.h"
#include "KOVACommon/http/LSDelay.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSLightSync.h"
#include "KOVACommon/http/LSPassContext.h"
#include "KOVACommon/http/LSRetryAfter.h"
#include "KOVACommon/http/LSSentRequests.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSOnFailure.h"
#include "QuorvalCommon/LSResourceLibraries.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/LSTiming.h"
#include "QuorvalCommon/LogLongText.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <cstdint>

namespace CLSBaseWS {

namespace {

constexpr uint32_t MaxAttempts = 5;
constexpr uint32_t FirstBackOffSeconds = 30;
constexpr uint32_t BackOffCeilingSeconds = 120;

_variant_t MissingParameter()
{
    return _variant_t(DISP_E_PARAMNOTFOUND, VT_ERROR);
}

std::wstring ActionName(ILSHttpRequest& request, const std::wstring& url)
{
    const CStdStr action(request.GetRequestHeader(L"SOAPAction"));
    return action.empty() ? url : action;
}

// The host learns about the wait, so it can tell the user why nothing moves.
void DelayBeforeRetry(uint32_t seconds)
{
    const uint64_t milliseconds = uint64_t(seconds) * 1000;
    const ILSShutdownInformerPtr shutdownInformer = LSPassContext::ShutdownInformer();
    if (shutdownInformer)
        ThrowIfFailedCom(shutdownInformer->BeginDelay(static_cast<long>(milliseconds)), shutdownInformer,
                         __uuidof(ILSShutdownInformer));
    {
        const LSOnFailure endDelay([&] {
            if (shutdownInformer)
                shutdownInformer->EndDelay();
        });
        LSDelay::InterruptibleDelay(milliseconds);
    }
    if (shutdownInformer)
        ThrowIfFailedCom(shutdownInformer->EndDelay(), shutdownInformer, __uuidof(ILSShutdownInformer));
}

} // namespace

bool IsThrottling(const LSHttpError& error)
{
    return error.Status() == 503 || error.Status() == 429 || error.Throttled();
}

namespace {

_variant_t LoggedBody(const std::wstring& body)
{
    if (LSSetting::GetInstance().Read(LSSettingTable::LogRequests).value != 0)
    {
        LS_DIAG_LOG << "Request: ";
        LS_LOG_LONG_DIAG(body);
    }
    return body.empty() ? MissingParameter() : _variant_t(CStdStr(body).ToBstr());
}

// What every attempt's sending starts with: the host hears of the activity,
// the request gets the product's user agent.
void PrepareSend(ILSHttpRequestPtr& request)
{
    LSSentRequests::CountOne();
    if (const ILSShutdownInformerPtr shutdownInformer = LSPassContext::ShutdownInformer())
        shutdownInformer->NotifyActivity();
    const CStdStr userAgent = LSResourceLibraries::GetUserAgent();
    if (!userAgent.empty())
        ThrowIfFailedCom(request->SetRequestHeader(L"User-Agent", userAgent.ToBstr()));
}

} // namespace

void StartAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body)
{
    const _variant_t bodyVariant = LoggedBody(body);
    PrepareSend(request);
    request->StartSend(url, bodyVariant);
}

void PerformAsyncSend(ILSHttpRequestPtr& request, const std::wstring& url, const std::wstring& body)
{
    const uint64_t start = GetTickCount64();
    const bool timed = LSDiag::PerfEnabled();
    const std::wstring action = timed ? ActionName(*request, url) : std::wstring();

    StartAsyncSend(request, url, body);
    LSAnswerWait::WaitForAnswer(*request, url);
    request->FinishSend(url, LSAnswerChecks{});

    if (timed)
    {
        LS_PERF_LOG << "|" << "CLSBaseWS::PerformAsyncSend" << "|PERF|" << "End|" << GetTickCount64() - start
                    << "|1|WS|" << ToLogText(action);
    }
}

ILSHttpRequestPtr Exchange(const RequestOpener& open, const std::wstring& url, const std::wstring& body,
                           const AnswerReader& read)
{
    ILSHttpRequestPtr answered;
    RetryOnServerUnavailable([&] {
        ILSHttpRequestPtr request = open();
        PerformAsyncSend(request, url, body);
        if (read)
            read(*request);
        answered = std::move(request);
    });
    return answered;
}

void RetryOnServerUnavailable(const std::function<void()>& attempt)
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
            if (!IsThrottling(error))
                throw;
            LSLightSync::EnableLightSync();
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
            DelayBeforeRetry(delaySeconds);
        }
    }
}

} // namespace CLSBaseWS
