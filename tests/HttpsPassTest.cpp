// Passes over HTTPS, and where the token may go: redirects, roots of plain
// http, and the scope each root is asked for.
#include "GroupsPassFixture.h"
#include "KOVACommon/auth/LSAuthRegistrations.h"
#include "KOVACommon/auth/LSGetAuthTokens.h"
#include "LSOnceValueAccess.h"

namespace {

// The same passes over HTTPS, as every real service is reached: the platform
// verifies the simulator's certificate against the test CA in the prefix.
class HttpsPassTest : public ServicePassTest
{
protected:
    void UseRoot(const std::wstring& root)
    {
        m_resource.SetString(root);
        m_graphRoot.SetString(root + L"v1.0/");
    }

    void TearDown() override
    {
        ServicePassTest::TearDown();
        LSOnceValueAccess::ForgetAll();
    }

    UserSettingGuard m_noAnswerSeconds{LSSettingTable::NoAnswerSeconds.name};
};

} // namespace

TEST_P(HttpsPassTest, APassGivesTheSameItemsOverHttps)
{
    m_noAnswerSeconds.SetDword(10); // a broken trust set-up fails in seconds, not minutes
    LSOnceValueAccess::ForgetAll();
    const std::wstring root = GroupsSimulator::HttpsRoot(SimHttps::Trusted);
    UseRoot(root);
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    ExpectItems(MixedGroups());
    const std::vector<SimRequest> requests = GroupsSimulator::Requests();
    EXPECT_EQ(OverEws() ? 4u : 2u, requests.size());
    for (const SimRequest& request : requests)
        EXPECT_EQ(Utf8(L"Bearer " + FirstToken), request.Header("Authorization"));
    EXPECT_TRUE(m_log.Contains("Sending " + Utf8(root) + (OverEws() ? "EWS/Exchange.asmx" : "v1.0/$batch")))
        << m_log.All();
}

// Nothing goes over a connection whose certificate fails: the pass ends as
// soon as the handshake fails, long before the no-answer limit (its default
// here), the token never leaves the machine and the host keeps the previous
// list.
TEST_P(HttpsPassTest, AnUntrustedOrMisnamedCertificateFailsThePassAtOnceWithoutSendingAnything)
{
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    m_noAnswerSeconds.Delete();
    LSOnceValueAccess::ForgetAll();
    for (const SimHttps listener : {SimHttps::UntrustedCa, SimHttps::WrongName})
    {
        const std::wstring root = GroupsSimulator::HttpsRoot(listener);
        const std::string what = Utf8(root);
        UseRoot(root);
        Serve(ManyGroups(2));
        LogCapture log;
        const uint64_t start = GetTickCount64();
        const HRESULT hr = RunPass();
        EXPECT_TRUE(hr == HRESULT_FROM_WIN32(12157) || hr == HRESULT_FROM_WIN32(12175)) << what << std::hex << hr;
        EXPECT_LT(GetTickCount64() - start, 2000u) << what;
        EXPECT_TRUE(GroupsSimulator::Requests().empty()) << what;
        EXPECT_TRUE(log.Contains("No answer from " + Utf8(root))) << log.All();
        EXPECT_TRUE(log.Contains(": TLS handshake failed: the server's certificate is not trusted or not issued "
                                 "to this host name")) << log.All();
        ExpectItems(MixedGroups());
    }
}

// The token goes to no other server: a listing (EWS or Graph) answered with a
// redirect to another port, or from an https root to plain http, fails the
// pass, the list is kept, and the other server hears nothing.
TEST_P(ServicePassTest, ARedirectedListingFailsThePassAndTheOtherServerHearsNothing)
{
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    struct Case
    {
        int status;
        bool https;
    };
    const std::string target = Utf8(EwsSimClient::SecondBaseUrl());
    const bool ews = OverEws();
    for (const Case& c : {Case{302, false}, Case{307, false}, Case{ews ? 302 : 307, true}})
    {
        const std::wstring root = c.https ? GroupsSimulator::HttpsRoot(SimHttps::Trusted) : GroupsSimulator::ServiceRoot();
        const std::string what = std::to_string(c.status) + " " + Utf8(root);
        m_resource.SetString(root);
        m_graphRoot.SetString(root + L"v1.0/");
        Serve(ManyGroups(2));
        EwsSimClient::ResetSecond();
        const std::string location = target + (ews ? "/EWS/Exchange.asmx" : ListingPath + "?" + ListingQuery);
        EwsSimClient::Script("{\"match\": {\"operation\": \"" + std::string(ews ? "GetUserUnifiedGroups" : "GraphMemberOf") +
                             "\"}, \"status\": " + std::to_string(c.status) + ", \"headers\": {\"Location\": \"" +
                             location + "\"}}");
        LogCapture log;
        EXPECT_EQ(E_FAIL, RunPass()) << what;
        EXPECT_EQ(1u, GroupsSimulator::Requests().size()) << what;
        EXPECT_TRUE(EwsSimClient::SecondRequests().empty()) << what;
        EXPECT_TRUE(log.Contains("answered HTTP " + std::to_string(c.status) + " with Location " + location))
            << log.All();
        ExpectItems(MixedGroups());
    }
}

