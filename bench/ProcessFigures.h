#pragma once
// What the benchmarks read about their own process.
#include <cstdint>
#include <vector>

double WallMilliseconds();          // monotonic, sub-millisecond
double ProcessCpuMilliseconds();    // user + system of the whole process
uint64_t PrivateBytes();            // PROCESS_MEMORY_COUNTERS_EX.PrivateUsage
double Median(std::vector<double> values);
