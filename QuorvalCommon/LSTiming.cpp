#include "QuorvalCommon/LSTiming.h"

namespace {
std::function<void(DWORD)>& SleepOverride()
{
    static std::function<void(DWORD)> instance;
    return instance;
}
std::function<uint64_t()>& TickOverride()
{
    static std::function<uint64_t()> instance;
    return instance;
}
} // namespace

namespace LSTiming {

void Sleep(DWORD milliseconds)
{
    if (SleepOverride())
        SleepOverride()(milliseconds);
    else
        ::Sleep(milliseconds);
}

uint64_t TickCount64()
{
    return TickOverride() ? TickOverride()() : ::GetTickCount64();
}

void SetClockForTest(std::function<void(DWORD)> sleep, std::function<uint64_t()> tickCount)
{
    SleepOverride() = std::move(sleep);
    TickOverride() = std::move(tickCount);
}

} // namespace LSTiming
