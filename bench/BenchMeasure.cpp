#include "BenchMeasure.h"

#include <psapi.h>

namespace {

double FileTimeMs(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return double(value.QuadPart) / 10000.0; // 100 ns units
}

} // namespace

double ProcessCpuMs()
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0;
    return FileTimeMs(kernel) + FileTimeMs(user);
}

double CounterMs(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

size_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)))
        return 0;
    return counters.PrivateUsage;
}

PassStopwatch::PassStopwatch() : m_cpuStartMs(ProcessCpuMs())
{
    QueryPerformanceCounter(&m_start);
}

PassFigures PassStopwatch::Elapsed() const
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    PassFigures figures;
    figures.wallMs = CounterMs(m_start, now);
    figures.cpuMs = ProcessCpuMs() - m_cpuStartMs;
    return figures;
}
