// The once-per-process logging set-up: the first caller does the work under a
// spin lock, every later caller returns at once.
#include "QuorvalCommon/LSDiag.h"

#include "QuorvalCommon/LSDiagSetup.h"
#include "QuorvalCommon/LSSetting.h"

#include <windows.h>

namespace {

volatile LONG g_initialisationLock = 0;
bool g_initialised = false;

class SpinLock
{
public:
    SpinLock()
    {
        while (InterlockedCompareExchange(&g_initialisationLock, 1, 0) != 0)
            Sleep(5);
    }
    ~SpinLock() { InterlockedExchange(&g_initialisationLock, 0); }
    SpinLock(const SpinLock&) = delete;
    SpinLock& operator=(const SpinLock&) = delete;
};

} // namespace

void LSDiag::Initialize(const std::wstring& moduleName)
{
    SpinLock lock;
    if (g_initialised)
        return;
    LSDiagSetup::Run(LSSetting::GetInstance(), moduleName, LSSetting::GetModuleFileNameSafe(nullptr));
    g_initialised = true;
}
