#pragma once
// Waiting for answers on the host's thread: the wait pumps the thread's
// window messages (through which XMLHTTP completes, and which the host's own
// objects need) one step at a time, looks at the requests after every step
// (WinHTTP's object completes on a thread of its own) and at the host's
// shutdown informer.
#include "ILSHttpRequest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace LSAnswerWait {

// How long a sent request may show no sign of an answer before it is
// abandoned: KOVA.Http.NoAnswerSeconds (default 120 s, at least 1 s), read
// once per process; by default well beyond the connect and receive timeouts
// with which the platform ends such requests on Windows.
uint64_t NoAnswerLimitMs();
// Test seam: the setting is read again on the next use.
void ForgetNoAnswerLimitForTest();

// A request whose answer is not complete within the limit: a server that
// accepted it and never answers, or stopped half-way. (Wine's XMLHTTP also
// never completes a request whose connection fails, refused or a failed TLS
// handshake; WinHTTP's object reports those at once.) Writes the error line
// and throws the platform's time-out.
[[noreturn]] void AbandonUnanswered(const std::wstring& url);

// How long one step of a wait may pause, after waitedMs of waiting.
DWORD StepMs(uint64_t waitedMs);
// Dispatches one waiting message, or waits up to one step for input to arrive.
void PumpOrWait(DWORD stepMs = StepMs(0));

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
size_t WaitForFirst(std::vector<Pending>& pending, ILSShutdownInformerPtr& shutdownInformer);

} // namespace LSAnswerWait
