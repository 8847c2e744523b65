#pragma once
// The module's lock count: raised by every live object and by LockServer.
// DllCanUnloadNow does not depend on it: the module is pinned.
#include <windows.h>

namespace LSModuleLock {
void Lock();
void Unlock();
LONG Count();
} // namespace LSModuleLock
