#pragma once
// What the benchmarks read about their own process.
#include <cstdint>
#include <vector>

double WallMilliseconds();          // monotonic, sub-millisecond
double ProcessCpuMilliseconds();    // user + system of the whole process
uint64_t PrivateBytes();            // PROCESS_MEMORY_COUNTERS_EX.PrivateUsage
// Bytes in busy blocks of every heap of the process: what is allocated and
// not freed, apart from the heaps' own free space and fragmentation.
uint64_t LiveHeapBytes();
double Median(std::vector<double> values);
// Open handles of the process, found by probing handle values (Wine answers
// 0 to GetProcessHandleCount).
unsigned long HandleCount();
// Committed private memory of the process, walked with VirtualQuery (Wine
// answers 0 for the private-usage counter).
uint64_t CommittedPrivateBytes();
