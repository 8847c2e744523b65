// The host harness run as a separate program: its failure report, the
// settings it changes only for the run, and whole passes against the
// simulator over either service.
#include <gtest/gtest.h>

#include "ComponentRegistration.h"
#include "EwsSimClient.h"
#include "GroupsSimulator.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "RegistrySnapshot.h"
#include "RegistryTestGuards.h"
#include "TestFiles.h"
#include "TokenLibraryStandIn.h"
#include "UserSettingGuard.h"
#include "WindowsProcess.h"


namespace {

const std::wstring TokenStandInKey = L"Software\\Quorval\\AuthTokenLibraryStandIn";

ProcessResult RunSyncHost(const std::wstring& arguments)
{
    return RunProcess(L"\"" + TestProgramFolder() + L"\\synchost.exe\" " + arguments, 120000);
}

std::wstring UserText(const wchar_t* name)
{
    return ReadText(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath(), name);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

struct SimulatorGroup
{
    const char* id;
    const char* name; // UTF-8
    const char* alias;
};

// The simulator's built-in dataset, in its order.
const SimulatorGroup DefaultGroups[] = {
    {"{0B6D3F4E-8A1C-4F2E-9B7D-1C2E3F4A5B6C}", "\xC3\x89quipe Finance", "EquipeFinance"},
    {"{1F2E3D4C-5B6A-4978-8695-A4B3C2D1E0F9}", "Vertrieb M\xC3\xBCnchen", "VertriebMuenchen"},
    {"{2A3B4C5D-6E7F-4081-9A2B-3C4D5E6F7A8B}", "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x83\x81\xE3\x83\xBC\xE3\x83\xA0", "JapanTeam"},
    {"{3C4D5E6F-7A8B-4C9D-8E0F-1A2B3C4D5E6F}", "R&D <Labs>", "RnDLabs"},
    {"{4D5E6F7A-8B9C-4DAE-BF01-2B3C4D5E6F7A}", "Marketing \"Q3\" 'Launch'", "MarketingLaunch"},
};

} // namespace

TEST(SyncHost, BadCommandLineAndHelp)
{
    const ProcessResult bad = RunSyncHost(L"--no-such-option");
    EXPECT_EQ(2u, bad.exitCode);
    EXPECT_TRUE(Contains(bad.errors, "unknown option --no-such-option")) << bad.errors;
    const ProcessResult missing = RunSyncHost(L"--resource");
    EXPECT_EQ(2u, missing.exitCode);
    const ProcessResult help = RunSyncHost(L"--help");
    EXPECT_EQ(0u, help.exitCode);
    EXPECT_TRUE(Contains(help.output, "--start-point TEXT")) << help.output;
}

TEST(SyncHost, FailureIsReportedAndTheRunsSettingsComeBack)
{
    UserSettingGuard resource(LSSettingTable::Resource.name);
    resource.SetString(L"https://before.example/");
    RegistryValueGuard token(HKEY_CURRENT_USER, TokenStandInKey, L"Token");
    token.Delete();

    const ProcessResult run =
        RunSyncHost(L"--json --progid KOVA.No.Such.Filter --resource http://127.0.0.1:9/ --token run-token");
    EXPECT_EQ(1u, run.exitCode);
    // The message is the system's text for the HRESULT, whatever it is.
    EXPECT_EQ(0u, run.output.find("{\"hresult\":\"0x800401F3\",\"failedStep\":\"CLSIDFromProgID\",\"message\":\""))
        << run.output;
    EXPECT_TRUE(Contains(run.output, "\",\"itemCount\":null,\"items\":[]}\n")) << run.output;
    EXPECT_TRUE(Contains(run.errors, "synchost: CLSIDFromProgID failed: 0x800401F3")) << run.errors;

    EXPECT_EQ(L"https://before.example/", UserText(LSSettingTable::Resource.name));
    EXPECT_EQ(L"<absent>", ReadText(HKEY_CURRENT_USER, TokenStandInKey, L"Token"));
}

// A registered filter, the token stand-in's clean key and the settings a pass
// touches, each put back afterwards.
class SyncHostRun : public testing::Test
{
protected:
    void SetUp() override
    {
        EwsSimClient::Reset();
        ASSERT_EQ(0u, RunRegsvr32(L"/s"));
        officeVersion.SetString(L"16");
    }

