#pragma once
// The one delay on the host's thread: between attempts of an exchange and
// after a high server health score.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"

#include <cstdint>

namespace LSDelay {

// Waits in 100 ms steps (LSTiming's sleep) through LSAnswerWait::WaitUntil,
// ended with E_ABORT when the host shuts down. An informer on a timer (the
// host's UI thread) refuses to wait at all, with E_ABORT.
void InterruptibleDelay(uint64_t milliseconds);

} // namespace LSDelay
