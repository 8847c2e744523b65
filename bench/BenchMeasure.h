#pragma once
// What the benchmarks measure of their own process: wall time from the
// performance counter, processor time (user + system, every thread) and
// private bytes.
#include <windows.h>
#include <cstddef>

struct PassFigures
{
    double wallMs = 0;
    double cpuMs = 0;
};

class PassStopwatch
{
public:
    PassStopwatch(); // starts at once
    PassFigures Elapsed() const;

private:
    LARGE_INTEGER m_start{};
    double m_cpuStartMs = 0;
};

double ProcessCpuMs();
double CounterMs(LARGE_INTEGER from, LARGE_INTEGER to);
size_t PrivateBytes();