// A root of plain http with a host name, or one the platform's parser reads
// as another host than the eye does, fails the pass before a token is asked
// for and before any request, naming the address and its setting. Auto
// checks both roots before it asks for anything.
TEST_P(ServicePassTest, AnHttpRootWithAHostNameFailsBeforeAnyTokenOrRequest)
{
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const bool ews = OverEws();
    struct Case
    {
        const wchar_t* backend;
        std::wstring root;
    };
    const std::wstring invalid = ews ? L"http://groups.invalid/" : L"http://groups.invalid/v1.0/";
    std::vector<Case> cases = {{m_backendName.c_str(), invalid}, {L"Auto", invalid}};
    for (const wchar_t* root : {L"http://localhost#@evil.example/", L"http://127.0.0.1?@evil.example/",
                                L"http://localhost\\@evil.example/", L"http://[::1]\\@evil.example/",
                                L"http://[::1].evil.example/"})
        cases.push_back({m_backendName.c_str(), root});
    for (const Case& c : cases)
    {
        const std::string line = Utf8(c.root) + (ews ? " (from KOVAUnifiedGroups.Resource)"
                                                     : " (from KOVAUnifiedGroups.GraphRoot)");
        m_backend.SetString(c.backend);
        m_resource.SetString(ews ? c.root : GroupsSimulator::ServiceRoot());
        m_graphRoot.SetString(ews ? GroupsSimulator::GraphRoot() : c.root);
        GroupsSimulator::Reset();
        const size_t tokensBefore = m_library.Count(L"StartAcquire");
        LogCapture log;
        EXPECT_EQ(E_ACCESSDENIED, RunPass()) << line;
        EXPECT_EQ(tokensBefore, m_library.Count(L"StartAcquire")) << line;
        EXPECT_TRUE(GroupsSimulator::Requests().empty()) << line;
        EXPECT_TRUE(log.Contains("Refusing to send the access token to " + line)) << log.All();
        ExpectItems(MixedGroups());
    }
}

// Tokens are asked for the cloud of the root the pass uses; the library
// answers "sign in", so nothing is sent anywhere.
TEST_F(GraphPassTest, TokensAreAskedForTheOriginOfTheServiceRoot)
{
    struct Case
    {
        const wchar_t* backend;
        const wchar_t* root; // nullptr: the setting is absent, the default root is used
        const wchar_t* scope;
    };
    const Case cases[] = {
        {L"Graph", nullptr, L"https://graph.microsoft.com/.default"},
        {L"Graph", L"https://graph.microsoft.us/v1.0/", L"https://graph.microsoft.us/.default"},
        {L"Graph", L"https://dod-graph.microsoft.us/v1.0/", L"https://dod-graph.microsoft.us/.default"},
        {L"Graph", L"https://MicrosoftGraph.ChinaCloudApi.cn/v1.0",
         L"https://microsoftgraph.chinacloudapi.cn/.default"},
        {L"EWS", nullptr, L"https://outlook.office365.com/.default"},
        {L"EWS", L"https://outlook.office365.us/", L"https://outlook.office365.us/.default"},
        {L"EWS", L"https://webmail.apps.mil", L"https://webmail.apps.mil/.default"},
        {L"EWS", L"https://partner.outlook.cn:443/ews-root/", L"https://partner.outlook.cn:443/.default"},
    };
    m_library.SetToken(1, L"ERROR:NeedsAuth"); // of every pass's library object
    for (const Case& c : cases)
    {
        m_backend.SetString(c.backend);
        UserSettingGuard& root = std::wstring(c.backend) == L"Graph" ? m_graphRoot : m_resource;
        if (c.root)
            root.SetString(c.root);
        else
            root.Delete();
        EXPECT_EQ(E_POINTER, RunPass()) << c.scope << m_log.All();
        EXPECT_EQ(c.scope, LastScope());
        m_resource.SetString(GroupsSimulator::ServiceRoot());
        m_graphRoot.SetString(GroupsSimulator::GraphRoot());
    }
    EXPECT_TRUE(GroupsSimulator::Requests().empty());
    EXPECT_EQ(LSAuthRegistrations::GraphScope, LSGetAuthTokens::ScopeForRoot(LSSettingTable::GraphRoot.defaultValue));
    EXPECT_EQ(LSAuthRegistrations::ExchangeOnlineScope,
              LSGetAuthTokens::ScopeForRoot(LSSettingTable::Resource.defaultValue));
}

INSTANTIATE_TEST_SUITE_P(BothServices, HttpsPassTest, ::testing::Values(Service::Ews, Service::Graph),
                         ServiceTestName);
