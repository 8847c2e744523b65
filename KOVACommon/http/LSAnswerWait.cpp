#include "KOVACommon/http/LSAnswerWait.h"

#include "KOVACommon/http/LSHttpClientChoice.h"
#include "KOVACommon/http/LSPassContext.h"
#include "KOVACommon/http/LSTransportSettings.h"
#include "KOVACommon/xml/MsxmlPtrs.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSTiming.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "QuorvalCommon/hresult_exception.h"

#include <optional>
#include <utility>
#include <wininet.h>

namespace LSAnswerWait {

namespace {

// Longest pause between two looks at the requests while no input arrives.
// XMLHTTP completes through window messages, which end the pause at once.
// WinHTTP completes on its own thread and posts nothing: its
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

[[noreturn]] void EndWaitForQuit(WPARAM code)
{
    LS_WARNING_LOG << "The host quits (WM_QUIT, code " << static_cast<long long>(code)
                   << ") during a wait: the pass ends as a shutdown";
    ThrowHr(E_ABORT);
}

bool DispatchOneMessage()
{
    MSG message;
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        return false;
    // Only without a keeper (it could not be set up): the quit goes back at once.
    if (message.message == WM_QUIT)
    {
        PostQuitMessage(static_cast<int>(message.wParam));
        EndWaitForQuit(message.wParam);
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
    return true;
}

thread_local std::optional<WPARAM> t_caughtQuit;

LRESULT CALLBACK CatchQuit(int code, WPARAM removal, LPARAM message)
{
    MSG* const taken = reinterpret_cast<MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && taken->message == WM_QUIT)
    {
        t_caughtQuit = taken->wParam;
        taken->message = WM_NULL;
    }
    return CallNextHookEx(nullptr, code, removal, message);
}

// The host's WM_QUIT (its own shutdown) is the host's to take, whoever takes
// it from the queue during a wait: this wait's pump, or a platform object
// whose own wait dispatches every message it finds. For the length of the wait it becomes WM_NULL there and is noted;
// the wait then ends as a shutdown, and the quit is posted again, with its
// code, for the host's own loop.
class QuitKeeper
{
public:
    QuitKeeper()
        : m_outer(std::exchange(t_caughtQuit, std::nullopt)),
          m_hook(SetWindowsHookExW(WH_GETMESSAGE, CatchQuit, nullptr, GetCurrentThreadId()))
    {
    }
    ~QuitKeeper()
    {
        m_hook.Reset();
        if (t_caughtQuit)
            PostQuitMessage(static_cast<int>(*t_caughtQuit));
        t_caughtQuit = m_outer;
    }
    QuitKeeper(const QuitKeeper&) = delete;
    QuitKeeper& operator=(const QuitKeeper&) = delete;

    void ThrowIfCaught() const
    {
        if (t_caughtQuit)
            EndWaitForQuit(*t_caughtQuit);
    }

private:
    std::optional<WPARAM> m_outer;
    UniqueHook m_hook; // taken off first, so the quit is posted past it
};

} // namespace

bool ShutdownRequested()
{
    const ILSShutdownInformerPtr shutdownInformer = LSPassContext::ShutdownInformer();
    if (!shutdownInformer)
        return false;
    VARIANT_BOOL requested = VARIANT_FALSE;
    ThrowIfFailedCom(shutdownInformer->IsShutdownRequested(&requested), shutdownInformer,
                     __uuidof(ILSShutdownInformer));
    return requested != VARIANT_FALSE;
}

void ThrowIfShutdownRequested()
{
    if (ShutdownRequested())
        ThrowHr(E_ABORT);
}

void WaitUntil(const std::function<bool(uint64_t lastPauseMs)>& done,
               const std::function<void(uint64_t waitedMs)>& pause)
{
    const QuitKeeper quit;
    uint64_t waited = 0;
    uint64_t lastPause = 0;
    for (;;)
    {
        ThrowIfShutdownRequested();
        const bool finished = done(lastPause);
        quit.ThrowIfCaught();
        if (finished)
            return;
        const uint64_t pauseStart = LSTiming::TickCount64();
        pause(waited);
        quit.ThrowIfCaught();
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
    throw hresult_exception::Com(HRESULT_FROM_WIN32(ERROR_INTERNET_TIMEOUT));
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

size_t WaitForFirst(std::vector<Pending>& pending)
{
    if (pending.empty())
        throw hresult_exception(E_UNEXPECTED, "no request to wait for");
    size_t completed = pending.size();
    WaitUntil(
        [&](uint64_t lastPauseMs) {
            AbandonUnansweredOf(pending, lastPauseMs);
            completed = FirstCompleted(pending);
            return completed < pending.size();
        },
        [](uint64_t waitedMs) { PumpOrWait(StepMs(waitedMs)); });
    return completed;
}

void WaitForAnswer(ILSHttpRequest& request, const std::wstring& url)
{
    std::vector<Pending> one{{&request, url, 0}};
    WaitForFirst(one);
}

} // namespace LSAnswerWait
