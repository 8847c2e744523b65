// Whole enumeration passes over EWS. What the host reads back is compared
// with the simulator's dataset, and what went over the wire with the
// simulator's request log.
#include "ComponentRegistration.h"
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

#include <functional>
#include <map>

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

// Several resources per group, one named "files": the first "Files" is the one.
std::vector<SimGroup> SimGroups(size_t count = 3)
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

// The filter forced to EWS: these cases are about the EWS client itself.
class GroupsPassTest : public PassTest
{
protected:
    GroupsPassTest() : PassTest(L"EWS", SimGroups()) {}
};

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

// An answer above 32 MB, one cut short of its Content-Length, or one that
// would have the parser read a DTD, fetch something, or work far longer than
// its size suggests, fails the pass within seconds, says what was wrong and
// keeps the list; nothing an answer names is fetched. The oversized case's
// bound leaves room for the simulator to build 32 MB on a busy machine.
TEST_F(GroupsPassTest, AnOversizedCutOrDtdCarryingListingFailsThePassWithinSecondsAndKeepsTheList)
{
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    const std::string root = Utf8(GroupsSimulator::ServiceRoot());
    // A listing answer (over either client) whose envelope holds the text.
    const auto answer = [](const std::string& prolog, const std::string& body) {
        return R"({"match": {"operation": "GetUserUnifiedGroups"}, "headers": {"Content-Type": "text/xml; )"
               R"(charset=utf-8"}, "body": "<?xml version='1.0' encoding='utf-8'?>)" + prolog +
               "<s:Envelope xmlns:s='http://schemas.xmlsoap.org/soap/envelope/'><s:Body>" + body +
               "</s:Body></s:Envelope>\"}";
    };
    // Each entity ten of the one before: 10^9 characters in all.
    std::string expanding = "<!DOCTYPE s:Envelope [<!ENTITY a0 'aaaaaaaaaa'>";
    for (int i = 1; i < 9; ++i)
    {
        expanding += "<!ENTITY a" + std::to_string(i) + " '";
        for (int j = 0; j < 10; ++j)
            expanding += "&a" + std::to_string(i - 1) + ";";
        expanding += "'>";
    }
    std::string attributes = "<x";
    for (int i = 0; i < 100000; ++i)
        attributes += " a" + std::to_string(i) + "=''";
    struct Case
    {
        std::string script;
        const char* line;
        const wchar_t* client = L"WinHTTP";
        uint64_t mostMs = 2000;
    };
    const char* const dtd = "it holds a document type declaration (<!DOCTYPE)";
    const Case cases[] = {
        {R"({"match": {"operation": "GetUserUnifiedGroups"}, "headers": {"Content-Type": "text/xml; charset=utf-8"},)"
         R"( "bodyRepeat": {"text": "<x>0123456789abcdef</x>", "count": 1460000}})",
         "its Content-Length of 33580000 bytes exceeds the limit of 33554432 bytes", L"WinHTTP", 15000},
        {R"({"match": {"operation": "GetUnifiedGroupDetails"}, "headers": {"Content-Length": "9000"},)"
         R"( "body": "<s:Envelope>cut"})",
         "its body of 15 bytes differs from its Content-Length of 9000 bytes", L"WinHTTP", 5000},
        {answer("<!DOCTYPE s:Envelope [<!ENTITY x 'Injected'>]>", "&x;"), dtd},
        {answer("<!DOCTYPE s:Envelope [<!ENTITY x 'Injected'>]>", "&x;"), dtd, L"XMLHTTP"},
        {answer(expanding + "]>", "&a8;"), dtd},
        {answer("<!DOCTYPE s:Envelope SYSTEM '" + root + "dtd/subset'>", ""), dtd},
        {answer("<!DOCTYPE s:Envelope [<!ENTITY x SYSTEM 'file:///C:/windows/win.ini'>]>", "&x;"), dtd},
        {answer("<!DOCTYPE s:Envelope [<!ENTITY x SYSTEM '" + root + "dtd/entity'>]>", "&x;"), dtd, L"XMLHTTP"},
        {answer("<!DOCTYPE s:Envelope [<!ENTITY % p SYSTEM '" + root + "dtd/parameter'> %p;]>", ""), dtd},
        {answer("<?xml-stylesheet type='text/xsl' href='" + root + "dtd/style'?>", ""),
         "it holds a processing instruction other than the XML declaration"},
        {answer("", attributes + "/>"), "it holds an element with more than 64 attributes"},
    };
    for (const Case& c : cases)
    {
        HttpClientOverride client(c.client);
        Serve(SimGroups(2));
        EwsSimClient::Script(c.script);
        LogCapture log;
        const uint64_t start = GetTickCount64();
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), RunPass()) << c.line;
        EXPECT_LT(GetTickCount64() - start, c.mostMs) << c.line;
        EXPECT_TRUE(log.Contains(c.line)) << log.All();
        ExpectItems(SimGroups());
        for (const SimRequest& request : m_sim.Requests())
            EXPECT_EQ(EwsPath, request.path);
    }
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
        client.GetCurrentGroups(GroupsSimulator::ServiceRoot(), L"Files", m_informer.Pointer());
        ADD_FAILURE() << "no exception";
    }
    catch (const LSHttpError& error)
    {
        EXPECT_EQ(403u, error.Status());
    }
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
    UserSettingGuard wrongType(L"KOVAUnifiedGroups.ClientId");
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

