#pragma once
// Each group's library address, remembered between passes for the whole
// process: a library moves only when its site is renamed or moved, so a pass
// asks the library only of listed groups that have no entry yet or whose
// entry is older than KOVAUnifiedGroups.LibraryRefreshHours (default 24, 0:
// ask every time). Entries are kept apart by the service that answered, its
// root, the user's token-cache path (one per mail profile) and the resource
// name. One lock: filter objects of one process may live on different threads.
#include <windows.h>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

class LSLibraryCache
{
public:
    struct Scope
    {
        std::wstring service; // "EWS" or "Graph"
        std::wstring root;
        std::wstring tokenCachePath;
        std::wstring resourceName;
        bool operator<(const Scope& other) const;
    };

    struct Entry
    {
        std::wstring url;
        uint64_t madeAtMs = 0; // LSTiming's tick count
        int spreadPermille = 0; // the entry's own age limit: -100 to +100 of the setting
    };

    struct GuidLess
    {
        bool operator()(const GUID& a, const GUID& b) const;
    };
    using Entries = std::map<GUID, Entry, GuidLess>;

    // One pass's use: the fresh entries of the listed groups when the pass
    // begins, the addresses asked during it, and the commit once the whole
    // list is in. A pass that never commits (it failed) changes nothing.
    class Pass
    {
    public:
        // The remembered address of the listed group at index, if still fresh.
        const std::optional<std::wstring>& Fresh(size_t index) const { return m_fresh.at(index); }
        size_t FreshCount() const;
        // The address the service gave for the listed group at index.
        void Learn(size_t index, const std::wstring& url);
        // The scope holds the listed groups' entries from now on: fresh ones
        // as they were, learned ones new; groups that were not listed or got
        // no address (waiting for their library) have none.
        void Commit();

    private:
        friend class LSLibraryCache;
        Pass(LSLibraryCache& cache, Scope scope, std::vector<GUID> listed);

        LSLibraryCache& m_cache;
        Scope m_scope;
        std::vector<GUID> m_listed;
        std::vector<std::optional<std::wstring>> m_fresh;
        Entries m_kept;
    };

    static LSLibraryCache& Instance();

    // Reads the setting and takes the fresh entries of the listed groups.
    Pass Begin(const Scope& scope, const std::vector<GUID>& listed);

    // Scopes kept at most; the one used longest ago goes first.
    static constexpr size_t MostScopes = 32;

private:
    friend class LSLibraryCacheAccess;

    struct ScopeEntries
    {
        Entries entries;
        uint64_t lastUse = 0;
    };

    static uint32_t RefreshHours();
    static bool IsFresh(const Entry& entry, uint32_t hours, uint64_t now);
    Entry NewEntry(const std::wstring& url, uint64_t now);
    void Replace(const Scope& scope, Entries entries);

    std::mutex m_lock;
    std::map<Scope, ScopeEntries> m_scopes;
    uint64_t m_uses = 0;
    std::minstd_rand m_spread{GetCurrentProcessId() ^ GetTickCount()};
};
