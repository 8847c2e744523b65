// Whole enumeration passes over EWS. What the host reads back is compared
// with the simulator's dataset, and what went over the wire with the
// simulator's request log.
#include "GroupsPassFixture.h"
#include "KOVACommon/host/LSPropertyNames.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/replay/LSReplayRequestBase.h"
#include "KOVAUnifiedGroupsSync/GroupSources/ews/LSEwsUnifiedGroups.h"
#include "LSDiagAccess.h"
#include "LSOutlookInfoAccess.h"
#include "QuorvalCommon/LSSetting.h"
#include "ScratchFolder.h"
#include "VirtualSleep.h"

#include <gtest/gtest.h>

namespace {

const std::wstring ListingEnvelope =
    L"<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Header><RequestServerVersion "
    L"Version=\"Exchange2015\" xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\"/><MailboxCulture "
    L"xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\">en-US</MailboxCulture></s:Header><s:Body>"
    L"<a:GetUserUnifiedGroups xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\" "
    L"xmlns:a=\"http://schemas.microsoft.com/exchange/services/2006/messages\"><a:RequestedGroupsSets>"
    L"<RequestedUnifiedGroupsSet><FilterType>All</FilterType><SortDirection>Descending</SortDirection><GroupsLimit>"
    L"1000</GroupsLimit></RequestedUnifiedGroupsSet></a:RequestedGroupsSets></a:GetUserUnifiedGroups></s:Body>"
    L"</s:Envelope>";

std::wstring DetailsEnvelope(const std::wstring& id)
{
    return L"<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Header><RequestServerVersion "
           L"Version=\"V2016_01_06\" xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\"/>"
           L"<MailboxCulture xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\">en-US"
           L"</MailboxCulture></s:Header><s:Body><GetUnifiedGroupDetails "
           L"xmlns=\"http://schemas.microsoft.com/exchange/services/2006/messages\"><GroupIdentity "
           L"xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\"><Type>ExternalDirectoryObjectId"
           L"</Type><Value>" +
           id +
           L"</Value></GroupIdentity><GroupDetailsResponseShape "
           L"xmlns=\"http://schemas.microsoft.com/exchange/services/2006/types\">Basic</GroupDetailsResponseShape>"
           L"<AdditionalProperties><Property>ExternalMemberCount</Property></AdditionalProperties>"
           L"<IncludeCapabilities>false</IncludeCapabilities></GetUnifiedGroupDetails></s:Body></s:Envelope>";
}

// The details requests of the first groups, from the request at first on.
void ExpectDetailsRequests(const std::vector<SimRequest>& requests, size_t first, size_t groups,
                           const std::wstring& token)
{
    ASSERT_EQ(first + groups, requests.size());
    for (size_t i = 0; i < groups; ++i)
    {
        const SimRequest& request = requests[first + i];
        EXPECT_EQ("POST", request.method);
        EXPECT_EQ(EwsPath, request.path);
        EXPECT_EQ(Utf8(DetailsEnvelope(SimGroups()[i].id)), request.body);
        EXPECT_EQ(request.body.size(), request.bodyLength);
        EXPECT_EQ(Utf8(L"Bearer " + token), request.Header("Authorization"));
    }
}

TEST_F(GroupsPassTest, APassListsEveryGroupWithTheAddressOfItsFilesLibrary)
{
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    ExpectItems(SimGroups());
    LSHostPropertyMapHolder basic;
    ASSERT_EQ(S_OK, m_filter->GetItemBasicProps(1, basic.Interface()));
    EXPECT_EQ(L"R&D _Labs_", basic->Text(L"FileName")); // the display name "R&D <Labs>" as a file name
    EXPECT_EQ(S_OK, IsDeleted(L"{2f1c5b7e-9a3d-4e6f-8b1a-0c2d3e4f5a6b}")); // case-sensitive
    EXPECT_EQ(S_OK, IsDeleted(L"{00000000-0000-0000-0000-000000000001}"));

    const std::vector<SimRequest> requests = m_sim.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ("POST", requests[0].method);
    EXPECT_EQ(EwsPath, requests[0].path);
    EXPECT_EQ(Utf8(ListingEnvelope), requests[0].body);
    EXPECT_EQ(requests[0].body.size(), requests[0].bodyLength);
    EXPECT_EQ(Utf8(L"Bearer " + FirstToken), requests[0].Header("Authorization"));
    ExpectDetailsRequests(requests, 1, 3, FirstToken);

    EXPECT_EQ(1u, m_library.Count(L"StartAcquire"));
    EXPECT_EQ(L"AB55A6B4-82D6-4A6E-90E7-33349761E62F", m_library.Text(L"Initialise.ClientId"));
    EXPECT_EQ(L"https://login.microsoftonline.com/common/oauth2/nativeclient",
              m_library.Text(L"Initialise.RedirectAddress"));
    const std::wstring cachePath = m_library.Text(L"Initialise.CacheFilePath");
    EXPECT_EQ(LSSetting::GetInstance().GetUsersDataFolder() + L"\\KOVA\\Office 16 Profile - " + ProfileName +
                  L"\\AuthCache-unifiedgroups.db",
              cachePath);
    EXPECT_EQ(LSOutlookInfo::GetProfileFilePath(L"AuthCache-unifiedgroups.db"), cachePath);
    ExpectNoTokenInLog();
}

TEST_F(GroupsPassTest, TheThirdFieldOfTheFolderLocationOverridesTheClientId)
{
    m_clientId.SetString(L"client-from-setting");
    const std::vector<std::pair<std::wstring, std::wstring>> cases = {
        {L"a!b!client-from-location!d", L"client-from-location"},
        {L"a!b!", L"client-from-setting"},
        {L"a!b", L"client-from-setting"},
        {L"a", L"client-from-setting"},
        {L"!!", L"client-from-setting"},
    };
    for (const auto& [location, clientId] : cases)
    {
        m_folder->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation), location);
        EXPECT_EQ(S_OK, RunPass()) << location;
        EXPECT_EQ(clientId, m_library.Text(L"Initialise.ClientId")) << location;
    }
}

