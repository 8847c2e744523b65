#include "GroupsPassFixture.h"

#include "KOVACommon/host/LSPropertyNames.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSLibraryCache.h"
#include "LSOutlookInfoAccess.h"
#include "LSResourceLibrariesAccess.h"
#include "ScratchFolder.h"

#include <cwctype>
#include <mutex>

class LSLibraryCacheAccess
{
public:
    static void ForgetAll()
    {
        LSLibraryCache& cache = LSLibraryCache::Instance();
        const std::lock_guard<std::mutex> hold(cache.m_lock);
        cache.m_scopes.clear();
    }
};

const wchar_t* BackendName(Service service)
{
    return service == Service::Ews ? L"EWS" : L"Graph";
}

std::string ServiceTestName(const testing::TestParamInfo<Service>& info)
{
    return info.param == Service::Ews ? "Ews" : "Graph";
}

SimGroup Group(const std::wstring& id, const std::wstring& name, const std::wstring& site)
{
    return {id, name,
            {{L"Conversations", L"https://outlook.office365.com/groups/" + site},
             {L"Files", L"https://contoso.sharepoint.com/sites/" + site + L"/Shared%20Documents"}}};
}

std::vector<SimGroup> MixedGroups()
{
    SimGroup security = Group(L"5e6f7a8b-9c0d-4e1f-8a2b-3c4d5e6f7a8b", L"IT-Sicherheit", L"security");
    security.unified = false;
    return {Group(L"2f1c5b7e-9a3d-4e6f-8b1a-0c2d3e4f5a6b", L"\u00c9quipe Finance", L"finance"), security,
            Group(L"8c9d0e1f-2a3b-4c5d-9e6f-7a8b9c0d1e2f", L"R&D <Labs>", L"rd"),
            Group(L"a1b2c3d4-e5f6-4789-abcd-ef0123456789", L"\u65e5\u672c\u30c1\u30fc\u30e0", L"nihon")};
}

std::vector<SimGroup> SimGroups(size_t count)
{
    const std::vector<SimGroup> groups = {
        {L"2f1c5b7e-9a3d-4e6f-8b1a-0c2d3e4f5a6b",
         L"\u00c9quipe Finance",
         {{L"Conversations", L"https://outlook.office365.com/groups/finance"},
          {L"Files", L"https://contoso.sharepoint.com/sites/finance/Shared%20Documents"},
          {L"Files", L"https://contoso.sharepoint.com/sites/finance/Second"}}},
        {L"8c9d0e1f-2a3b-4c5d-9e6f-7a8b9c0d1e2f",
         L"R&D <Labs>",
         {{L"files", L"https://contoso.sharepoint.com/sites/rd/lower-case"},
          {L"Files", L"https://contoso.sharepoint.com/sites/rd/Shared%20Documents"}}},
        {L"a1b2c3d4-e5f6-4789-abcd-ef0123456789",
         L"\u65e5\u672c\u30c1\u30fc\u30e0",
         {{L"Files", L"https://contoso.sharepoint.com/sites/nihon/Shared%20Documents"},
          {L"Notebook", L"https://contoso.sharepoint.com/sites/nihon/SiteAssets/Notebook"}}},
    };
    return {groups.begin(), groups.begin() + static_cast<std::ptrdiff_t>(count)};
}

std::vector<SimGroup> ManyGroups(size_t count)
{
    std::vector<SimGroup> groups;
    for (size_t i = 0; i < count; ++i)
        groups.push_back(Group(CStdStr::Format(L"0000%04x-0000-4000-8000-00000000%04x", unsigned(i), unsigned(i)),
                               CStdStr::Format(L"Group %u", unsigned(i)), CStdStr::Format(L"g%u", unsigned(i))));
    return groups;
}

std::wstring SimScope()
{
    return GroupsSimulator::ServiceRoot() + L".default";
}

std::wstring RegistryForm(const std::wstring& id)
{
    std::wstring text = L"{" + id + L"}";
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(towupper(c));
    return text;
}

std::string DriveUrl(const SimGroup& group)
{
    return "groups/" + Utf8(group.id) + "/drive?$select=webUrl";
}

std::vector<std::string> SubRequestUrls(const SimRequest& batch)
{
    std::vector<std::string> urls;
    const nlohmann::json body = nlohmann::json::parse(batch.body);
    for (const nlohmann::json& request : body.at("requests"))
    {
        EXPECT_EQ("GET", request.at("method").get<std::string>());
        urls.push_back(request.at("url").get<std::string>());
    }
    return urls;
}

size_t CountPath(const std::vector<SimRequest>& requests, const std::string& path)
{
    size_t count = 0;
    for (const SimRequest& request : requests)
        count += request.path == path ? 1 : 0;
    return count;
}

PassTest::PassTest(const wchar_t* backend, std::vector<SimGroup> groups)
    : m_backendName(backend), m_groups(std::move(groups))
{
}

void PassTest::SetUp()
{
    LSOutlookInfoAccess::Reset();
    // The product's resource libraries name the profile sub-folder.
    LSResourceLibraries::LoadAtProcessAttach(nullptr);
    ForgetLibraries();
    m_resource.SetString(GroupsSimulator::ServiceRoot());
    m_graphRoot.SetString(GroupsSimulator::GraphRoot());
    m_backend.SetString(m_backendName);
    m_forcedVersion.SetString(L"16");
    for (UserSettingGuard* absent : {&m_clientId, &m_groupResourceName, &m_lightSyncEnd, &m_autoBackend,
                                     &m_batchesInFlight})
        absent->Delete();
    m_libraryRefreshHours.SetDword(0); // most cases count every library request of every pass
    Serve(m_groups);
    m_library.SetToken(1, FirstToken);
    m_library.SetToken(2, SecondToken);

    ASSERT_EQ(S_OK, CKOVAUnifiedGroupsSync::CreateInstance(nullptr, __uuidof(ILSSyncFilter2),
                                                          reinterpret_cast<void**>(&m_filter)));
    ASSERT_EQ(S_OK, ILSNeedsShutdownInfoPtr(m_filter)->SetShutdownInformer(m_informer.Pointer()));
    ASSERT_EQ(S_OK, m_filter->SetCurrentProfileName(_bstr_t(ProfileName.c_str())));
    m_folder->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation),
                     L"https://contoso.sharepoint.com!UnifiedGroups");
}

