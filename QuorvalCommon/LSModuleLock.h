#pragma once
// The module's lock count: raised by every live object and by LockServer, read
// by DllCanUnloadNow.
#include <windows.h>

namespace LSModuleLock {
void Lock();
void Unlock();
LONG Count();
} // namespace LSModuleLock
