#pragma once
// Whole enumeration passes: the filter, a host folder map and informer, the
// token library stand-in and the simulator, with the settings a pass reads
// set for the case and put back afterwards. One fixture for both services;
// ServicePassTest runs a case once over each.
#include "GroupsSimulator.h"
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "TokenLibraryStandIn.h"
#include "TransportTestSupport.h"
#include "UserSettingGuard.h"
#include "external/HostObjects/LSHostPropertyMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

_COM_SMARTPTR_TYPEDEF(IKOVAWaitingGroups, __uuidof(IKOVAWaitingGroups));
_COM_SMARTPTR_TYPEDEF(IKOVAPassFigures, __uuidof(IKOVAPassFigures));

enum class Service
{
    Ews,
    Graph,
};

inline const std::wstring FirstToken = L"eyJ0eXAiOiJKV1QifQ.pass-first-token-7d1c9a.QmFzZTY0U2ln";
inline const std::wstring SecondToken = L"eyJ0eXAiOiJKV1QifQ.pass-second-token-3e8b2f.U2lnbmF0dXJl";
inline const std::wstring ProfileName = L"GroupsPass Profile";
inline const std::string EwsPath = "/EWS/Exchange.asmx";
inline const std::string ListingPath = "/v1.0/me/memberOf/microsoft.graph.group";
inline const std::string ListingQuery = "$select=id,displayName,groupTypes&$top=999";
inline const std::string BatchPath = "/v1.0/$batch";
inline const HRESULT InvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// The value of KOVAUnifiedGroups.Backend that chooses the service.
const wchar_t* BackendName(Service service);
// Test names: "Ews", "Graph".
std::string ServiceTestName(const testing::TestParamInfo<Service>& info);

SimGroup Group(const std::wstring& id, const std::wstring& name, const std::wstring& site);
// Unified groups with a security group between them, which only Graph lists.
std::vector<SimGroup> MixedGroups();
// Several resources per group, one named "files": the first "Files" is the one.
std::vector<SimGroup> SimGroups(size_t count = 3);
std::vector<SimGroup> ManyGroups(size_t count);
// Both simulated services lie at one origin, so their tokens have one scope.
std::wstring SimScope();
// "{ID IN UPPER CASE}", as the filter hands out identifiers.
std::wstring RegistryForm(const std::wstring& id);
// The drive request of a group inside a batch.
std::string DriveUrl(const SimGroup& group);
std::vector<std::string> SubRequestUrls(const SimRequest& batch);
size_t CountPath(const std::vector<SimRequest>& requests, const std::string& path);

// Passes on one filter object created in the test program.
class PassTest : public ::testing::Test
{
protected:
    PassTest(const wchar_t* backend, std::vector<SimGroup> groups);
    void SetUp() override;
    void TearDown() override;

    HRESULT RunPass() { return m_filter->PreContentSyncFolderUpdate(m_folder.Interface()); }
    USHORT ItemCount();
    HRESULT IsDeleted(const std::wstring& key);
    // Everything the host writes for each item, and the deletion check of its key.
    std::vector<std::wstring> HostItems();
    // The unified groups, as the host sees them: each one's first "Files" resource.
    void ExpectItems(const std::vector<SimGroup>& groups);
    // The scope of the last token asked for.
    std::wstring LastScope();
    // The service the filter says produced its list.
    std::wstring ListService();
    void ExpectNoTokenInLog() const;

    // A new request log, these groups served.
    static void Serve(const std::vector<SimGroup>& groups);
    // A pass whose request count the filter reports as the simulator saw it.
    size_t CountedPass(HRESULT expected = S_OK);
    // The groups whose library went over the wire: EWS details requests and
    // Graph drive requests inside the batches.
    static std::vector<std::string> AskedLibraries();
    // The process's remembered libraries, forgotten (every case starts without them).
    static void ForgetLibraries();

    const std::wstring m_backendName;
    const std::vector<SimGroup> m_groups;
    LogCapture m_log;
    GroupsSimulator m_sim; // static members; the object only names the simulator
    TokenLibraryStandIn m_library;
    UserSettingGuard m_resource{LSSettingTable::Resource.name};
    UserSettingGuard m_backend{LSSettingTable::Backend.name};
    UserSettingGuard m_graphRoot{LSSettingTable::GraphRoot.name};
    UserSettingGuard m_clientId{LSSettingTable::ClientId.name};
    UserSettingGuard m_groupResourceName{LSSettingTable::GroupResourceName.name};
    UserSettingGuard m_forcedVersion{LSSettingTable::ForceOutlookVersion.name};
    UserSettingGuard m_lastProfileDir{LSSettingTable::LastActiveProfileDir.name};
    UserSettingGuard m_lightSyncEnd{LSSettingTable::LightSyncEndTime.name};
    UserSettingGuard m_autoBackend{LSSettingTable::AutoBackend.name};
    UserSettingGuard m_batchesInFlight{LSSettingTable::GraphBatchesInFlight.name};
    UserSettingGuard m_libraryRefreshHours{LSSettingTable::LibraryRefreshHours.name};
    ILSSyncFilter2Ptr m_filter;
    TestInformer m_informer;
    LSHostPropertyMapHolder m_folder;
};

// The filter forced to EWS: these cases are about the EWS client itself.
class GroupsPassTest : public PassTest
{
protected:
    GroupsPassTest() : PassTest(L"EWS", SimGroups()) {}
};

// The filter forced to Graph, over the mixed groups.
class GraphPassTest : public PassTest
{
protected:
    GraphPassTest() : PassTest(L"Graph", MixedGroups()) {}
};

// The same case over EWS and over Graph.
class ServicePassTest : public PassTest, public ::testing::WithParamInterface<Service>
{
protected:
    ServicePassTest() : PassTest(BackendName(GetParam()), MixedGroups()) {}
    bool OverEws() const { return GetParam() == Service::Ews; }
};