TEST_F(GroupsPassTest, AServiceRootWithoutTrailingSlashReachesTheSameEndpoint)
{
    std::wstring root = GroupsSimulator::ServiceRoot();
    root.pop_back();
    m_resource.SetString(root);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    for (const SimRequest& request : m_sim.Requests())
        EXPECT_EQ(EwsPath, request.path);
    EXPECT_EQ(L"http://h/EWS/Exchange.asmx", LSEwsUnifiedGroups::EndpointFor(L"http://h/"));
    EXPECT_EQ(L"http://h\\/EWS/Exchange.asmx", LSEwsUnifiedGroups::EndpointFor(L"http://h\\"));
}

TEST_F(GroupsPassTest, TwoRefusalsEndThePassWithTheHttpErrorAndKeepThePreviousList)
{
    ASSERT_EQ(S_OK, RunPass());
    Serve(SimGroups(1));
    m_sim.Refuse(FirstToken, 403);
    m_sim.Refuse(SecondToken, 403);
    EXPECT_EQ(E_FAIL, RunPass());
    ExpectItems(SimGroups());
    EXPECT_EQ(2u, m_sim.Requests().size());

    LSEwsUnifiedGroups client(L"client", L"C:\\cache.db");
    try
    {
        client.GetCurrentGroups(GroupsSimulator::ServiceRoot(), L"Files");
        ADD_FAILURE() << "no exception";
    }
    catch (const LSHttpError& error)
    {
        EXPECT_EQ(403u, error.Status());
    }

    // The administrator's log names the failure once, where the pass ends:
    // the status, the address asked and the service's own words.
    Serve(SimGroups(1));
    EwsSimClient::Script(R"({"match": {"operation": "GetUserUnifiedGroups"},
                             "fault": {"faultstring": "Mailbox database offline"}})");
    LogCapture log;
    EXPECT_EQ(E_FAIL, RunPass());
    std::string address = Utf8(GroupsSimulator::ServiceRoot());
    address = address.substr(0, address.size() - 1) + EwsPath;
    size_t naming = 0;
    for (const CapturedLine& line : log.Lines())
        naming += line.severity == google::GLOG_ERROR && line.text.find("500") != std::string::npos &&
                  line.text.find(address) != std::string::npos &&
                  line.text.find("Mailbox database offline") != std::string::npos;
    EXPECT_EQ(1u, naming) << log.All();
    EXPECT_EQ(1u, log.Count("CKOVAUnifiedGroupsSync::raw_PreContentSyncFolderUpdate: Caught LSHttpError at "
                            "interface -80004005 - HTTP 500 from " + address + ": Mailbox database offline"))
        << log.All();
}

