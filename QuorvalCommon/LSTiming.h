#pragma once
// Sleeping and tick counts go through here so tests can replace long waits
// (retry back-offs, health-score delays) with a virtual clock.
#include <windows.h>
#include <cstdint>
#include <functional>

namespace LSTiming {

void Sleep(DWORD milliseconds);
uint64_t TickCount64();

// Replaces both; pass empty functions to restore the real clock.
void SetClockForTest(std::function<void(DWORD)> sleep, std::function<uint64_t()> tickCount);

} // namespace LSTiming
