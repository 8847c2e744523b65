#include "ProcessFigures.h"

#include <windows.h>
#include <psapi.h>
#include <algorithm>

double WallMilliseconds()
{
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

namespace {

double Milliseconds(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart) / 10000.0; // 100 ns units
}


uint64_t BusyBytes(HANDLE heap)
{
    uint64_t busy = 0;
    if (!HeapLock(heap))
        return 0;
    PROCESS_HEAP_ENTRY entry{};
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            busy += entry.cbData;
    HeapUnlock(heap);
    return busy;
}

} // namespace

double ProcessCpuMilliseconds()
{
    FILETIME creation, exit, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user))
        return 0.0;
    return Milliseconds(kernel) + Milliseconds(user);
}

uint64_t PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters)))
        return 0;
    // Wine leaves PrivateUsage at zero; PagefileUsage is the same commit charge there.
    return counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
}

uint64_t LiveHeapBytes()
{
    std::vector<HANDLE> heaps(64);
    DWORD count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
    if (count > heaps.size())
    {
        heaps.resize(count);
        count = GetProcessHeaps(count, heaps.data());
    }
    uint64_t busy = 0;
    for (DWORD i = 0; i < count && i < heaps.size(); ++i)
        busy += BusyBytes(heaps[i]);
    return busy;
}

unsigned long HandleCount()
{
    // Handle values are multiples of 4, handed out lowest free first; the
    // probe goes far beyond what a process of this size holds.
    const uintptr_t highest = 0x40000;
    unsigned long count = 0;
    for (uintptr_t value = 4; value <= highest; value += 4)
    {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

uint64_t CommittedPrivateBytes()
{
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    uint64_t committed = 0;
    auto address = static_cast<const char*>(system.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION region{};
    while (address < static_cast<const char*>(system.lpMaximumApplicationAddress) &&
           VirtualQuery(address, &region, sizeof(region)) == sizeof(region))
    {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            committed += region.RegionSize;
        address = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    return committed;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}