TEST_F(GroupsPassTest, AGroupWithoutTheRequestedResourceFailsThePassAndKeepsThePreviousList)
{
    ASSERT_EQ(S_OK, RunPass());
    m_sim.Reset();
    std::vector<SimGroup> groups = SimGroups(2);
    groups.push_back(SimGroups()[2]);
    groups[1].resources = {{L"Notebook", L"https://contoso.sharepoint.com/sites/rd/Notebook"}};
    m_sim.SetGroups(groups);
    EXPECT_EQ(E_POINTER, RunPass());
    EXPECT_EQ(3u, m_sim.Requests().size()); // the listing and two details, none after the failure
    ExpectItems(SimGroups());

    // A listed group without its identifier or its name ends the pass while
    // the listing is read, before any details request.
    for (bool omitId : {true, false})
    {
        m_sim.Reset();
        groups = SimGroups(3);
        groups[1].omitId = omitId;
        groups[1].omitDisplayName = !omitId;
        m_sim.SetGroups(groups);
        EXPECT_EQ(E_POINTER, RunPass()) << omitId;
        EXPECT_EQ(1u, m_sim.Requests().size()) << omitId;
        ExpectItems(SimGroups());
    }
}

// Only the listing is repeated with a second token: a refused details
// request ends the pass, and the previous list stays.
TEST_F(GroupsPassTest, ARefusedDetailsRequestIsNotRepeatedWithANewToken)
{
    ASSERT_EQ(S_OK, RunPass());
    Serve(SimGroups());
    EwsSimClient::Script(R"({"match": {"operation": "GetUnifiedGroupDetails"}, "status": 401})");
    EXPECT_EQ(E_FAIL, RunPass());
    const std::vector<SimRequest> requests = m_sim.Requests();
    ASSERT_EQ(2u, requests.size()); // the listing and the refused details request
    EXPECT_EQ(requests[0].Header("Authorization"), requests[1].Header("Authorization"));
    ExpectItems(SimGroups());
}

TEST_F(GroupsPassTest, AnIdWithBracesFailsWithTheParsersHresultBeforeItsDetailsAreAsked)
{
    std::vector<SimGroup> groups = SimGroups(1);
    groups[0].id = L"{" + groups[0].id + L"}";
    m_sim.SetGroups(groups);
    GUID ignored;
    const HRESULT parserResult = IIDFromString(L"{{2f1c5b7e-9a3d-4e6f-8b1a-0c2d3e4f5a6b}}", &ignored);
    ASSERT_TRUE(FAILED(parserResult));
    EXPECT_EQ(parserResult, RunPass());
    EXPECT_EQ(1u, m_sim.Requests().size());
    EXPECT_TRUE(m_log.Contains("CKOVAUnifiedGroupsSync::raw_PreContentSyncFolderUpdate: Caught HRESULT at interface -"))
        << m_log.All();
    EXPECT_EQ(0u, ItemCount());
}

TEST_F(GroupsPassTest, TheSignInMarkerInAnyCaseGivesEPointerWithoutARequest)
{
    for (const wchar_t* marker : {L"ERROR:NeedsAuth", L"error:needsauth", L"ERROR:NEEDSAUTH"})
    {
        m_library.SetToken(1, marker);
        EXPECT_EQ(E_POINTER, RunPass()) << marker;
    }
    EXPECT_TRUE(m_sim.Requests().empty());
}

