// Benchmarks of the Unified Groups filter; scripts/bench.sh runs them and
// prints the table. Each command prints "name=value" lines.
//   kovabench pass URL PASSES [graph]  passes through the component, one new filter each;
//                                    graph: over the simulator's Microsoft Graph root (URL + "v1.0/")
//   kovabench memory URL PASSES      passes on one filter object, private bytes after the first and last
//   kovabench floor URL FILE PASSES  the same exchanges by a minimal synchronous client
//   kovabench floor-memory URL FILE PASSES  the floor client's memory over as many passes
//   kovabench startup                one pass in a fresh process, with the moments of its start-up; the
//                                    service root (KOVAUnifiedGroups.Resource) is the script's to set before
//   kovabench clean MB               XML cleaning throughput
//   kovabench unload URL CYCLES [hold-token-library]  create, one pass, release, free unused libraries,
//                                    CYCLES times: handles and committed private bytes after cycle 10 and
//                                    the last; hold-token-library keeps the token library stand-in loaded
//   kovabench floor-unload URL FILE CYCLES  the same cycles with the floor client's exchanges instead
//   kovabench repeat URL PASSES [graph]  one filter object: a first pass, then PASSES repeated passes that
//                                    take the remembered libraries (every other command asks every library)
#include "CleaningBench.h"
#include "ComponentPass.h"
#include "FloorClient.h"
#include "ProcessFigures.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "QuorvalCommon/hresult_exception.h"

#include <windows.h>
#include <objbase.h>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

const wchar_t* const ProgId = L"Quorval.SyncFilter.UnifiedGroups";

class ComApartment
{
public:
    ComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) { ThrowIfFailedCom(m_hr); }
    ~ComApartment() { CoUninitialize(); }

private:
    HRESULT m_hr;
};

void SetUserText(const wchar_t* name, const std::wstring& text)
{
    UniqueHKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath().c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
        throw hresult_exception(E_FAIL, "cannot open the settings key");
    RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetResource(const std::wstring& url)
{
    SetUserText(LSSettingTable::Resource.name, url);
}

// The Graph path for the length of a run; the settings go again afterwards,
// so later runs in the prefix take the default path.
class GraphBackend
{
public:
    explicit GraphBackend(const std::wstring& url)
    {
        SetUserText(LSSettingTable::Backend.name, L"Graph");
        SetUserText(LSSettingTable::GraphRoot.name, url + L"v1.0/");
    }
    ~GraphBackend()
    {
        RegDeleteKeyValueW(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath().c_str(), LSSettingTable::Backend.name);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath().c_str(), LSSettingTable::GraphRoot.name);
    }
    GraphBackend(const GraphBackend&) = delete;
    GraphBackend& operator=(const GraphBackend&) = delete;
};

void SetUserDword(const wchar_t* name, DWORD value)
{
    if (RegSetKeyValueW(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath().c_str(), name, REG_DWORD, &value,
                        sizeof(value)) != ERROR_SUCCESS)
        throw hresult_exception(E_FAIL, "cannot write a DWORD setting");
}

// The remembered libraries: asked at every pass (0) for the commands that
// compare whole passes with the floor client's same exchanges, the default
// (24 hours) for the repeated passes. The setting goes again afterwards.
class LibraryRefresh
{
public:
    explicit LibraryRefresh(bool remember)
    {
        if (remember)
            Forget();
        else
            SetUserDword(Setting, 0);
    }
    ~LibraryRefresh() { Forget(); }
    LibraryRefresh(const LibraryRefresh&) = delete;
    LibraryRefresh& operator=(const LibraryRefresh&) = delete;

private:
    static void Forget() { RegDeleteKeyValueW(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath().c_str(), Setting); }
    static constexpr const wchar_t* Setting = LSSettingTable::LibraryRefreshHours.name;
};

struct Timed
{
    double wallMs;
    double cpuMs;
};

Timed Time(const std::function<void()>& work)
{
    const double cpu = ProcessCpuMilliseconds();
    const double wall = WallMilliseconds();
    work();
    return {WallMilliseconds() - wall, ProcessCpuMilliseconds() - cpu};
}

