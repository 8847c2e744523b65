#include "LSAnswerWait.h"

#include "LSBaseWS.h"
#include "LSHttpClientChoice.h"
#include "LSLog.h"
#include "LSOnceValue.h"
#include "LSSetting.h"
#include "LSTiming.h"
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
constexpr uint32_t DefaultNoAnswerSeconds = 120;

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

LSOnceValue<uint32_t>& CachedNoAnswerSeconds()
{
    static LSOnceValue<uint32_t> instance;
    return instance;
}

uint32_t NoAnswerSeconds()
{
    return CachedNoAnswerSeconds().Get([] {
        const uint32_t seconds =
            LSSetting::GetInstance().GetUserDwordConfigDetails(L"KOVA.Http.NoAnswerSeconds", DefaultNoAnswerSeconds)
                .value;
        return seconds == 0 ? 1u : seconds; // zero would abandon every request at the first look
    });
}

} // namespace

uint64_t NoAnswerLimitMs()
{
    return uint64_t(NoAnswerSeconds()) * 1000;
}

void ForgetNoAnswerLimitForTest()
{
    CachedNoAnswerSeconds().Forget();
}

void AbandonUnanswered(const std::wstring& url)
{
    // XMLHTTP shows a refused connection or a failed handshake no differently.
    const char* const causes = LSHttpClientChoice::Configured() == LSHttpClient::XmlHttp
                                   ? "the connection was refused, the TLS handshake failed (certificate not trusted or "
                                     "not issued to this host name), or the server does not answer or stopped "
                                     "half-way"
                                   : "the server does not answer or stopped half-way";
    LS_ERROR_LOG << "No answer from " << ToLogText(url) << " within " << NoAnswerSeconds()
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
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        return;
    }
    // Should the wait itself fail, a plain pause keeps the loop from spinning.
    if (MsgWaitForMultipleObjectsEx(0, nullptr, stepMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_FAILED)
        LSTiming::Sleep(stepMs);
}

size_t WaitForFirst(std::vector<Pending>& pending, ILSShutdownInformerPtr& shutdownInformer)
{
    if (pending.empty())
        throw hresult_exception(E_UNEXPECTED, "no request to wait for");
    uint64_t waitedHere = 0;
    for (;;)
    {
        const size_t completed = FirstCompleted(pending);
        if (completed < pending.size())
            return completed;
        if (CLSBaseWS::ShutdownRequested(shutdownInformer))
            ThrowHr(E_ABORT);
        const uint64_t stepStart = LSTiming::TickCount64();
        PumpOrWait(StepMs(waitedHere));
        const uint64_t stepMs = LSTiming::TickCount64() - stepStart;
        waitedHere += stepMs;
        AbandonUnansweredOf(pending, stepMs);
    }
}

} // namespace LSAnswerWait