TEST_F(GroupsPassTest, AShutdownWhileTheLibraryIsPollingAbortsAfterCancel)
{
    VirtualSleep sleep;
    m_library.SetPollsBeforeDone(100000);
    int queries = 0;
    m_informer.Host().SetShutdownAnswer([&queries] { return ++queries > 5; });
    EXPECT_EQ(E_ABORT, RunPass());
    EXPECT_EQ(1u, m_library.Count(L"Cancel"));
    EXPECT_EQ(4u, m_library.Count(L"PollResult"));
    EXPECT_TRUE(m_sim.Requests().empty());
}

TEST_F(GroupsPassTest, AFolderWithoutLocationFailsBeforeAnySettingIsRead)
{
    // A client-id setting of the wrong type would be logged by any read of it.
    UserSettingGuard wrongType(LSSettingTable::ClientId.name);
    wrongType.SetDword(7);
    m_filter->SetSyncStartPointByString(_bstr_t(L"https://contoso.sharepoint.com/UnifiedGroups"));
    LSHostPropertyMapHolder noLocation;
    EXPECT_EQ(E_INVALIDARG, m_filter->PreContentSyncFolderUpdate(noLocation.Interface()));
    LSHostPropertyMapHolder unreadable;
    unreadable->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation), L"a!b!c");
    unreadable->FailRead(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation), E_FAIL);
    EXPECT_EQ(E_INVALIDARG, m_filter->PreContentSyncFolderUpdate(unreadable.Interface()));
    EXPECT_EQ(E_INVALIDARG, m_filter->PreContentSyncFolderUpdate(nullptr));
    EXPECT_TRUE(m_log.Contains("pPropMap cannot be NULL"));
    EXPECT_FALSE(m_log.Contains("KOVAUnifiedGroups.ClientId")) << m_log.All();
    EXPECT_EQ(0u, m_library.Count(L"Initialise"));
    EXPECT_TRUE(m_sim.Requests().empty());
    // The start point was cleared all the same: item operations address the (empty) group list.
    LSHostPropertyMapHolder item;
    EXPECT_EQ(E_FAIL, m_filter->GetItemBasicProps(0, item.Interface()));
}

TEST_F(GroupsPassTest, AnEmptyListingEmptiesTheListWithoutDetailsRequests)
{
    ASSERT_EQ(S_OK, RunPass());
    ASSERT_EQ(3u, ItemCount());
    Serve({});
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_EQ(0u, ItemCount());
    EXPECT_EQ(S_OK, IsDeleted(RegistryForm(SimGroups()[0].id)));
    const std::vector<SimRequest> requests = m_sim.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(Utf8(ListingEnvelope), requests[0].body);
}