// EWS reports most failures with HTTP 200 and a response message of class
// "Error": such an answer must fail the pass, never empty the list (the host
// would then delete every group folder). So must one that is incomplete.
TEST_F(GroupsPassTest, AnErrorOrIncompleteAnswerFailsThePassAndKeepsEveryItemOfThePreviousPass)
{
    struct Case
    {
        const char* operation;
        const char* responseClass;
        const char* code;
        bool prefixed; // m:...ResponseMessage, m:ResponseCode
        size_t requests; // the failing answer is the last one sent
    };
    const Case cases[] = {
        {"GetUserUnifiedGroups", "Error", "ErrorMailboxStoreUnavailable", false, 1},
        {"GetUserUnifiedGroups", "Error", "ErrorAccessDenied", true, 1},
        {"GetUnifiedGroupDetails", "Error", "ErrorInternalServerTransientError", false, 2},
        {"GetUnifiedGroupDetails", "Error", "ErrorInternalServerTransientError", true, 2},
        // A partial list is never the whole list.
        {"GetUserUnifiedGroups", "Warning", "ErrorPartialResult", false, 1},
        {"GetUserUnifiedGroups", "Warning", "ErrorPartialResult", true, 1},
    };
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    for (const Case& c : cases)
    {
        Serve(SimGroups());
        EwsSimClient::Script(std::string("{\"match\": {\"operation\": \"") + c.operation +
                             "\"}, \"responseMessage\": {\"class\": \"" + c.responseClass + "\", \"code\": \"" +
                             c.code + "\", \"text\": \"Try again \u00e0 la fin.\", \"prefixed\": " +
                             (c.prefixed ? "true" : "false") + "}}");
        EXPECT_EQ(E_FAIL, RunPass()) << c.code;
        EXPECT_EQ(c.requests, m_sim.Requests().size()) << c.code;
        EXPECT_TRUE(m_log.Contains(std::string("EWS ") + c.operation + " failed: ResponseClass \"" +
                                   c.responseClass + "\", ResponseCode \"" + c.code +
                                   "\", MessageText \"Try again \u00e0 la fin.\""))
            << m_log.All();
        ExpectItems(SimGroups());
    }

    // A well-formed answer that holds no listing at all is no listing either.
    Serve(SimGroups());
    EwsSimClient::Script("{\"body\": \"<Envelope><Body/></Envelope>\", \"headers\": {\"Content-Type\": \"text/xml\"}}");
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), RunPass());
    EXPECT_TRUE(m_log.Contains("EWS GetUserUnifiedGroups failed: the answer holds no "
                               "GetUserUnifiedGroupsResponseMessage"))
        << m_log.All();
    ExpectItems(SimGroups());

    // Whole passes with the messages and the types as Exchange commonly
    // writes them (m:, t:) and under default namespaces: every group listed.
    for (bool prefixedMessages : {true, false})
        for (bool prefixedTypes : {true, false})
        {
            Serve(SimGroups());
            EwsSimClient::SetPrefixedMessages(prefixedMessages);
            m_sim.SetEwsShape(prefixedTypes ? L"{\"typesPrefixed\": true}" : L"{}");
            EXPECT_EQ(S_OK, RunPass()) << prefixedMessages << prefixedTypes << m_log.All();
            ExpectItems(SimGroups());
        }

    // A Success that says less than it seems is no list either: the pass
    // fails, says why, and the host keeps every group of the earlier pass.
    struct Incomplete
    {
        const wchar_t* shape;
        const char* line;
        size_t requests = 1;
        const wchar_t* filesUrl = nullptr; // of the second group
    };
    const Incomplete incomplete[] = {
        {L"{\"groupsSets\": false}", "EWS GetUserUnifiedGroups failed: the answer holds no GroupsSets"},
        {L"{\"totalGroups\": 5}", "EWS GetUserUnifiedGroups failed: the answer holds 3 groups of TotalGroups 5"},
        {L"{\"totalGroups\": 2}", "the answer holds 3 groups of TotalGroups 2"},
        {L"{\"filterType\": \"Favorites\"}", "a group set of filter type \"Favorites\", not the \"All\" asked for"},
        {L"{}", "EWS gave group {8c9d0e1f-2a3b-4c5d-9e6f-7a8b9c0d1e2f} the Files address \"\", which is not an "
                "absolute https address", 3, L""},
        {L"{}", "the Files address \"http://contoso.sharepoint.com/sites/rd\", which is not an absolute https", 3,
         L"http://contoso.sharepoint.com/sites/rd"},
    };
    for (const Incomplete& c : incomplete)
    {
        m_sim.Reset();
        std::vector<SimGroup> groups = SimGroups();
        if (c.filesUrl)
            groups[1].resources = {{L"Files", c.filesUrl}};
        m_sim.SetGroups(groups);
        m_sim.SetEwsShape(c.shape);
        LogCapture log;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), RunPass()) << c.line;
        EXPECT_EQ(c.requests, m_sim.Requests().size()) << c.line;
        EXPECT_TRUE(log.Contains(c.line)) << log.All();
        ExpectItems(SimGroups());
    }
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
    EXPECT_TRUE(ReadUserText(L"SharepointSync.HealthScoreLightSyncEndTime").has_value());

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
        EXPECT_TRUE(ReadUserText(L"SharepointSync.HealthScoreLightSyncEndTime").has_value()) << busyAnswer;
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
    UserSettingGuard mode(L"Mock.ILSHttpRequest");
    UserSettingGuard config(L"Mock.ILSHttpRequest.Config");
    UserSettingGuard base(L"Mock.ILSHttpRequest.BaseRecordingDirectory");
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

