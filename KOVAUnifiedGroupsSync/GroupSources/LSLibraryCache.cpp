#include "KOVAUnifiedGroupsSync/GroupSources/LSLibraryCache.h"

#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/LSTiming.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace {

constexpr uint64_t MsPerHour = 3600ull * 1000ull;
// Entries filled in one pass must not all expire in one pass.
constexpr int MostSpreadPermille = 100;

} // namespace

bool LSLibraryCache::Scope::operator<(const Scope& other) const
{
    return std::tie(service, root, tokenCachePath, resourceName) <
           std::tie(other.service, other.root, other.tokenCachePath, other.resourceName);
}

bool LSLibraryCache::GuidLess::operator()(const GUID& a, const GUID& b) const
{
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

LSLibraryCache::Pass::Pass(LSLibraryCache& cache, Scope scope, std::vector<GUID> listed)
    : m_cache(cache), m_scope(std::move(scope)), m_listed(std::move(listed)), m_fresh(m_listed.size())
{
}

size_t LSLibraryCache::Pass::FreshCount() const
{
    return static_cast<size_t>(std::count_if(m_fresh.begin(), m_fresh.end(),
                                             [](const std::optional<std::wstring>& url) { return url.has_value(); }));
}

void LSLibraryCache::Pass::Learn(size_t index, const std::wstring& url)
{
    m_kept[m_listed.at(index)] = m_cache.NewEntry(url, LSTiming::TickCount64());
}

void LSLibraryCache::Pass::Commit()
{
    m_cache.Replace(m_scope, std::move(m_kept));
}

LSLibraryCache& LSLibraryCache::Instance()
{
    static LSLibraryCache cache;
    return cache;
}

uint32_t LSLibraryCache::RefreshHours()
{
    return LSSetting::GetInstance().ReadWithinRange(LSSettingTable::LibraryRefreshHours);
}

// A clock that went back (it never does, but a test's may) makes the entry stale.
bool LSLibraryCache::IsFresh(const Entry& entry, uint32_t hours, uint64_t now)
{
    const uint64_t limit = hours * MsPerHour / 1000 * static_cast<uint64_t>(1000 + entry.spreadPermille);
    return now >= entry.madeAtMs && now - entry.madeAtMs < limit;
}

LSLibraryCache::Entry LSLibraryCache::NewEntry(const std::wstring& url, uint64_t now)
{
    std::uniform_int_distribution<int> spread(-MostSpreadPermille, MostSpreadPermille);
    const std::lock_guard<std::mutex> hold(m_lock);
    return {url, now, spread(m_spread)};
}

LSLibraryCache::Pass LSLibraryCache::Begin(const Scope& scope, const std::vector<GUID>& listed)
{
    const uint32_t hours = RefreshHours();
    const uint64_t now = LSTiming::TickCount64();
    Pass pass(*this, scope, listed);
    const std::lock_guard<std::mutex> hold(m_lock);
    const auto found = m_scopes.find(scope);
    if (found == m_scopes.end())
        return pass;
    const Entries& entries = found->second.entries;
    for (size_t i = 0; i < listed.size(); ++i)
    {
        const auto entry = entries.find(listed[i]);
        if (entry == entries.end() || !IsFresh(entry->second, hours, now))
            continue;
        pass.m_fresh[i] = entry->second.url;
        pass.m_kept[listed[i]] = entry->second;
    }
    return pass;
}

void LSLibraryCache::Replace(const Scope& scope, Entries entries)
{
    const std::lock_guard<std::mutex> hold(m_lock);
    ScopeEntries& held = m_scopes[scope];
    held.entries = std::move(entries);
    held.lastUse = ++m_uses;
    if (m_scopes.size() <= MostScopes)
        return;
    const auto oldest = std::min_element(m_scopes.begin(), m_scopes.end(), [](const auto& a, const auto& b) {
        return a.second.lastUse < b.second.lastUse;
    });
    m_scopes.erase(oldest);
}
