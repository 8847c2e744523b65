// The service choice in passes: Auto asks EWS first, lists over Graph where
// EWS is refused, and remembers which service listed the groups.
#include "GroupsPassFixture.h"

#include <algorithm>

namespace {

bool HasLine(const LogCapture& log, const std::string& text)
{
    const std::vector<std::string> texts = log.Texts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

size_t CountEws(const std::vector<SimRequest>& requests)
{
    return CountPath(requests, "/EWS/Exchange.asmx");
}

} // namespace

TEST_F(GraphPassTest, BothPathsGiveTheHostTheSameItemsFromOneDataset)
{
    m_backend.Delete();
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const std::vector<std::wstring> ewsItems = HostItems();
    EXPECT_EQ(SimScope(), LastScope());
    EXPECT_EQ(4u, GroupsSimulator::Requests().size());

    Serve(MixedGroups());
    m_backend.SetString(L"gRaPh");
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_EQ(ewsItems, HostItems());
    ExpectItems(MixedGroups());
    EXPECT_EQ(SimScope(), LastScope());

    const std::vector<SimRequest> requests = GroupsSimulator::Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("GET", requests[0].method);
    EXPECT_EQ(ListingPath, requests[0].path);
    EXPECT_EQ(ListingQuery, requests[0].query);
    EXPECT_EQ(Utf8(L"Bearer " + FirstToken), requests[0].Header("Authorization"));
    EXPECT_EQ("application/json", requests[0].Header("Accept"));
    EXPECT_EQ("POST", requests[1].method);
    EXPECT_EQ(BatchPath, requests[1].path);
    EXPECT_EQ("application/json", requests[1].Header("Content-Type"));
    EXPECT_EQ(Utf8(L"Bearer " + FirstToken), requests[1].Header("Authorization"));
    const std::vector<SimGroup> groups = MixedGroups();
    EXPECT_EQ((std::vector<std::string>{DriveUrl(groups[0]), DriveUrl(groups[2]), DriveUrl(groups[3])}),
              SubRequestUrls(requests[1]));
}

TEST_F(GraphPassTest, AnUnknownBackendOrAnotherResourceNameFailsWithInvalidArgBeforeAnyRequest)
{
    m_backend.SetString(L"REST");
    EXPECT_EQ(E_INVALIDARG, RunPass());
    EXPECT_TRUE(m_log.Contains("Unknown KOVAUnifiedGroups.Backend value \"REST\": expected \"Auto\", \"EWS\" or "
                               "\"Graph\"")) << m_log.All();
    EXPECT_EQ(0u, m_library.Count(L"Initialise"));

    m_backend.SetString(L"Graph");
    m_groupResourceName.SetString(L"Notebook");
    EXPECT_EQ(E_INVALIDARG, RunPass());
    EXPECT_TRUE(m_log.Contains("Group resource \"Notebook\" is not available over Microsoft Graph: only the "
                               "document library (\"Files\") is"))
        << m_log.All();
    EXPECT_EQ(0u, m_library.Count(L"StartAcquire"));
    EXPECT_TRUE(GroupsSimulator::Requests().empty());
}

TEST_F(GraphPassTest, WithoutTheSettingThePassMakesExactlyTheEwsRequests)
{
    for (const wchar_t* backend : {L"", L"ews", L"AUTO"})
    {
        Serve(MixedGroups());
        if (*backend)
            m_backend.SetString(backend);
        else
            m_backend.Delete();
        ASSERT_EQ(S_OK, RunPass()) << m_log.All();
        const std::vector<SimRequest> requests = GroupsSimulator::Requests();
        EXPECT_EQ(4u, requests.size()); // the listing and three details
        EXPECT_EQ(requests.size(), CountPath(requests, "/EWS/Exchange.asmx"));
        EXPECT_EQ(SimScope(), LastScope());
        EXPECT_FALSE(ReadUserText(LSSettingTable::AutoBackend.name).has_value()) << backend;
    }
}

// Where the tenant blocks EWS (403) or EWS is gone (404), the default backend
// lists the groups over Graph in the same pass, the host sees the same items
// as before (nothing deleted), and from then on EWS is not asked again, in
// this process or the next.
TEST_F(GraphPassTest, AutoListsOverGraphWhereEwsIsRefusedAndAsksGraphFirstFromThenOn)
{
    m_backend.Delete();
    for (const wchar_t* mode : {L"blocked", L"gone"})
    {
        m_autoBackend.Delete();
        Serve(MixedGroups());
        ASSERT_EQ(S_OK, RunPass()) << m_log.All();
        const std::vector<std::wstring> ewsItems = HostItems();

        Serve(MixedGroups());
        EwsSimClient::SetEwsMode(Utf8(mode));
        ASSERT_EQ(S_OK, RunPass()) << mode << m_log.All();
        EXPECT_EQ(ewsItems, HostItems()) << mode;
        std::vector<SimRequest> requests = GroupsSimulator::Requests();
        const bool blocked = std::wstring(mode) == L"blocked";
        // 403 is retried once with a new token; 404 is not.
        const size_t ewsListings = blocked ? 2 : 1;
        ASSERT_EQ(ewsListings + 2, requests.size()) << mode;
        EXPECT_EQ(ewsListings, CountEws(requests)) << mode;
        EXPECT_EQ(Utf8(L"Bearer " + FirstToken), requests[0].Header("Authorization"));
        EXPECT_EQ(ListingPath, requests[ewsListings].path);
        EXPECT_EQ(BatchPath, requests[ewsListings + 1].path);
        // The service's reason, when it gives one.
        EXPECT_TRUE(HasLine(m_log, std::string("Group listing over EWS refused with HTTP status ") +
                                       (blocked ? "403 (EWS is disabled for this user or tenant)" : "404")))
            << m_log.All();
        EXPECT_EQ(std::optional<std::wstring>(L"Graph"), ReadUserText(LSSettingTable::AutoBackend.name));
        EXPECT_EQ(L"Graph", ListService()) << mode;

        // The next pass reads the remembered service back.
        Serve(MixedGroups());
        ASSERT_EQ(S_OK, RunPass()) << m_log.All();
        EXPECT_EQ(ewsItems, HostItems());
        EXPECT_EQ(0u, CountEws(GroupsSimulator::Requests())) << mode;
    }

    // Graph refusing later (a tenant that lets EWS in again) brings the user back.
    Serve(MixedGroups());
    EwsSimClient::Script("{\"match\": {\"operation\": \"GraphMemberOf\"}, \"status\": 404}");
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_EQ(4u, CountEws(GroupsSimulator::Requests()));
    EXPECT_EQ(std::optional<std::wstring>(L"EWS"), ReadUserText(LSSettingTable::AutoBackend.name));
    EXPECT_EQ(L"EWS", ListService());

    // The user's setting changed or deleted counts at the next pass, in the same process.
    struct Case
    {
        const wchar_t* remembered; // nullptr: deleted
        size_t ewsRequests;
    };
    for (const Case& c : {Case{L"graph", 0}, Case{nullptr, 4}, Case{L"Graph", 0}, Case{L"EWS", 4}})
    {
        if (c.remembered)
            m_autoBackend.SetString(c.remembered);
        else
            m_autoBackend.Delete();
        Serve(MixedGroups());
        ASSERT_EQ(S_OK, RunPass()) << m_log.All();
        EXPECT_EQ(c.ewsRequests, CountEws(GroupsSimulator::Requests())) << (c.remembered ? c.remembered : L"deleted");
        // Nothing to save: the service asked first produced the list.
        EXPECT_EQ(c.remembered ? std::optional<std::wstring>(c.remembered) : std::nullopt,
                  ReadUserText(LSSettingTable::AutoBackend.name));
    }

    // More groups than one EWS answer holds: over EWS alone the pass fails
    // naming both counts; Auto lists them over Graph, which pages, and
    // remembers it.
    const std::vector<SimGroup> many = ManyGroups(1001);
    m_backend.SetString(L"EWS");
    Serve(many);
    EXPECT_EQ(InvalidData, RunPass());
    EXPECT_TRUE(m_log.Contains("the answer holds 1000 groups of TotalGroups 1001, and EWS lists at most 1000"))
        << m_log.All();
    m_backend.Delete();
    m_autoBackend.Delete();
    Serve(many);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    EXPECT_EQ(1001u, ItemCount());
    EXPECT_EQ(1u, CountEws(GroupsSimulator::Requests())); // the listing alone, no details
    EXPECT_EQ(std::optional<std::wstring>(L"Graph"), ReadUserText(LSSettingTable::AutoBackend.name));
}

// Only a refused listing makes the switch: any other failure fails the pass
// as it did, keeps the list, and remembers nothing. When both services refuse,
// the second failure ends the pass and both are in the log.
TEST_F(GraphPassTest, AutoMakesNoSwitchOnOtherFailuresAndKeepsTheListWhenBothRefuse)
{
    m_backend.Delete();
    m_resource.SetString(GroupsSimulator::ServiceRoot());
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const std::vector<std::wstring> before = HostItems();
    struct Case
    {
        const char* name;
        std::string script;
        HRESULT expected;
    };
    const std::vector<Case> cases = {
        {"500", "{\"match\": {\"operation\": \"GetUserUnifiedGroups\"}, \"fault\": {\"faultstring\": \"x\"}}",
         E_FAIL},
        {"503 five times", "{\"match\": {\"operation\": \"GetUserUnifiedGroups\"}, \"status\": 503, \"times\": 5}",
         E_FAIL},
        {"403 on a details request", "{\"match\": {\"operation\": \"GetUnifiedGroupDetails\"}, \"status\": 403}",
         E_FAIL},
        {"error answer", "{\"match\": {\"operation\": \"GetUserUnifiedGroups\"}, \"responseMessage\": {}}", E_FAIL},
    };
    for (const Case& c : cases)
    {
        VirtualClock clock(100); // retry waits pass at once; the no-answer limit after a second or so
        Serve(MixedGroups());
        EwsSimClient::Script(c.script);
        EXPECT_EQ(c.expected, RunPass()) << c.name;
        const std::vector<SimRequest> requests = GroupsSimulator::Requests();
        EXPECT_EQ(requests.size(), CountEws(requests)) << c.name;
        EXPECT_FALSE(m_log.Contains("Group listing over EWS refused")) << c.name;
        EXPECT_EQ(before, HostItems()) << c.name;
        EXPECT_FALSE(ReadUserText(LSSettingTable::AutoBackend.name).has_value()) << c.name;
    }

    Serve(MixedGroups());
    EwsSimClient::SetEwsMode("blocked");
    EwsSimClient::Script("{\"match\": {\"operation\": \"GraphMemberOf\"}, \"status\": 403, \"times\": 2}");
    EXPECT_EQ(E_FAIL, RunPass());
    EXPECT_TRUE(m_log.Contains("Group listing over EWS refused with HTTP status 403 (EWS is disabled for this user "
                               "or tenant)")) << m_log.All();
    EXPECT_TRUE(HasLine(m_log, "Group listing over Microsoft Graph refused with HTTP status 403")) << m_log.All();

    // A reason scripted with other words, around spaces.
    Serve(MixedGroups());
    EwsSimClient::Script("{\"match\": {\"operation\": \"GetUserUnifiedGroups\"}, \"status\": 403, \"times\": 2, "
                         "\"headers\": {\"X-EWS-Policy-Reason\": "
                         "\" EWS is blocked by policy for this user or tenant \"}}");
    EwsSimClient::Script("{\"match\": {\"operation\": \"GraphMemberOf\"}, \"status\": 403, \"times\": 2}");
    EXPECT_EQ(E_FAIL, RunPass());
    EXPECT_TRUE(HasLine(m_log, "Group listing over EWS refused with HTTP status 403 (EWS is blocked by policy for "
                               "this user or tenant)")) << m_log.All();
    EXPECT_EQ(4u, GroupsSimulator::Requests().size());
    EXPECT_EQ(before, HostItems());
    EXPECT_FALSE(ReadUserText(LSSettingTable::AutoBackend.name).has_value());

    // EWS refused and Graph listing groups without names and types (the
    // permission missing): the pass fails and Graph is not remembered.
    Serve(MixedGroups());
    EwsSimClient::SetEwsMode("blocked");
    GroupsSimulator::SetGraph(L"{\"narrowed\": true}");
    EXPECT_EQ(InvalidData, RunPass());
    EXPECT_EQ(before, HostItems());
    EXPECT_FALSE(ReadUserText(LSSettingTable::AutoBackend.name).has_value());
}

TEST_F(GraphPassTest, AutoMakesNoSwitchWhenTheEwsConnectionIsRefused)
{
    m_backend.Delete();
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const std::vector<std::wstring> before = HostItems();
    GroupsSimulator::Reset();
    m_resource.SetString(L"http://127.0.0.1:9/"); // the discard port: nothing listens
    const uint64_t start = GetTickCount64();
    EXPECT_EQ(HRESULT_FROM_WIN32(12029), RunPass());
    EXPECT_LT(GetTickCount64() - start, 2000u);
    EXPECT_TRUE(m_log.Contains("No answer from http://127.0.0.1:9/EWS/Exchange.asmx: connection refused or not answered (80072efd)"))
        << m_log.All();
    EXPECT_TRUE(GroupsSimulator::Requests().empty());
    EXPECT_FALSE(m_log.Contains("Group listing over EWS refused")) << m_log.All();
    EXPECT_EQ(before, HostItems());
    EXPECT_FALSE(ReadUserText(LSSettingTable::AutoBackend.name).has_value());
}
