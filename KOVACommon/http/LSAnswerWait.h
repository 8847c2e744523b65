#pragma once
// Every wait on the host's thread goes through WaitUntil: for an answer, for
// several answers in flight, for the token library, for a back-off. Before
// each look it asks the shutdown informer of the thread's pass
// (LSPassContext); each pause is measured on LSTiming's clock. Answers are
// waited for by pumping the thread's window messages (through which XMLHTTP
// completes, and which the host's own objects need) one step at a time,
// looking at the requests after every step (WinHTTP completes on a thread
// of its own).
#include "KOVACommon/http/ILSHttpRequest.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace LSAnswerWait {

// Whether the host asks this thread's pass to stop; outside a pass: never.
// A failing informer call throws a COM error carrying the informer's own
// error information.
bool ShutdownRequested();
// E_ABORT once the host asks us to stop.
void ThrowIfShutdownRequested();

// The one wait: until done says so, each round asks for shutdown (E_ABORT),
// then done (given the milliseconds the last pause took, 0 at first), then
// pauses once (given the milliseconds waited so far). A WM_QUIT that anything
// takes from the thread's queue meanwhile ends the wait with E_ABORT, as a
// shutdown does, and is posted again, with its code, for the host's loop.
void WaitUntil(const std::function<bool(uint64_t lastPauseMs)>& done,
               const std::function<void(uint64_t waitedMs)>& pause);

// How long a sent request may show no sign of an answer before it is
// abandoned: KOVA.Http.NoAnswerSeconds (default 120 s, at least 1 s), read
// once per process; by default well beyond the connect and receive timeouts
// with which the platform ends such requests on Windows.
uint64_t NoAnswerLimitMs();

// A request whose answer is not complete within the limit: a server that
// accepted it and never answers, or stopped half-way. (Wine's XMLHTTP also
// never completes a request whose connection fails, refused or a failed TLS
// handshake; WinHTTP reports those at once.) Writes the error line
// and throws the platform's time-out.
[[noreturn]] void AbandonUnanswered(const std::wstring& url);

// How long one step of a wait for answers may pause, after waitedMs of waiting.
DWORD StepMs(uint64_t waitedMs);
// Dispatches one waiting message, or waits up to one step for input to arrive.
void PumpOrWait(DWORD stepMs = StepMs(0));
// Dispatches one waiting message if there is one, then sleeps (LSTiming): a
// poll of a fixed pace that keeps this thread's windows responsive.
void PumpThenSleep(DWORD milliseconds);

// One request sent with StartSend and not yet finished.
struct Pending
{
    ILSHttpRequest* request = nullptr;
    std::wstring url;
    // Time spent waiting for it so far; only the waiting here counts, so a
    // pause elsewhere (a retry delay) does not make it look unanswered.
    uint64_t waitedMs = 0;
};

// The index of a request whose answer is complete, the first in the list
// when several are. Fails with E_ABORT once shutdown is asked, and with the
// platform's time-out once a request has shown no sign of an answer within
// NoAnswerLimitMs().
size_t WaitForFirst(std::vector<Pending>& pending);

// One request, sent: waits until its answer is complete.
void WaitForAnswer(ILSHttpRequest& request, const std::wstring& url);

} // namespace LSAnswerWait