void PrintPasses(const std::vector<Timed>& passes, unsigned items, const char* extra = "")
{
    std::vector<double> wall, cpu;
    for (const Timed& pass : passes)
    {
        wall.push_back(pass.wallMs);
        cpu.push_back(pass.cpuMs);
    }
    std::printf("items=%u\nmedian_ms=%.2f\nmin_ms=%.2f\nmax_ms=%.2f\ncpu_ms=%.2f\n%s", items, Median(wall),
                *std::min_element(wall.begin(), wall.end()), *std::max_element(wall.begin(), wall.end()), Median(cpu),
                extra);
}

// Milliseconds since 1970 of a file time, the clock the simulator's log uses.
double EpochMilliseconds(const FILETIME& time)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<double>(value.QuadPart - 116444736000000000ull) / 10000.0;
}

double EpochNow()
{
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    return EpochMilliseconds(now);
}

// When wmain began: the host program's own start-up ends here, the same for
// the component's and the floor client's runs. Then the COM apartment, also
// the same for both.
double g_mainEpoch = 0;
double g_apartmentEpoch = 0;

double ProcessEpoch()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    return EpochMilliseconds(created);
}

// One pass in a fresh process, with the moments the script sets against the
// simulator's arrival time of the first request: process created, main, COM
// apartment, filter about to be created (the DLL loads), created and set up,
// folder update begun. A host does not write the filter's settings when it
// starts, so nothing is written here: the script sets the service root first.
int Startup()
{
    const double process = ProcessEpoch();
    const double load = EpochNow();
    unsigned items = 0;
    double update = 0;
    {
        ComponentPass pass(ProgId);
        update = EpochNow();
        items = pass.Run();
    }
    std::printf("items=%u\nprocess_epoch_ms=%.3f\nmain_epoch_ms=%.3f\napartment_epoch_ms=%.3f\nload_epoch_ms=%.3f\n"
                "update_epoch_ms=%.3f\nend_epoch_ms=%.3f\n",
                items, process, g_mainEpoch, g_apartmentEpoch, load, update, EpochNow());
    return 0;
}

int Pass(const std::wstring& url, int passes)
{
    SetResource(url);
    std::vector<Timed> timed;
    std::vector<double> refresh, handOver;
    unsigned items = 0;
    for (int i = 0; i < passes; ++i)
    {
        ComponentPass pass(ProgId);
        timed.push_back(Time([&] { items = pass.Run(); }));
        refresh.push_back(pass.RefreshMs());
        handOver.push_back(pass.ItemsMs());
    }
    char split[96];
    std::snprintf(split, sizeof(split), "refresh_ms=%.2f\nitems_ms=%.2f\n", Median(refresh), Median(handOver));
    PrintPasses(timed, items, split);
    return 0;
}

// A first pass and repeated ones on one filter object, with the requests
// each sent and the whole pass's wall time (update and item hand-over).
int Repeat(const std::wstring& url, int passes)
{
    SetResource(url);
    ComponentPass pass(ProgId);
    const Timed first = Time([&] { pass.Run(); });
    const unsigned long firstRequests = pass.Requests();
    std::vector<Timed> repeated;
    std::vector<double> refresh, handOver;
    unsigned long mostRequests = 0;
    unsigned items = 0;
    for (int i = 0; i < passes; ++i)
    {
        repeated.push_back(Time([&] { items = pass.Run(); }));
        refresh.push_back(pass.RefreshMs());
        handOver.push_back(pass.ItemsMs());
        mostRequests = std::max(mostRequests, pass.Requests());
    }
    char figures[200];
    std::snprintf(figures, sizeof(figures),
                  "first_requests=%lu\nfirst_ms=%.2f\nrepeat_requests=%lu\nrefresh_ms=%.2f\nitems_ms=%.2f\n",
                  firstRequests, first.wallMs, mostRequests, Median(refresh), Median(handOver));
    PrintPasses(repeated, items, figures);
    return 0;
}

struct MemoryFigures
{
    unsigned long long privateBytes;
    unsigned long long heapBytes;
};