namespace {

// The host's timers: each callback runs once, from the thread's message loop
// or from whatever loop pumps messages when it is due.
std::map<UINT_PTR, std::function<void()>>& Timers()
{
    static std::map<UINT_PTR, std::function<void()>> timers;
    return timers;
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    auto found = Timers().find(id);
    if (found == Timers().end())
        return;
    const std::function<void()> callback = std::move(found->second);
    Timers().erase(found);
    callback();
}

void AddTimer(UINT milliseconds, std::function<void()> callback)
{
    Timers()[SetTimer(nullptr, 0, milliseconds, OnTimer)] = std::move(callback);
}

void PumpMessagesFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < milliseconds)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// The real DLL, registered and created by ProgID, inside a host of the tests'
// own: the host starts the folder update from its message loop, and its
// timers fire while the filter waits for a slow simulator.
class HostedFilterTest : public GroupsPassTest
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(0u, RunRegsvr32(L"/s"));
        GroupsPassTest::SetUp();
        CLSID clsid{};
        ASSERT_EQ(S_OK, CLSIDFromProgID(L"Quorval.SyncFilter.UnifiedGroups", &clsid));
        m_filter = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(ILSSyncFilter2),
                                         reinterpret_cast<void**>(&m_filter)));
        ASSERT_NE(GetModuleHandleW(nullptr), ModuleOf(m_filter)); // the DLL's object, not the test's own copy
        ASSERT_EQ(S_OK, ILSNeedsShutdownInfoPtr(m_filter)->SetShutdownInformer(m_informer.Pointer()));
        ASSERT_EQ(S_OK, m_filter->SetCurrentProfileName(_bstr_t(ProfileName.c_str())));
    }

    void TearDown() override
    {
        for (const auto& timer : Timers())
            KillTimer(nullptr, timer.first);
        Timers().clear();
        GroupsPassTest::TearDown();
    }

    static HMODULE ModuleOf(IUnknown* object)
    {
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           static_cast<LPCWSTR>(*reinterpret_cast<void**>(object)), &module);
        return module;
    }

    // The host's message loop until the folder update it starts has returned.
    HRESULT RunPassFromMessageLoop(ILSSyncFilter2* filter)
    {
        HRESULT result = E_PENDING;
        AddTimer(1, [&] {
            m_passRunning = true;
            result = filter->PreContentSyncFolderUpdate(m_folder.Interface());
            m_passRunning = false;
            PostQuitMessage(0);
        });
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        return result;
    }

    bool m_passRunning = false;
    ComponentRegistrationGuard m_registration;
};

} // namespace

