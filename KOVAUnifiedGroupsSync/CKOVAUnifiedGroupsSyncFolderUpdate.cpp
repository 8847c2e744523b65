// The folder update that refreshes the filter's list of groups.
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"

#include "KOVACommon/auth/LSAuthRegistrations.h"
#include "KOVACommon/host/LSOutlookInfo.h"
#include "KOVACommon/host/LSPropertyNames.h"
#include "KOVACommon/http/LSPassContext.h"
#include "KOVACommon/http/LSSentRequests.h"
#include "KOVACommon/http/LSUserProxy.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupSource.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSResourceLibraries.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <climits>

namespace {

constexpr uint32_t ProductFolderNameResource = 6258;
const wchar_t* const LocationSeparator = L"!";
constexpr size_t ClientIdField = 2; // the third field of the folder location

// "\" + the product's folder name; a missing resource leaves a lone backslash.
const CStdStr& ProfileSubFolder()
{
    static const CStdStr subFolder(L"\\" + LSResourceLibraries::LoadResourceString(ProductFolderNameResource));
    return subFolder;
}

CStdStr FolderLocation(ILSPropertyMap* folder)
{
    BSTR raw = nullptr;
    HRESULT hr = folder->GetProperty(LSPropertyNames::Tenbrid_FolderLocation, &raw);
    _bstr_t location(raw, false);
    return SUCCEEDED(hr) ? CStdStr::FromBSTR(location.GetBSTR()) : CStdStr();
}

CStdStr TextSetting(const LSTextSetting& setting)
{
    return LSSetting::GetInstance().Read(setting).value;
}

} // namespace

std::vector<CStdStr> SplitOnSeparator(const std::wstring& text, const std::wstring& separator)
{
    std::vector<CStdStr> fields;
    size_t start = 0;
    for (;;)
    {
        const size_t found = separator.empty() ? std::wstring::npos : text.find(separator, start);
        if (found == std::wstring::npos)
        {
            fields.emplace_back(text.substr(start));
            return fields;
        }
        fields.emplace_back(text.substr(start, found - start));
        start = found + separator.size();
    }
}

namespace {

// Marks a folder update as running for the length of a scope.
class FolderUpdateRunning
{
public:
    explicit FolderUpdateRunning(bool& running) : m_running(running) { m_running = true; }
    ~FolderUpdateRunning() { m_running = false; }
    FolderUpdateRunning(const FolderUpdateRunning&) = delete;
    FolderUpdateRunning& operator=(const FolderUpdateRunning&) = delete;

private:
    bool& m_running;
};

// Counts the requests this thread sends for the length of a scope, failed
// updates included.
class UpdateRequestCount
{
public:
    explicit UpdateRequestCount(ULONG& count) : m_count(count), m_before(LSSentRequests::OnThisThread()) {}
    ~UpdateRequestCount()
    {
        const uint64_t sent = LSSentRequests::OnThisThread() - m_before;
        m_count = static_cast<ULONG>(std::min<uint64_t>(sent, ULONG_MAX));
    }
    UpdateRequestCount(const UpdateRequestCount&) = delete;
    UpdateRequestCount& operator=(const UpdateRequestCount&) = delete;

private:
    ULONG& m_count;
    uint64_t m_before;
};

} // namespace

STDMETHODIMP CKOVAUnifiedGroupsSync::PreContentSyncFolderUpdate(ILSPropertyMap* folder)
{
    // The update pumps the thread's messages while it waits: a handler may
    // drop the host's last reference, or start another update on this object.
    const LSObjectCallGuard alive(ControllingUnknown());
    LS_COM_BOUNDARY_BEGIN
    if (m_folderUpdateRunning)
        throw hresult_exception(HRESULT_FROM_WIN32(ERROR_BUSY), "a folder update is already running on this filter");
    const FolderUpdateRunning running(m_folderUpdateRunning);
    const UpdateRequestCount counted(m_lastUpdateRequests);
    const LSUserProxy::PassScope proxyChosenOncePerHost;
    // The informer held now serves the whole pass, even if the host swaps it meanwhile.
    const LSPassContext pass(m_shutdownInformer);
    m_startPoint.clear();
    const ILSPropertyMapPtr heldFolder(folder);
    ReadFolderSettings(heldFolder);
    RefreshGroups();
    m_hasGroupList = true;
    return S_OK;
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_PreContentSyncFolderUpdate")
}

void CKOVAUnifiedGroupsSync::ReadFolderSettings(ILSPropertyMap* folder)
{
    if (!folder)
    {
        LS_ERROR_LOG << "pPropMap cannot be NULL";
        ThrowHr(E_INVALIDARG);
    }
    const CStdStr location = FolderLocation(folder);
    if (location.empty())
        ThrowHr(E_INVALIDARG);
    const std::vector<CStdStr> fields = SplitOnSeparator(location, LocationSeparator);
    m_clientId = TextSetting(LSSettingTable::ClientId);
    if (fields.size() > ClientIdField && !fields[ClientIdField].empty())
        m_clientId = fields[ClientIdField];
}

void CKOVAUnifiedGroupsSync::RefreshGroups()
{
    const LSGroupSource::Kind kind = LSGroupSource::ConfiguredKind();
    const CStdStr profileName = LSOutlookInfo::GetProfileName();
    LSOutlookInfo::InitialiseProfileFolder(ProfileSubFolder(), profileName);
    LSGroupSourceSettings settings;
    settings.clientId = m_clientId;
    settings.cacheFilePath = LSOutlookInfo::GetProfileFilePath(LSAuthRegistrations::UnifiedGroupsCacheFileName);
    settings.resourceName = TextSetting(LSSettingTable::GroupResourceName);
    const std::unique_ptr<LSGroupSource> source = LSGroupSource::Create(kind, settings);
    LSGroupSource::GroupList list = source->GetCurrentGroups();
    m_groups = std::move(list.groups);
    m_waiting = std::move(list.waiting);
    m_listService = source->Service();
    LS_DIAG_LOG << "Group list of " << m_groups.size() << " from " << ToLogText(source->Service()) << ", "
                << m_waiting.size() << " waiting for their library";
}
