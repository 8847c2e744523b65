#pragma once
// Replaces LSTiming's sleep with one that only records the requested waits, so
// tests of polling loops never wait them out. Restores the real clock at the end.
#include "QuorvalCommon/LSTiming.h"

#include <windows.h>
#include <vector>

class VirtualSleep
{
public:
    VirtualSleep()
    {
        LSTiming::SetClockForTest([this](DWORD ms) { m_sleeps.push_back(ms); }, {});
    }
    ~VirtualSleep() { LSTiming::SetClockForTest({}, {}); }
    VirtualSleep(const VirtualSleep&) = delete;
    VirtualSleep& operator=(const VirtualSleep&) = delete;

    const std::vector<DWORD>& Sleeps() const { return m_sleeps; }

private:
    std::vector<DWORD> m_sleeps;
};
