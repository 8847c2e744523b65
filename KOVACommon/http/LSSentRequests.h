#pragma once
// Requests the component has sent (every attempt counts), on the calling
// thread: a pass runs on one thread, so the difference around it is what
// that pass sent, whatever other filter objects do meanwhile.
#include <cstdint>

namespace LSSentRequests {

void CountOne();
uint64_t OnThisThread();

} // namespace LSSentRequests
