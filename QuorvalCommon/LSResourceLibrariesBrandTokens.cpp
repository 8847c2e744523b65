// Brand tokens: placeholders "!!IDS_BRAND...!!" in loaded strings, replaced by
// the brand's names from a table built once per process.
#include "QuorvalCommon/LSResourceLibraries.h"

#include "QuorvalCommon/LSResourceLibrariesDetail.h"
#include "QuorvalCommon/LSSetting.h"

#include <atomic>
#include <map>
#include <mutex>

namespace LSResourceLibraries {
namespace {

const wchar_t kTokenMarker[] = L"!!IDS_BRAND";
constexpr size_t kTokenMarkerLength = 11;
const wchar_t kCustomStoreToken[] = L"!!IDS_BRAND_TITLE_OR_CUSTOM_STORE!!";
constexpr uint32_t kReallyShortTitleId = 6249;

struct BrandTokenRow
{
    const wchar_t* token;
    uint32_t stringId;
};

// In the order the rows are loaded: a replacement may use the tokens of the
// rows above it.
const BrandTokenRow kBrandTokenRows[] = {
    {L"!!IDS_BRAND_TITLE_LONG!!", 6246},
    {L"!!IDS_BRAND_TITLE_STORENAME!!", 6248},
    {L"!!IDS_BRAND_TITLE_REALLY_SHORT!!", kReallyShortTitleId},
    {kCustomStoreToken, kReallyShortTitleId},
    {L"!!IDS_BRAND_COMPANION_TITLE_LONG!!", 6250},
    {L"!!IDS_BRAND_COMPANION_TITLE_SHORT!!", 6251},
    {L"!!IDS_BRAND_COMPANION_BASIC_TITLE_LONG!!", 6253},
    {L"!!IDS_BRAND_COMPANION_BASIC_TITLE_SHORT!!", 6254},
    {L"!!IDS_BRAND_VAULT_TITLE!!", 6257},
    {L"!!IDS_BRAND_ADDRESSEE!!", 6255},
    {L"!!IDS_BRAND_TITLE_APPDIR_REALLY_SHORT!!", 6258},
};

// Ordered by token text: replacement runs in ascending token order.
std::map<std::wstring, std::wstring> g_table;
std::mutex g_tableLock;
std::atomic<bool> g_tableReady{false};
// Set while this thread builds the table: the strings loaded for it pass
// through ReplaceBrandTokens, which then uses the rows inserted so far.
thread_local bool t_buildingTable = false;

std::wstring ReplacementOf(const BrandTokenRow& row)
{
    const CStdStr text = LoadResourceString(row.stringId);
    if (std::wstring(row.token) == kCustomStoreToken)
        return LSSetting::GetInstance().GetUserString(LSSettingTable::OverrideMessageStoreName.name, text);
    return text;
}

void BuildBrandTokenTable()
{
    for (const BrandTokenRow& row : kBrandTokenRows)
    {
        std::wstring replacement = ReplacementOf(row);
        g_table[row.token] = std::move(replacement);
    }
}

void EnsureBrandTokenTable()
{
    if (t_buildingTable || g_tableReady.load(std::memory_order_acquire))
        return;
    std::lock_guard<std::mutex> lock(g_tableLock);
    if (g_tableReady.load(std::memory_order_relaxed))
        return;
    // Built once: even a build cut short by an exception is not retried.
    struct FinishBuild
    {
        ~FinishBuild()
        {
            t_buildingTable = false;
            g_tableReady.store(true, std::memory_order_release);
        }
    } finish;
    t_buildingTable = true;
    BuildBrandTokenTable();
}

// Each search resumes after the inserted text, so a replacement holding its
// own token is not expanded again.
void ReplaceEveryOccurrence(std::wstring& text, const std::wstring& token, const std::wstring& replacement)
{
    size_t position = 0;
    while ((position = text.find(token, position)) != std::wstring::npos)
    {
        text.replace(position, token.size(), replacement);
        position += replacement.size();
    }
}

} // namespace

void ReplaceBrandTokens(std::wstring& text)
{
    if (text.size() < kTokenMarkerLength || text.find(kTokenMarker) == std::wstring::npos)
        return;
    EnsureBrandTokenTable();
    for (const auto& row : g_table)
        ReplaceEveryOccurrence(text, row.first, row.second);
}

namespace detail {

void ResetBrandTokenTable()
{
    std::lock_guard<std::mutex> lock(g_tableLock);
    g_table.clear();
    g_tableReady.store(false);
}

} // namespace detail
} // namespace LSResourceLibraries