MemoryFigures PrintMemoryAt(int pass)
{
    const MemoryFigures figures{PrivateBytes(), LiveHeapBytes()};
    std::printf("at_%d=%llu %llu\n", pass, figures.privateBytes, figures.heapBytes);
    return figures;
}

// Private bytes and live heap bytes after pass 1 and the last pass, and at
// checkpoints in between ("at_N=private heap"), so growth per pass shows.
void PrintMemory(int passes, const std::function<void()>& pass)
{
    pass();
    const MemoryFigures first = PrintMemoryAt(1);
    for (int i = 2; i < passes; ++i)
    {
        pass();
        if (i % 25 == 0)
            PrintMemoryAt(i);
    }
    if (passes > 1)
        pass();
    const MemoryFigures last = PrintMemoryAt(passes);
    std::printf("private_first=%llu\nprivate_last=%llu\nheap_first=%llu\nheap_last=%llu\n", first.privateBytes,
                last.privateBytes, first.heapBytes, last.heapBytes);
}

int Memory(const std::wstring& url, int passes)
{
    SetResource(url);
    ComponentPass pass(ProgId);
    PrintMemory(passes, [&] { pass.Run(); });
    return 0;
}

std::wstring WithoutTrailingSlashes(std::wstring url)
{
    while (!url.empty() && url.back() == L'/')
        url.pop_back();
    return url;
}

// The floor client's memory over as many passes: what the platform's own
// request objects and heap do without the component.
int FloorMemory(const std::wstring& url, const std::wstring& file, int passes)
{
    const std::vector<Exchange> exchanges = ReadExchanges(file);
    const std::wstring root = WithoutTrailingSlashes(url);
    PrintMemory(passes, [&] { RunFloorPass(root, exchanges); });
    return 0;
}

int Floor(const std::wstring& url, const std::wstring& file, int passes)
{
    const std::vector<Exchange> exchanges = ReadExchanges(file);
    const std::wstring root = WithoutTrailingSlashes(url);
    std::vector<Timed> timed;
    unsigned answered = 0;
    for (int i = 0; i < passes; ++i)
        timed.push_back(Time([&] { answered = RunFloorPass(root, exchanges); }));
    std::printf("exchanges=%zu\nanswered=%u\nprocess_epoch_ms=%.3f\nmain_epoch_ms=%.3f\napartment_epoch_ms=%.3f\n",
                exchanges.size(), answered, ProcessEpoch(), g_mainEpoch, g_apartmentEpoch);
    PrintPasses(timed, answered);
    return 0;
}

// Handles and committed private bytes after cycle 10 and after the last one:
// the host's create / pass / release / unload rhythm, where every cycle that
// leaves something behind makes the process grow without end.
void PrintUnloadCycles(int cycles, const std::function<void()>& cycle)
{
    for (int i = 1; i <= cycles; ++i)
    {
        cycle();
        CoFreeUnusedLibrariesEx(0, 0);
        if (i != 10 && i != cycles)
            continue;
        const char* label = i == cycles ? "last" : "10";
        std::printf("handles_%s=%lu\nprivate_%s=%llu\nheap_%s=%llu\n", label, HandleCount(), label,
                    static_cast<unsigned long long>(CommittedPrivateBytes()), label,
                    static_cast<unsigned long long>(LiveHeapBytes()));
    }
    std::printf("cycles=%d\n", cycles);
}

// The token library stand-in is built with a static runtime too, and like any
// such library it leaves that runtime's state behind at every unload (it
// answers DllCanUnloadNow whatever is locked). Held loaded by a reference of
// the bench's own, the figures show the component's own cost.
class TokenLibraryHold
{
public:
    TokenLibraryHold()
    {
        const std::wstring key = L"CLSID\\{FBCACD24-92EC-4684-BB10-23D53903198A}\\InprocServer32";
        wchar_t path[MAX_PATH] = {};
        LONG size = sizeof(path);
        if (RegQueryValueW(HKEY_CLASSES_ROOT, key.c_str(), path, &size) != ERROR_SUCCESS)
            throw hresult_exception(E_FAIL, "the token library's registration");
        m_library.Reset(LoadLibraryW(path));
        if (!m_library)
            throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "loading the token library");
    }

