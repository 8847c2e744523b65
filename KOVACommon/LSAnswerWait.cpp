#include "LSAnswerWait.h"

#include "LSBaseWS.h"
#include "LSLog.h"
#include "LSOnceValue.h"
#include "LSSetting.h"
#include "LSTiming.h"
#include "hresult_exception.h"

#include <wininet.h>

namespace LSAnswerWait {

namespace {

// Longest pause between two looks at the requests while no input arrives;
// the platform completes through window messages, which end the pause at once.
constexpr DWORD WaitStepMs = 50;
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
    for (Pending& entry : pending)
    {
        entry.waitedMs += stepMs;
        if (entry.waitedMs < NoAnswerLimitMs() || entry.request->AnswerReadyState() >= XmlHttpReadyState::Receiving)
            continue;
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
    LS_ERROR_LOG << "No answer from " << ToLogText(url) << " within " << NoAnswerSeconds()
                 << " s (KOVA.Http.NoAnswerSeconds): the connection was refused, the TLS handshake failed "
                    "(certificate not trusted or not issued to this host name), or the server does not answer";
    throw _com_error(HRESULT_FROM_WIN32(ERROR_INTERNET_TIMEOUT));
}

void PumpOrWait()
{
    MSG message;
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        return;
    }
    // Should the wait itself fail, a plain pause keeps the loop from spinning.
    if (MsgWaitForMultipleObjectsEx(0, nullptr, WaitStepMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_FAILED)
        LSTiming::Sleep(WaitStepMs);
}

size_t WaitForFirst(std::vector<Pending>& pending, ILSShutdownInformerPtr& shutdownInformer)
{
    if (pending.empty())
        throw hresult_exception(E_UNEXPECTED, "no request to wait for");
    for (;;)
    {
        const size_t completed = FirstCompleted(pending);
        if (completed < pending.size())
            return completed;
        if (CLSBaseWS::ShutdownRequested(shutdownInformer))
            ThrowHr(E_ABORT);
        const uint64_t stepStart = LSTiming::TickCount64();
        PumpOrWait();
        AbandonUnansweredOf(pending, LSTiming::TickCount64() - stepStart);
    }
}

} // namespace LSAnswerWait
