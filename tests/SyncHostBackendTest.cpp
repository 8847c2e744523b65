// The host harness with --backend: the real DLL, once over EWS and once over
// Microsoft Graph against the simulator's built-in dataset, must report the
// same items; the run's backend settings come back afterwards.
#include <gtest/gtest.h>

#include "ComponentRegistration.h"
#include "EwsSimClient.h"
#include "GroupsSimulator.h"
#include "QuorvalCommon/LSSetting.h"
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

// The real DLL registered, a host that finds Office 16, and the backend
// settings put back afterwards.
class SyncHostBackend : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(0u, RunRegsvr32(L"/s"));
        officeVersion.SetString(L"16");
    }

    TokenLibraryStandIn tokenLibrary;
    ComponentRegistrationGuard registration;
    UserSettingGuard officeVersion{L"Tenbrid.ForceOutlookVersion"};
    UserSettingGuard lastProfileDir{L"KOVA.LastActiveProfileDir"}; // the passes record their profile folder
    UserSettingGuard backend{L"KOVAUnifiedGroups.Backend"};
};

} // namespace

TEST_F(SyncHostBackend, EwsAndGraphRunsReportTheSameItemsAndTheSettingsComeBack)
{
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

    EXPECT_EQ(5, nlohmann::json::parse(graph.output).at("itemCount").get<double>());
    EXPECT_EQ("EWS", nlohmann::json::parse(ews.output).at("backend").get<std::string>());
    EXPECT_EQ("Graph", nlohmann::json::parse(graph.output).at("backend").get<std::string>());
    std::string ewsItems = ews.output;
    ewsItems.replace(ewsItems.find("\"backend\":\"EWS\""), 15, "\"backend\":\"Graph\"");
    EXPECT_EQ(ewsItems, graph.output);
    EXPECT_EQ(L"Before", UserText(L"KOVAUnifiedGroups.Backend"));
    EXPECT_EQ(L"<absent>", UserText(L"KOVAUnifiedGroups.GraphRoot"));

    // A group whose library is still being made waits, in both output forms.
    const std::string& batch = requests[1].body;
    const size_t idStart = batch.find("groups/") + 7;
    const std::string id = batch.substr(idStart, batch.find("/drive", idStart) - idStart);
    std::string registryId = "{" + id + "}";
    for (char& c : registryId)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const char* const message = "Resource provisioning is in progress. Please try again.";
    const std::wstring tableForm = common.substr(std::wstring(L"--json ").size());
    for (bool json : {false, true})
    {
        EwsSimClient::Reset();
        GroupsSimulator::SetGraph(L"{\"provisioning\": [\"" + std::wstring(id.begin(), id.end()) + L"\"]}");
        const ProcessResult waiting = RunSyncHost((json ? common : tableForm) + L" --backend graph");
        ASSERT_EQ(0u, waiting.exitCode) << waiting.errors;
        if (json)
        {
            const nlohmann::json report = nlohmann::json::parse(waiting.output);
            EXPECT_EQ(4, report.at("itemCount").get<double>());
            ASSERT_EQ(1u, report.at("waiting").size()) << waiting.output;
            EXPECT_EQ(registryId, report.at("waiting").at(0).at("id").get<std::string>());
            EXPECT_FALSE(report.at("waiting").at(0).at("name").get<std::string>().empty());
            EXPECT_EQ(message, report.at("waiting").at(0).at("message").get<std::string>());
            continue;
        }
        EXPECT_NE(std::string::npos, waiting.output.find("4 groups listed over Microsoft Graph")) << waiting.output;
        const size_t line = waiting.output.find("\nwaiting for a document library: ");
        ASSERT_NE(std::string::npos, line) << waiting.output;
        EXPECT_NE(std::string::npos, waiting.output.find(" " + registryId + ": " + message + "\n", line))
            << waiting.output;
    }
    EXPECT_EQ(0u, nlohmann::json::parse(graph.output).at("waiting").size());

    const ProcessResult bad = RunSyncHost(L"--backend rest");
    EXPECT_EQ(2u, bad.exitCode);
    EXPECT_NE(std::string::npos, bad.errors.find("--backend must be auto, ews or graph, not rest")) << bad.errors;
}

// By default, where EWS is blocked: the first process lists over Graph after
// the two refused EWS listings (one per token); the next process asks Graph
// at once and sends no EWS request.
TEST_F(SyncHostBackend, TheDefaultBackendListsOverGraphWhereEwsIsBlockedAndTheNextProcessStartsThere)
{
    backend.Delete();
    UserSettingGuard remembered(L"KOVAUnifiedGroups.AutoBackend");
    remembered.Delete();
    UserSettingGuard lightSyncEnd(L"SharepointSync.HealthScoreLightSyncEndTime");
    const std::wstring arguments = L"--resource " + EwsSimClient::BaseUrl() + L"/ --graph-root " +
                                   EwsSimClient::BaseUrl() + L"/v1.0/";

    EwsSimClient::Reset();
    EwsSimClient::SetEwsMode("blocked");
    const ProcessResult first = RunSyncHost(arguments);
    ASSERT_EQ(0u, first.exitCode) << first.errors;
    EXPECT_NE(std::string::npos, first.output.find("5 groups listed over Microsoft Graph")) << first.output;
    std::vector<SimRequest> requests = EwsSimClient::Requests();
    ASSERT_EQ(4u, requests.size());
    EXPECT_EQ("/EWS/Exchange.asmx", requests[0].path);
    EXPECT_EQ("/EWS/Exchange.asmx", requests[1].path);
    EXPECT_EQ("/v1.0/me/memberOf/microsoft.graph.group", requests[2].path);
    EXPECT_EQ(L"Graph", UserText(L"KOVAUnifiedGroups.AutoBackend"));

    EwsSimClient::Reset();
    EwsSimClient::SetEwsMode("blocked");
    const ProcessResult second = RunSyncHost(arguments + L" --json");
    ASSERT_EQ(0u, second.exitCode) << second.errors;
    EXPECT_EQ("Graph", nlohmann::json::parse(second.output).at("backend").get<std::string>());
    requests = EwsSimClient::Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("/v1.0/me/memberOf/microsoft.graph.group", requests[0].path);
    EwsSimClient::Reset();
}
