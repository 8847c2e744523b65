#include "QuorvalCommon/LSModuleLock.h"

namespace {
volatile LONG g_lockCount = 0;
}

namespace LSModuleLock {
void Lock() { InterlockedIncrement(&g_lockCount); }
void Unlock() { InterlockedDecrement(&g_lockCount); }
LONG Count() { return InterlockedCompareExchange(&g_lockCount, 0, 0); }
} // namespace LSModuleLock