    TokenLibraryStandIn tokenLibrary;
    ComponentRegistrationGuard registration;
    UserSettingGuard officeVersion{LSSettingTable::ForceOutlookVersion.name};
    UserSettingGuard lastProfileDir{LSSettingTable::LastActiveProfileDir.name}; // the pass records its profile folder
};

// Error logging off, a failed pass still shows the component's error lines of
// that run; the run's logging settings and its log folder are gone afterwards.
TEST_F(SyncHostRun, FailedPassShowsTheComponentsErrorLines)
{
    UserSettingGuard errorLog(LSSettingTable::LogError.name);
    UserSettingGuard logDir(LSSettingTable::LogDir.name);
    for (UserSettingGuard* guard : {&officeVersion, &errorLog, &logDir})
        guard->Delete();

    const ProcessResult run = RunSyncHost(L"--resource " + EwsSimClient::BaseUrl() + L"/");
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_TRUE(Contains(run.errors, "synchost: PreContentSyncFolderUpdate failed: 0x80004005")) << run.errors;
    const size_t heading = run.errors.find("synchost: the component's error lines of this run:\n");
    ASSERT_NE(std::string::npos, heading) << run.errors;
    EXPECT_NE(std::string::npos, run.errors.find("Failed to get path to office dll", heading)) << run.errors;

    for (const wchar_t* name :
         {LSSettingTable::LogError.name, LSSettingTable::LogDir.name, LSSettingTable::LogRetentionMinutes.name})
        EXPECT_EQ(L"<absent>", UserText(name));
    EXPECT_EQ(std::string::npos, run.errors.find("Error getting directory contents")) << run.errors;
    wchar_t temp[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH + 1, temp);
    WIN32_FIND_DATAW entry;
    const UniqueFindHandle left(FindFirstFileW((std::wstring(temp) + L"synchost-*").c_str(), &entry));
    EXPECT_FALSE(left) << "a scratch file was left behind";
}

TEST_F(SyncHostRun, OnePassAgainstTheSimulatorDescribesItsGroupsAndTheTopFolder)
{

    const ProcessResult run = RunSyncHost(L"--json --token run-token --resource " + EwsSimClient::BaseUrl() +
                                          L"/ --start-point https://contoso.sharepoint.com/sites/top");
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(0u, run.exitCode) << run.errors;
    const nlohmann::json report = nlohmann::json::parse(run.output);
    EXPECT_EQ("0x00000000", report.at("hresult").get<std::string>());
    EXPECT_EQ(5, report.at("itemCount").get<double>());
    ASSERT_EQ(5u, report.at("items").size());
    for (size_t i = 0; i < 5; ++i)
    {
        const SimulatorGroup& group = DefaultGroups[i];
        const nlohmann::json& item = report.at("items").at(i);
        EXPECT_EQ(group.id, item.at("basic").at("UniqueId").get<std::string>());
        EXPECT_EQ(group.name, item.at("basic").at("DisplayName").get<std::string>());
        EXPECT_EQ(".msg", item.at("basic").at("Extension").get<std::string>());
        EXPECT_EQ(group.name, item.at("full").at("ows-Title").get<std::string>());
        EXPECT_EQ(std::string("https://contoso.sharepoint.com/sites/") + group.alias + "/Shared%20Documents",
                  item.at("full").at("ows-Location").get<std::string>());
    }
    const nlohmann::json& top = report.at("topFolder");
    EXPECT_EQ("https://contoso.sharepoint.com/sites/top", top.at("basic").at("DisplayName").get<std::string>());
    EXPECT_EQ("KOVAUnifiedGroups", top.at("full").at("Tenbrid.RepositoryType").get<std::string>());
    EXPECT_EQ(1, top.at("full").at("Tenbrid.MainFolder").get<double>()); // numbers stay numbers
    EXPECT_EQ(255, top.at("full").at("SPIsList").get<double>());

    // The stand-in handed out the run's token: every request carried it.
    const std::vector<SimRequest> requests = EwsSimClient::Requests();
    EXPECT_EQ(6u, requests.size()); // one listing, one details request per group
    for (const SimRequest& request : requests)
        EXPECT_EQ("Bearer run-token", request.Header("Authorization"));
    EXPECT_FALSE(tokenLibrary.Has(L"Token")); // put back after the run
}

// A run killed in the middle of its pass leaves the run's settings changed;
// the next run puts them back before anything else, and the logging switches
// were never changed for longer than the filter's creation.
TEST_F(SyncHostRun, SettingsOfAKilledRunComeBackWithTheNextRun)
{
    UserSettingGuard resource(LSSettingTable::Resource.name);
    resource.SetString(L"https://before.example/");
    UserSettingGuard backend(LSSettingTable::Backend.name);
    backend.Delete();
    UserSettingGuard errorLog(LSSettingTable::LogError.name);
    UserSettingGuard logDir(LSSettingTable::LogDir.name);
    errorLog.Delete();
    logDir.Delete();
    EwsSimClient::Script(
        "{\"match\":{\"operation\":\"GetUserUnifiedGroups\"},\"delayMs\":2000,\"passThrough\":true}");

    std::wstring line = L"\"" + TestProgramFolder() + L"\\synchost.exe\" --backend ews --resource " +
                        EwsSimClient::BaseUrl() + L"/";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                               &startup, &process));
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    const std::wstring settings = LSSetting::GetSettingsKeyPath();
    for (int i = 0; i < 300 && EwsSimClient::Requests().empty(); ++i)
        Sleep(50);
    ASSERT_FALSE(EwsSimClient::Requests().empty()) << "the killed run never reached the listing";
    const DWORD listingArrived = GetTickCount();
    for (const wchar_t* name : {LSSettingTable::LogError.name, LSSettingTable::LogDir.name})
        EXPECT_EQ(L"<absent>", ReadText(HKEY_CURRENT_USER, settings, name)) << "during the pass";
    TerminateProcess(processHandle.Get(), 9);
    WaitForSingleObject(processHandle.Get(), 10000);
    EXPECT_EQ(EwsSimClient::BaseUrl() + L"/", ReadText(HKEY_CURRENT_USER, settings, LSSettingTable::Resource.name));
    EXPECT_EQ(L"EWS", ReadText(HKEY_CURRENT_USER, settings, LSSettingTable::Backend.name));
    EwsSimClient::Reset();

    const ProcessResult next = RunSyncHost(L"--progid KOVA.No.Such.Filter");
    EXPECT_EQ(1u, next.exitCode);
    EXPECT_EQ(L"https://before.example/", ReadText(HKEY_CURRENT_USER, settings, LSSettingTable::Resource.name));
    EXPECT_EQ(L"<absent>", ReadText(HKEY_CURRENT_USER, settings, LSSettingTable::Backend.name));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, L"Software\\Quorval\\synchost"));
    // The killed run's listing is still being answered: later cases count
    // the requests the simulator has open.
    const DWORD waited = GetTickCount() - listingArrived;
    if (waited < 2500)
        Sleep(2500 - waited);
}

