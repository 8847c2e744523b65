#include "KOVACommon/http/LSDelay.h"

#include "KOVACommon/http/LSAnswerWait.h"
#include "KOVACommon/http/LSPassContext.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSTiming.h"
#include "QuorvalCommon/hresult_exception.h"

namespace LSDelay {

namespace {

constexpr DWORD DelayStepMs = 100;

// A timer callback on the host's UI thread must not be held up.
void RefuseOnTimer()
{
    const ILSShutdownInformerPtr shutdownInformer = LSPassContext::ShutdownInformer();
    if (!shutdownInformer)
        return;
    VARIANT_BOOL onTimer = VARIANT_FALSE;
    ThrowIfFailedCom(shutdownInformer->IsOnTimer(&onTimer), shutdownInformer, __uuidof(ILSShutdownInformer));
    if (onTimer != VARIANT_FALSE)
    {
        LS_ERROR_LOG << "Shutdown informer is on a timer, possibly on the UI thread. Aborting";
        ThrowHr(E_ABORT);
    }
}

} // namespace

void InterruptibleDelay(uint64_t milliseconds)
{
    RefuseOnTimer();
    uint64_t waited = 0;
    try
    {
        LSAnswerWait::WaitUntil(
            [&](uint64_t lastPauseMs) {
                waited += lastPauseMs;
                return waited >= milliseconds;
            },
            [](uint64_t) { LSTiming::Sleep(DelayStepMs); });
    }
    catch (const hresult_exception& failure)
    {
        if (failure.hr() == E_ABORT)
        {
            LS_ERROR_LOG << "Interrupting delay - aborting ";
        }
        throw;
    }
}

} // namespace LSDelay
