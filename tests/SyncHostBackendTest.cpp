// The host harness with --backend: the real DLL, once over EWS and once over
// Microsoft Graph against the simulator's built-in dataset, must report the
// same items; the run's backend settings come back afterwards.
#include <gtest/gtest.h>

#include "ComponentRegistration.h"
#include "EwsSimClient.h"
#include "LSSetting.h"
#include "RegistrySnapshot.h"
#include "TestFiles.h"
#include "TokenLibraryStandIn.h"
#include "UserSettingGuard.h"
#include "WindowsProcess.h"

namespace {

ProcessResult RunSyncHost(const std::wstring& arguments)
{
    return RunProcess(L"\"" + TestProgramFolder() + L"\\synchost.exe\" " + arguments, 120000);
}

std::wstring UserText(const wchar_t* name)
{
    return ReadText(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath(), name);
}

} // namespace

TEST(SyncHostBackend, EwsAndGraphRunsReportTheSameItemsAndTheSettingsComeBack)
{
    TokenLibraryStandIn tokenLibrary;
    ComponentRegistrationGuard registration;
    ASSERT_EQ(0u, RunRegsvr32(L"/s"));
    UserSettingGuard officeVersion(L"Tenbrid.ForceOutlookVersion");
    officeVersion.SetString(L"16");
    UserSettingGuard lastProfileDir(L"KOVA.LastActiveProfileDir"); // the passes record their profile folder
    UserSettingGuard backend(L"KOVAUnifiedGroups.Backend");
    backend.SetString(L"Before");
    UserSettingGuard graphRoot(L"KOVAUnifiedGroups.GraphRoot");
    graphRoot.Delete();
    const std::wstring common = L"--json --token run-token --resource " + EwsSimClient::BaseUrl() +
                                L"/ --graph-root " + EwsSimClient::BaseUrl() + L"/v1.0/";

    EwsSimClient::Reset();
    const ProcessResult ews = RunSyncHost(common + L" --backend ews");
    ASSERT_EQ(0u, ews.exitCode) << ews.errors;
    EXPECT_EQ(6u, EwsSimClient::Requests().size()); // the listing and five details

    EwsSimClient::Reset();
    const ProcessResult graph = RunSyncHost(common + L" --backend GRAPH");
    ASSERT_EQ(0u, graph.exitCode) << graph.errors;
    const std::vector<SimRequest> requests = EwsSimClient::Requests();
    ASSERT_EQ(2u, requests.size()); // the listing and one batch
    EXPECT_EQ("/v1.0/me/memberOf/microsoft.graph.group", requests[0].path);
    EXPECT_EQ("/v1.0/$batch", requests[1].path);
    EXPECT_EQ("Bearer run-token", requests[1].Header("Authorization"));

    EXPECT_EQ(5, JsonValue::Parse(graph.output)["itemCount"].Number());
    EXPECT_EQ(ews.output, graph.output);
    EXPECT_EQ(L"Before", UserText(L"KOVAUnifiedGroups.Backend"));
    EXPECT_EQ(L"<absent>", UserText(L"KOVAUnifiedGroups.GraphRoot"));

    const ProcessResult bad = RunSyncHost(L"--backend rest");
    EXPECT_EQ(2u, bad.exitCode);
    EXPECT_NE(std::string::npos, bad.errors.find("--backend must be ews or graph, not rest")) << bad.errors;
}
