#include "LSAnswerWait.h"

#include "LSHttpClientChoice.h"
#include "LSLog.h"
#include "MsxmlPtrs.h"
#include "LSTiming.h"
#include "LSTransportSettings.h"
#include "hresult_exception.h"

#include <wininet.h>

namespace LSAnswerWait {

namespace {

// Longest pause between two looks at the requests while no input arrives.
// XMLHTTP completes through window messages, which end the pause at once.
// WinHTTP's object completes on its own thread and posts nothing: its
// requests are looked at after 1 ms, then less often, never after more than
// 4 ms, so a quick answer is taken quickly and a slow one costs few looks.
constexpr DWORD WaitStepMs = 50;
constexpr DWORD FirstPollStepMs = 1;
constexpr DWORD LongestPollStepMs = 4;

// Index of the first completed request, or pending.size().
size_t FirstCompleted(std::vector<Pending>& pending)
{
    for (size_t i = 0; i < pending.size(); ++i)
        if (pending[i].request->AnswerReadyState() == XmlHttpReadyState::Completed)
            return i;
    return pending.size();
}

void AbandonUnansweredOf(std::vector<Pending>& pending, uint64_t stepMs)
{
    // Also an answer that stopped half-way: the limit bounds the whole answer.
    for (Pending& entry : pending)
    {
        entry.waitedMs += stepMs;
        if (entry.waitedMs >= NoAnswerLimitMs())
            AbandonUnanswered(entry.url);
    }
}

bool DispatchOneMessage()
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

} // namespace

bool ShutdownRequested(ILSShutdownInformerPtr& shutdownInformer)
{
    if (!shutdownInformer)
        return false;
    VARIANT_BOOL requested = VARIANT_FALSE;
    ThrowIfFailedCom(shutdownInformer->IsShutdownRequested(&requested), shutdownInformer,
                     __uuidof(ILSShutdownInformer));
    return requested != VARIANT_FALSE;
}

void ThrowIfShutdownRequested(ILSShutdownInformerPtr& shutdownInformer)
{
    if (ShutdownRequested(shutdownInformer))
        ThrowHr(E_ABORT);
}

void WaitUntil(ILSShutdownInformerPtr& shutdownInformer, const std::function<bool(uint64_t lastPauseMs)>& done,
               const std::function<void(uint64_t waitedMs)>& pause)
{
    uint64_t waited = 0;
    uint64_t lastPause = 0;
    for (;;)
    {
        ThrowIfShutdownRequested(shutdownInformer);
        if (done(lastPause))
            return;
        const uint64_t pauseStart = LSTiming::TickCount64();
        pause(waited);
        lastPause = LSTiming::TickCount64() - pauseStart;
        waited += lastPause;
    }
}

uint64_t NoAnswerLimitMs()
{
    return uint64_t(LSTransportSettings::NoAnswerSeconds()) * 1000;
}

void AbandonUnanswered(const std::wstring& url)
{
    // XMLHTTP shows a refused connection or a failed handshake no differently.
    const char* const causes = LSHttpClientChoice::Configured() == LSHttpClient::XmlHttp
                                   ? "the connection was refused, the TLS handshake failed (certificate not trusted or "
                                     "not issued to this host name), or the server does not answer or stopped "
                                     "half-way"
                                   : "the server does not answer or stopped half-way";
    LS_ERROR_LOG << "No answer from " << ToLogText(url) << " within " << LSTransportSettings::NoAnswerSeconds()
                 << " s (KOVA.Http.NoAnswerSeconds): " << causes;
    throw _com_error(HRESULT_FROM_WIN32(ERROR_INTERNET_TIMEOUT));
}

DWORD StepMs(uint64_t waitedMs)
{
    if (LSHttpClientChoice::Configured() == LSHttpClient::XmlHttp)
        return WaitStepMs;
    DWORD step = FirstPollStepMs;
    while (step < LongestPollStepMs && waitedMs >= uint64_t(step) * 4)
        step *= 2;
    return step;
}

void PumpOrWait(DWORD stepMs)
{
    if (DispatchOneMessage())
        return;
    // Should the wait itself fail, a plain pause keeps the loop from spinning.
    if (MsgWaitForMultipleObjectsEx(0, nullptr, stepMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_FAILED)
        LSTiming::Sleep(stepMs);
}

void PumpThenSleep(DWORD milliseconds)
{
    DispatchOneMessage();
    LSTiming::Sleep(milliseconds);
}

size_t WaitForFirst(std::vector<Pending>& pending, ILSShutdownInformerPtr& shutdownInformer)
{
    if (pending.empty())
        throw hresult_exception(E_UNEXPECTED, "no request to wait for");
    size_t completed = pending.size();
    WaitUntil(
        shutdownInformer,
        [&](uint64_t lastPauseMs) {
            AbandonUnansweredOf(pending, lastPauseMs);
            completed = FirstCompleted(pending);
            return completed < pending.size();
        },
        [](uint64_t waitedMs) { PumpOrWait(StepMs(waitedMs)); });
    return completed;
}

void WaitForAnswer(ILSHttpRequest& request, const std::wstring& url, ILSShutdownInformerPtr& shutdownInformer)
{
    std::vector<Pending> one{{&request, url, 0}};
    WaitForFirst(one, shutdownInformer);
}

} // namespace LSAnswerWait