private:
    UniqueHModule m_library;
};

int Unload(const std::wstring& url, int cycles, bool holdTokenLibrary)
{
    SetResource(url);
    const std::unique_ptr<TokenLibraryHold> hold = holdTokenLibrary ? std::make_unique<TokenLibraryHold>() : nullptr;
    PrintUnloadCycles(cycles, [] {
        ComponentPass pass(ProgId);
        pass.Run();
    });
    return 0;
}

int FloorUnload(const std::wstring& url, const std::wstring& file, int cycles)
{
    const std::vector<Exchange> exchanges = ReadExchanges(file);
    const std::wstring root = WithoutTrailingSlashes(url);
    PrintUnloadCycles(cycles, [&] { RunFloorPass(root, exchanges); });
    return 0;
}

int Clean(int megabytes)
{
    const CleaningFigures figures = MeasureCleaning(static_cast<size_t>(megabytes), 3);
    std::printf("answer_mb=%.2f\nclean_mbps=%.1f\nsanitise_mbps=%.1f\n", figures.megabytes, figures.cleanMBps,
                figures.sanitiseMBps);
    return 0;
}

int Dispatch(const std::vector<std::wstring>& a)
{
    ComApartment apartment;
    g_apartmentEpoch = EpochNow();
    const bool repeat = a.size() >= 3 && a[0] == L"repeat";
    const LibraryRefresh libraries(repeat);
    if (a.size() == 3 && repeat)
        return Repeat(a[1], std::stoi(a[2]));
    if (a.size() == 4 && repeat && a[3] == L"graph")
    {
        GraphBackend graph(a[1]);
        return Repeat(a[1], std::stoi(a[2]));
    }
    if (a.size() == 3 && a[0] == L"pass")
        return Pass(a[1], std::stoi(a[2]));
    if (a.size() == 4 && a[0] == L"pass" && a[3] == L"graph")
    {
        GraphBackend graph(a[1]);
        return Pass(a[1], std::stoi(a[2]));
    }
    if (a.size() == 3 && a[0] == L"memory")
        return Memory(a[1], std::stoi(a[2]));
    if (a.size() == 4 && a[0] == L"floor-memory")
        return FloorMemory(a[1], a[2], std::stoi(a[3]));
    if (a.size() == 4 && a[0] == L"floor")
        return Floor(a[1], a[2], std::stoi(a[3]));
    if (a.size() == 1 && a[0] == L"startup")
        return Startup();
    if (a.size() == 2 && a[0] == L"clean")
        return Clean(std::stoi(a[1]));
    if ((a.size() == 3 || (a.size() == 4 && a[3] == L"hold-token-library")) && a[0] == L"unload")
        return Unload(a[1], std::stoi(a[2]), a.size() == 4);
    if (a.size() == 4 && a[0] == L"floor-unload")
        return FloorUnload(a[1], a[2], std::stoi(a[3]));
    std::fprintf(stderr, "usage: kovabench pass URL PASSES [graph] | memory URL PASSES | floor URL FILE PASSES | "
                         "floor-memory URL FILE PASSES | startup | clean MB | unload URL CYCLES [hold-token-library] | "
                         "floor-unload URL FILE CYCLES | repeat URL PASSES [graph]\n");
    return 2;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    g_mainEpoch = EpochNow();
    try
    {
        return Dispatch(std::vector<std::wstring>(argv + 1, argv + argc));
    }
    catch (const hresult_exception& e)
    {
        std::fprintf(stderr, "kovabench: %s failed: 0x%08lX\n", *e.what() ? e.what() : "a step",
                     static_cast<unsigned long>(e.hr()));
    }
    catch (const _com_error& e)
    {
        std::fprintf(stderr, "kovabench: COM failure 0x%08lX\n", static_cast<unsigned long>(e.Error()));
    }
    catch (const std::exception& e)
    {
        std::fprintf(stderr, "kovabench: %s\n", e.what());
    }
    return 1;
}