// ErrorServerBusy is throttling, as a 500 fault (the usual form) or as a
// response message: the back-off the server asks for, then the full list.
TEST_F(GroupsPassTest, AServerBusyAnswerIsRetriedAfterItsBackOffInLightSyncMode)
{
    m_lightSyncEnd.Delete();
    EwsSimClient::Script("{\"match\": {\"operation\": \"GetUserUnifiedGroups\"}, "
                         "\"ewsFault\": {\"text\": \"The server cannot service this request right now.\", "
                         "\"backOffMs\": 1000}}");
    const uint64_t start = GetTickCount64();
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_GE(GetTickCount64() - start, 900u);
    ExpectItems(SimGroups());
    EXPECT_EQ(5u, m_sim.Requests().size());
    EXPECT_EQ(std::vector<long>{1000}, m_informer.Host().BeginDelayArguments());
    EXPECT_TRUE(m_log.Contains("Server unavailable - 0 delaying 1")) << m_log.All();
    EXPECT_TRUE(ReadUserText(LSSettingTable::LightSyncEndTime.name).has_value());

    struct Case
    {
        const char* busyAnswer;
        uint64_t sleptMs;
    };
    const Case cases[] = {
        // 120.5 s rounds up to 121 s.
        {"\"responseMessage\": {\"code\": \"ErrorServerBusy\", \"text\": \"Busy\", \"backOffMs\": 120500}", 121000},
        {"\"ewsFault\": {\"text\": \"Busy\"}", 30000}, // no back-off: the first step of the retry's own
        {"\"ewsFault\": {\"text\": \"Busy\", \"backOffMs\": 179001}", 180000}, // the longest wait honoured
    };
    for (const Case& c : cases)
    {
        VirtualClock clock;
        Serve(SimGroups());
        EwsSimClient::Script(std::string("{\"match\": {\"operation\": \"GetUnifiedGroupDetails\"}, ") +
                             c.busyAnswer + "}");
        ASSERT_EQ(S_OK, RunPass()) << c.busyAnswer << m_log.All();
        ExpectItems(SimGroups());
        EXPECT_EQ(5u, m_sim.Requests().size()) << c.busyAnswer;
        EXPECT_EQ(c.sleptMs, clock.TotalSleptMs()) << c.busyAnswer;
    }

    // Busy five times running, in one form or alternating between the two:
    // one retry for the exchange, so the pass fails after five attempts in
    // all, list kept.
    const std::string fault = "{\"ewsFault\": {\"text\": \"Busy\", \"backOffMs\": 2000}}";
    const std::string message = "{\"responseMessage\": {\"code\": \"ErrorServerBusy\", \"backOffMs\": 2000}}";
    const auto times6 = [](const std::string& entry) { return "{\"times\": 6, " + entry.substr(1); };
    for (const std::string& script : {times6(fault), times6(message),
                                      "[" + fault + "," + message + "," + fault + "," + message + "," + fault + "]"})
    {
        VirtualClock clock;
        Serve(SimGroups(1));
        EwsSimClient::Script(script);
        EXPECT_EQ(E_FAIL, RunPass()) << script;
        EXPECT_EQ(5u, m_sim.Requests().size()) << script;
        EXPECT_EQ(4 * 2000u, clock.TotalSleptMs()) << script;
        EXPECT_TRUE(m_log.Contains("Server unavailable - exceeded retries"));
        ExpectItems(SimGroups());
    }

    // Asked to wait beyond 180 s: no wait, the pass fails at once, list kept.
    for (const char* busyAnswer : {"\"ewsFault\": {\"text\": \"Busy\", \"backOffMs\": 180001}",
                                   "\"responseMessage\": {\"code\": \"ErrorServerBusy\", \"backOffMs\": 99999999999}"})
    {
        VirtualClock clock;
        m_lightSyncEnd.Delete();
        Serve(SimGroups(1));
        EwsSimClient::Script(std::string("{\"times\": 6, ") + busyAnswer + "}");
        EXPECT_EQ(E_FAIL, RunPass()) << busyAnswer;
        EXPECT_EQ(1u, m_sim.Requests().size()) << busyAnswer;
        EXPECT_EQ(0u, clock.TotalSleptMs()) << busyAnswer;
        EXPECT_TRUE(ReadUserText(LSSettingTable::LightSyncEndTime.name).has_value()) << busyAnswer;
        ExpectItems(SimGroups());
    }
    EXPECT_TRUE(m_log.Contains("asked to wait 181 seconds")) << m_log.All();
    EXPECT_TRUE(m_log.Contains("asked to wait 100000000 seconds"));
}

TEST(SplitOnSeparatorTest, KeepsEveryEmptyField)
{
    using Fields = std::vector<CStdStr>;
    EXPECT_EQ((Fields{L""}), SplitOnSeparator(L"", L"!"));
    EXPECT_EQ((Fields{L"abc"}), SplitOnSeparator(L"abc", L"!"));
    EXPECT_EQ((Fields{L"", L"", L""}), SplitOnSeparator(L"!!", L"!"));
    EXPECT_EQ((Fields{L"a", L""}), SplitOnSeparator(L"a!", L"!"));
    EXPECT_EQ((Fields{L"a", L"b", L"c", L"d"}), SplitOnSeparator(L"a!b!c!d", L"!"));
}

} // namespace