// A mail client that closes drops its last reference from a message handler
// while the pass waits: the object lives until the call returns, then goes.
TEST_F(HostedFilterTest, TheHostsLastReferenceReleasedDuringThePass)
{
    ILSSyncFilter2* host = m_filter.Detach(); // the host's only reference
    m_sim.SetAnswerDelay(300);
    bool releasedDuringPass = false;
    AddTimer(150, [&] {
        releasedDuringPass = m_passRunning;
        host->Release();
    });
    EXPECT_EQ(S_OK, RunPassFromMessageLoop(host));
    EXPECT_TRUE(releasedDuringPass);
    // Gone with the call's end: it released the informer it held.
    EXPECT_EQ(1u, m_informer.Host().RefCount());
    const size_t folderCalls = m_folder->Calls().size();
    PumpMessagesFor(400);
    EXPECT_EQ(folderCalls, m_folder->Calls().size());

    const HMODULE dll = GetModuleHandleW(L"KOVAUnifiedGroupsSync64.dll");
    ASSERT_NE(nullptr, dll);
    using CanUnloadNow = HRESULT(WINAPI*)();
    EXPECT_EQ(S_FALSE, reinterpret_cast<CanUnloadNow>(reinterpret_cast<void (*)()>(GetProcAddress(dll, "DllCanUnloadNow")))());
    CoFreeUnusedLibrariesEx(0, 0);
    EXPECT_EQ(dll, GetModuleHandleW(L"KOVAUnifiedGroupsSync64.dll")); // pinned: never unloaded
}

// The host's own shutdown: a WM_QUIT posted while the pass waits, for an
// answer or for the token, ends the pass as a shutdown (the list kept) and
// still reaches the host's loop, with its code.
TEST_F(HostedFilterTest, AQuitPostedDuringThePassEndsItAndReachesTheHostsLoop)
{
    ASSERT_EQ(S_OK, RunPass()) << m_log.All();
    for (const bool waitForToken : {false, true})
    {
        m_sim.SetAnswerDelay(waitForToken ? 0 : 300);
        m_library.SetPollsBeforeDone(waitForToken ? 100000 : 0);
        HRESULT result = E_PENDING;
        AddTimer(1, [&] { result = m_filter->PreContentSyncFolderUpdate(m_folder.Interface()); });
        AddTimer(100, [] { PostQuitMessage(42); });
        AddTimer(10000, [] { PostQuitMessage(7); }); // a quit taken by the pass would leave the loop waiting
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0)
            DispatchMessageW(&message);
        EXPECT_EQ(42u, message.wParam) << waitForToken;
        EXPECT_EQ(E_ABORT, result) << waitForToken;
        for (const auto& timer : Timers())
            KillTimer(nullptr, timer.first);
        Timers().clear();
        ExpectItems(SimGroups());
    }
    m_library.SetPollsBeforeDone(0);
}

TEST_F(HostedFilterTest, ANestedPassFromATimerIsRefusedAndTheOuterPassCompletesWithTheFullList)
{
    // A nested pass that ran instead of being refused would take four answers: 1.6 s.
    m_sim.SetAnswerDelay(400);
    HRESULT nested = S_OK;
    DWORD nestedMs = 0;
    USHORT countDuring = 99;
    HRESULT deletedDuring = S_OK;
    AddTimer(100, [&] {
        const DWORD start = GetTickCount();
        LSHostPropertyMapHolder otherFolder;
        otherFolder->Preset(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FolderLocation), L"a!b");
        nested = m_filter->PreContentSyncFolderUpdate(otherFolder.Interface());
        nestedMs = GetTickCount() - start;
        m_filter->get_ItemCount(&countDuring);
        deletedDuring = IsDeleted(RegistryForm(SimGroups()[0].id));
    });
    ASSERT_EQ(S_OK, RunPassFromMessageLoop(m_filter));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_BUSY), nested);
    EXPECT_LT(nestedMs, 1000u);
    EXPECT_EQ(0, countDuring); // the list before the pass: none yet
    EXPECT_EQ(E_UNEXPECTED, deletedDuring);
    ExpectItems(SimGroups());
    EXPECT_EQ(4u, m_sim.Requests().size());
}

TEST_F(HostedFilterTest, DeletionCheckWithoutAListOrAKeyAndAnOverlongStartPoint)
{
    ILSManualDeletionsSyncFilterPtr deletions(m_filter);
    const _bstr_t empty(L"");
    const std::wstring key = RegistryForm(SimGroups()[0].id);
    EXPECT_EQ(E_UNEXPECTED, IsDeleted(key)); // before any pass
    m_sim.Refuse(FirstToken, 403);
    m_sim.Refuse(SecondToken, 403);
    EXPECT_EQ(E_FAIL, RunPass());
    EXPECT_EQ(E_UNEXPECTED, IsDeleted(key)); // after a failed first pass
    EXPECT_EQ(E_INVALIDARG, deletions->IsDeleted(nullptr, 0));
    EXPECT_EQ(E_INVALIDARG, deletions->IsDeleted(empty, 0));

    EXPECT_EQ(E_INVALIDARG, m_filter->SetSyncStartPointByString(_bstr_t(std::wstring(2049, L's').c_str())));
    EXPECT_EQ(S_OK, m_filter->SetSyncStartPointByString(_bstr_t(std::wstring(2048, L's').c_str())));
    EXPECT_EQ(S_OK, m_filter->SetSyncStartPointByString(nullptr));
}