void PassTest::TearDown()
{
    if (!LSOutlookInfo::GetProfileFilePath(L"").empty())
        RemoveTree(LSOutlookInfo::GetProfileFilePath(L""));
    LSOutlookInfoAccess::Reset();
    LSResourceLibrariesAccess::Reset();
    ForgetLibraries();
    GroupsSimulator::Reset();
}

USHORT PassTest::ItemCount()
{
    USHORT count = 0xFFFF;
    EXPECT_EQ(S_OK, m_filter->get_ItemCount(&count));
    return count;
}

HRESULT PassTest::IsDeleted(const std::wstring& key)
{
    return ILSManualDeletionsSyncFilterPtr(m_filter)->IsDeleted(_bstr_t(key.c_str()), 0);
}

std::vector<std::wstring> PassTest::HostItems()
{
    std::vector<std::wstring> lines;
    const USHORT count = ItemCount();
    for (USHORT i = 0; i < count; ++i)
    {
        LSHostPropertyMapHolder basic;
        LSHostPropertyMapHolder full;
        EXPECT_EQ(S_OK, m_filter->GetItemBasicProps(i, basic.Interface()));
        EXPECT_EQ(S_OK, m_filter->SetItemProperties(i, full.Interface()));
        for (LSHostPropertyMap* map : {basic.operator->(), full.operator->()})
            for (const LSHostPropertyMap::Call& call : map->Calls())
                lines.push_back(std::to_wstring(i) + L" " + call.method + L" " + call.name + L"=" + call.value);
        lines.push_back(std::to_wstring(i) + L" IsDeleted=" + std::to_wstring(IsDeleted(basic->Text(L"UniqueId"))));
    }
    return lines;
}

void PassTest::ExpectItems(const std::vector<SimGroup>& groups)
{
    std::vector<const SimGroup*> unified;
    for (const SimGroup& group : groups)
        if (group.unified)
            unified.push_back(&group);
    ASSERT_EQ(unified.size(), ItemCount());
    for (USHORT i = 0; i < unified.size(); ++i)
    {
        const SimGroup& group = *unified[i];
        std::wstring files;
        for (const auto& [name, url] : group.resources)
            if (name == L"Files" && files.empty())
                files = url;
        const std::wstring id = RegistryForm(group.id);
        LSHostPropertyMapHolder basic;
        ASSERT_EQ(S_OK, m_filter->GetItemBasicProps(i, basic.Interface()));
        EXPECT_EQ(id, basic->Text(L"UniqueId"));
        EXPECT_EQ(group.displayName, basic->Text(L"DisplayName"));
        LSHostPropertyMapHolder full;
        ASSERT_EQ(S_OK, m_filter->SetItemProperties(i, full.Interface()));
        EXPECT_EQ(id, full->Text(L"ows-ID"));
        EXPECT_EQ(group.displayName, full->Text(L"ows-Title"));
        EXPECT_EQ(files, full->Text(L"ows-Location"));
        EXPECT_EQ(S_FALSE, IsDeleted(id));
    }
}

std::wstring PassTest::LastScope()
{
    const std::wstring arguments = m_library.StartAcquireArguments(m_library.Count(L"StartAcquire"));
    return arguments.substr(0, arguments.find(L'\t'));
}

std::wstring PassTest::ListService()
{
    BSTR service = nullptr;
    EXPECT_EQ(S_OK, IKOVAPassFiguresPtr(m_filter)->GetListService(&service));
    return CStdStr(_bstr_t(service, false));
}

void PassTest::ExpectNoTokenInLog() const
{
    for (const std::string& text : m_log.Texts())
    {
        EXPECT_EQ(std::string::npos, text.find("pass-first-token")) << text;
        EXPECT_EQ(std::string::npos, text.find("pass-second-token")) << text;
    }
}

void PassTest::Serve(const std::vector<SimGroup>& groups)
{
    GroupsSimulator::Reset();
    GroupsSimulator::SetGroups(groups);
}

size_t PassTest::CountedPass(HRESULT expected)
{
    EXPECT_EQ(expected, RunPass()) << m_log.All();
    ULONG reported = 0;
    EXPECT_EQ(S_OK, IKOVAPassFiguresPtr(m_filter)->GetLastUpdateRequests(&reported));
    const size_t seen = GroupsSimulator::Requests().size();
    EXPECT_EQ(seen, reported);
    return seen;
}

void PassTest::ForgetLibraries()
{
    LSLibraryCacheAccess::ForgetAll();
}

std::vector<std::string> PassTest::AskedLibraries()
{
    std::vector<std::string> asked;
    for (const SimRequest& request : GroupsSimulator::Requests())
    {
        if (request.path == BatchPath)
            for (const std::string& url : SubRequestUrls(request))
                asked.push_back(url.substr(7, 36)); // "groups/" + id
        const size_t value = request.body.find("<Value>");
        if (request.body.find("GetUnifiedGroupDetails") != std::string::npos && value != std::string::npos)
            asked.push_back(request.body.substr(value + 7, 36));
    }
    return asked;
}