// A pass recorded against the simulator replays from the files alone: a
// fresh filter over the same files lists the same groups, and nothing more
// reaches the server.
TEST_F(GroupsPassTest, ARecordedPassReplaysWithoutTheServer)
{
    struct TestRunnerFacts
    {
        const bool office = LSDiag::IsOfficeProcess();
        const bool testRunner = LSDiag::IsTestRunnerProcess();
        TestRunnerFacts() { LSDiagAccess::SetProcessFacts(office, true); }
        ~TestRunnerFacts() { LSDiagAccess::SetProcessFacts(office, testRunner); }
    } facts;
    ScratchFolder folder(L"RecordedPass");
    UserSettingGuard mode(LSSettingTable::RequestReplay.name);
    UserSettingGuard config(LSSettingTable::RequestReplayConfig.name);
    UserSettingGuard base(LSSettingTable::RequestReplayFolder.name);
    base.SetString(folder.Path());
    config.SetString(L"pass 1");
    mode.SetDword(1);
    const uint32_t first = LSRequestReplay::LSReplayRequestBase::ExchangeCount() + 1;
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const uint32_t count = LSRequestReplay::LSReplayRequestBase::ExchangeCount() + 1 - first;
    const size_t sent = m_sim.Requests().size();
    ASSERT_EQ(sent, count);
    const std::wstring sub = folder / L"pass_1";
    const std::vector<std::wstring> names = FileNames(sub);
    ASSERT_EQ(2 * count, names.size());
    // The counter never goes back: the recording is copied to the numbers
    // the replay will use.
    for (const std::wstring& name : names)
    {
        const std::wstring stem = L"UnitAndComponentTests_";
        const uint32_t n = static_cast<uint32_t>(std::stoul(name.substr(stem.size(), 6)));
        const std::wstring copy = stem + CStdStr::Format(L"%06u", n + count) + name.substr(stem.size() + 6);
        ASSERT_TRUE(CopyFileW((sub + L"\\" + name).c_str(), (sub + L"\\" + copy).c_str(), FALSE));
    }

    mode.SetDword(2);
    ILSSyncFilter2Ptr replaying;
    ASSERT_EQ(S_OK, CKOVAUnifiedGroupsSync::CreateInstance(nullptr, __uuidof(ILSSyncFilter2),
                                                          reinterpret_cast<void**>(&replaying)));
    ASSERT_EQ(S_OK, ILSNeedsShutdownInfoPtr(replaying)->SetShutdownInformer(m_informer.Pointer()));
    ASSERT_EQ(S_OK, replaying->SetCurrentProfileName(_bstr_t(ProfileName.c_str())));
    m_filter = replaying;
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_EQ(sent, m_sim.Requests().size());
    ExpectItems(SimGroups());
}

// A folder update started while one runs on the same object is refused at
// once; the running one is not disturbed and reads during it see the old list.
TEST_F(GroupsPassTest, ANestedFolderUpdateIsRefusedAtOnceAndTheRunningOneCompletes)
{
    m_sim.SetGroups(SimGroups(2));
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    Serve(SimGroups(3));
    HRESULT nested = S_OK;
    USHORT countDuring = 0;
    HRESULT thirdDeletedDuring = S_FALSE;
    m_informer.Host().SetShutdownAnswer([&] {
        if (nested == S_OK)
        {
            nested = m_filter->PreContentSyncFolderUpdate(m_folder.Interface());
            m_filter->get_ItemCount(&countDuring);
            thirdDeletedDuring = IsDeleted(RegistryForm(SimGroups()[2].id));
        }
        return false;
    });
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), nested);
    EXPECT_EQ(2, countDuring);
    EXPECT_EQ(S_OK, thirdDeletedDuring);
    EXPECT_TRUE(m_log.Contains("Caught hresult_exception at interface -800700aa - a folder update is already "
                               "running on this filter"))
        << m_log.All();
    ExpectItems(SimGroups());
    EXPECT_EQ(4u, m_sim.Requests().size()); // the refused update sent nothing
}