// --passes: passes on one filter object, each pass's requests as the filter
// counts them and its wall time; the items are the last pass's.
TEST_F(SyncHostRun, PassesOnOneFilterShowTheRequestsOfEachPass)
{
    EXPECT_EQ(2u, RunSyncHost(L"--passes 0").exitCode);
    EXPECT_EQ(2u, RunSyncHost(L"--passes=two").exitCode);
    UserSettingGuard refreshHours(LSSettingTable::LibraryRefreshHours.name);
    refreshHours.Delete();
    const std::wstring resource = L" --backend ews --resource " + EwsSimClient::BaseUrl() + L"/";

    const ProcessResult json = RunSyncHost(L"--json --passes 3" + resource);
    ASSERT_EQ(0u, json.exitCode) << json.errors;
    EXPECT_TRUE(Contains(json.output, "\"itemCount\":5,")) << json.output;
    EXPECT_TRUE(Contains(json.output, ",\"passes\":[{\"pass\":1,\"requests\":6,\"wallMs\":")) << json.output;
    EXPECT_TRUE(Contains(json.output, "},{\"pass\":2,\"requests\":1,\"wallMs\":")) << json.output;
    EXPECT_TRUE(Contains(json.output, "},{\"pass\":3,\"requests\":1,\"wallMs\":")) << json.output;
    EXPECT_EQ(8u, EwsSimClient::Requests().size());

    // Asked at every pass: every pass costs the same.
    refreshHours.SetDword(0);
    EwsSimClient::Reset();
    const ProcessResult table = RunSyncHost(L"--passes 2" + resource);
    ASSERT_EQ(0u, table.exitCode) << table.errors;
    EXPECT_TRUE(Contains(table.output, "5 groups listed over EWS\n")) << table.output;
    EXPECT_TRUE(Contains(table.output, "\nPass  Requests  Wall ms\n1     6         ")) << table.output;
    EXPECT_TRUE(Contains(table.output, "\n2     6         ")) << table.output;
    EXPECT_EQ(12u, EwsSimClient::Requests().size());
}

// With --backend, the real DLL over EWS and over Microsoft Graph against the
// simulator's built-in dataset reports the same items; the run's backend
// settings come back afterwards.
TEST_F(SyncHostRun, EwsAndGraphRunsReportTheSameItemsAndTheSettingsComeBack)
{
    UserSettingGuard backend(LSSettingTable::Backend.name);
    backend.SetString(L"Before");
    UserSettingGuard graphRoot(LSSettingTable::GraphRoot.name);
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
    EXPECT_EQ(L"Before", UserText(LSSettingTable::Backend.name));
    EXPECT_EQ(L"<absent>", UserText(LSSettingTable::GraphRoot.name));

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
TEST_F(SyncHostRun, TheDefaultBackendListsOverGraphWhereEwsIsBlockedAndTheNextProcessStartsThere)
{
    UserSettingGuard backend(LSSettingTable::Backend.name);
    backend.Delete();
    UserSettingGuard remembered(LSSettingTable::AutoBackend.name);
    remembered.Delete();
    UserSettingGuard lightSyncEnd(LSSettingTable::LightSyncEndTime.name);
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
    EXPECT_EQ(L"Graph", UserText(LSSettingTable::AutoBackend.name));

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
