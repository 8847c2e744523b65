// The token source against the token library stand-in: construction, the poll
// loop, the second token after a refusal, the sign-in marker, shutdown and the
// reporting of library failures.
#include "KOVACommon/auth/LSGetAuthTokens.h"

#include "KOVACommon/auth/LSAuthRegistrations.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSPassContext.h"
#include "LogCapture.h"
#include "QuorvalCommon/hresult_exception.h"
#include "TokenLibraryStandIn.h"
#include "VirtualSleep.h"
#include "external/HostObjects/LSHostShutdownInformer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

const std::wstring ClientId = L"0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0";
const std::wstring CachePath = L"C:\\Profiles\\Office 16 Profile - Test\\AuthCache-unifiedgroups.db";
const std::wstring FirstToken = L"eyJ0eXAiOiJKV1QiLCJhbGciOiJSUzI1NiJ9.first-token-payload.sig1";
const std::wstring SecondToken = L"eyJ0eXAiOiJKV1QiLCJhbGciOiJSUzI1NiJ9.second-token-payload.sig2";
const std::wstring Scope = L"https://outlook.office365.com/.default";

std::wstring StartArguments(const std::wstring& retry, long owner)
{
    return Scope + L"\t" + retry + L"\t" + std::to_wstring(owner) + L"\t0";
}

class GetAuthTokensTest : public ::testing::Test
{
protected:
    LSGetAuthTokens MakeTokens()
    {
        return LSGetAuthTokens(ClientId, LSAuthRegistrations::NativeClientRedirectAddress, CachePath);
    }

    // Runs CallWithAccessToken; the callback records its tokens and throws
    // the queued HTTP failures, one per run.
    bool Call(LSGetAuthTokens& tokens, ILSShutdownInformerPtr informer = nullptr)
    {
        const LSPassContext pass(informer);
        return tokens.CallWithAccessToken(
            [this](const std::wstring& token) {
                m_tokensSeen.push_back(token);
                if (m_failures.empty())
                    return;
                uint32_t status = m_failures.front();
                m_failures.erase(m_failures.begin());
                throw LSHttpError(status, L"refused");
            });
    }

    static ILSShutdownInformerPtr Informer(LSHostShutdownInformer*& raw)
    {
        raw = LSHostShutdownInformer::Create();
        return ILSShutdownInformerPtr(raw->Interface(), false);
    }

    TokenLibraryStandIn m_library;
    VirtualSleep m_sleep;
    LogCapture m_log;
    std::vector<std::wstring> m_tokensSeen;
    std::vector<uint32_t> m_failures;
};

TEST_F(GetAuthTokensTest, ConstructionCreatesAndInitialisesTheLibrary)
{
    LSGetAuthTokens tokens = MakeTokens();
    EXPECT_EQ(1u, m_library.Count(L"Initialise"));
    EXPECT_EQ(ClientId, m_library.Text(L"Initialise.ClientId"));
    EXPECT_EQ(L"https://login.microsoftonline.com/common/oauth2/nativeclient",
              m_library.Text(L"Initialise.RedirectAddress"));
    EXPECT_EQ(CachePath, m_library.Text(L"Initialise.CacheFilePath"));
    EXPECT_TRUE(m_log.Contains("OAuth 0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0 - "
                               "https://login.microsoftonline.com/common/oauth2/nativeclient - C:\\Profiles\\"))
        << m_log.All();
}

TEST_F(GetAuthTokensTest, AnEmptyArgumentFailsBeforeTheLibraryIsCreated)
{
    const std::wstring redirect = LSAuthRegistrations::NativeClientRedirectAddress;
    const std::vector<std::vector<std::wstring>> cases = {
        {L"", redirect, CachePath}, {ClientId, L"", CachePath}, {ClientId, redirect, L""}};
    for (const auto& arguments : cases)
    {
        try
        {
            LSGetAuthTokens tokens(arguments[0], arguments[1], arguments[2]);
            ADD_FAILURE() << "no exception";
        }
        catch (const hresult_exception& e)
        {
            EXPECT_EQ(E_INVALIDARG, e.hr());
            EXPECT_STREQ("LSGetAuthTokens", e.what());
        }
    }
    EXPECT_EQ(0u, m_library.Count(L"Initialise"));
}

TEST_F(GetAuthTokensTest, AFailingInitialiseIsAComErrorReportedWithTheLibrarysOwnError)
{
    m_library.Fail(L"Initialise", E_ACCESSDENIED);
    m_library.SetLastError(L"cache locked", L"at Cache.Open");
    try
    {
        LSGetAuthTokens tokens = MakeTokens();
        ADD_FAILURE() << "no exception";
    }
    catch (const hresult_exception& e)
    {
        EXPECT_EQ(E_ACCESSDENIED, e.hr());
        EXPECT_EQ(L"cache locked", e.description());
    }
    EXPECT_TRUE(m_log.Contains("LogAssemblyError: Caught _com_error at interface -80070005, desc=cache locked"))
        << m_log.All();
    EXPECT_TRUE(m_log.Contains("Error from OAuth library Err: cache locked\nStack: at Cache.Open")) << m_log.All();
}

TEST_F(GetAuthTokensTest, ATokenReadyAtTheFirstPollRunsTheCallbackWithoutWaiting)
{
    m_library.SetToken(1, FirstToken);
    LSGetAuthTokens tokens = MakeTokens();
    EXPECT_FALSE(Call(tokens));
    EXPECT_EQ(std::vector<std::wstring>{FirstToken}, m_tokensSeen);
    EXPECT_EQ(StartArguments(L"0", 0), m_library.StartAcquireArguments(1));
    EXPECT_EQ(1u, m_library.Count(L"PollResult"));
    EXPECT_TRUE(m_sleep.Sleeps().empty());
    EXPECT_EQ(0u, m_library.Count(L"Cancel"));
    EXPECT_TRUE(m_log.Contains("OAuth get token https://outlook.office365.com/.default"));
}

TEST_F(GetAuthTokensTest, ALongWaitPollsEveryFiftyMillisecondsAndReportsProgress)
{
    m_library.SetToken(1, FirstToken);
    m_library.SetPollsBeforeDone(250);
    LSGetAuthTokens tokens = MakeTokens();
    EXPECT_FALSE(Call(tokens));
    EXPECT_EQ(std::vector<std::wstring>{FirstToken}, m_tokensSeen);
    EXPECT_EQ(251u, m_library.Count(L"PollResult"));
    ASSERT_EQ(250u, m_sleep.Sleeps().size());
    EXPECT_TRUE(std::all_of(m_sleep.Sleeps().begin(), m_sleep.Sleeps().end(), [](DWORD ms) { return ms == 50; }));
    EXPECT_EQ(1u, m_log.Count("Waiting for auth 100"));
    EXPECT_EQ(1u, m_log.Count("Waiting for auth 200"));
    EXPECT_EQ(2u, m_log.Count("Waiting for auth "));
}

TEST_F(GetAuthTokensTest, TheOwnerWindowComesFromTheInformer)
{
    LSHostShutdownInformer* raw = nullptr;
    ILSShutdownInformerPtr informer = Informer(raw);
    raw->SetOwnerWindowValue(0x1234);
    LSGetAuthTokens tokens = MakeTokens();
    Call(tokens, informer);
    EXPECT_EQ(StartArguments(L"0", 0x1234), m_library.StartAcquireArguments(1));
}

TEST_F(GetAuthTokensTest, ARefusalGetsOneSecondTokenAskedForWithTheRetryFlag_OtherFailuresNone)
{
    m_library.SetToken(1, FirstToken);
    m_library.SetToken(2, SecondToken);
    m_failures = {403};
    {
        LSGetAuthTokens tokens = MakeTokens();
        EXPECT_FALSE(Call(tokens));
    }
    EXPECT_EQ((std::vector<std::wstring>{FirstToken, SecondToken}), m_tokensSeen);
    EXPECT_EQ(StartArguments(L"1", 0), m_library.StartAcquireArguments(2));
    EXPECT_TRUE(m_log.Contains("Caught http status 403\trefused")) << m_log.All();

    for (const std::vector<uint32_t>& failures : {std::vector<uint32_t>{500}, std::vector<uint32_t>{401, 401}})
    {
        m_failures = failures;
        const DWORD acquisitionsBefore = m_library.Count(L"StartAcquire");
        LSGetAuthTokens tokens = MakeTokens();
        try
        {
            Call(tokens);
            ADD_FAILURE() << "no exception";
        }
        catch (const LSHttpError& e)
        {
            EXPECT_EQ(failures.back(), e.Status());
        }
        EXPECT_EQ(acquisitionsBefore + failures.size(), m_library.Count(L"StartAcquire"));
    }
}

TEST_F(GetAuthTokensTest, TheSignInMarkerAsSecondTokenEndsWithoutASecondRun)
{
    m_library.SetToken(1, FirstToken);
    m_library.SetToken(2, L"error:NEEDSauth");
    m_failures = {401};
    LSGetAuthTokens tokens = MakeTokens();
    EXPECT_TRUE(Call(tokens));
    EXPECT_EQ(std::vector<std::wstring>{FirstToken}, m_tokensSeen);
}

TEST_F(GetAuthTokensTest, LogLinesNeverCarryTheToken)
{
    m_library.SetToken(1, FirstToken);
    m_library.SetToken(2, SecondToken);
    m_failures = {401};
    LSGetAuthTokens tokens = MakeTokens();
    Call(tokens);
    for (const std::string& text : m_log.Texts())
    {
        EXPECT_EQ(std::string::npos, text.find("first-token-payload")) << text;
        EXPECT_EQ(std::string::npos, text.find("second-token-payload")) << text;
    }
    EXPECT_TRUE(m_log.Contains("OAuth got token [redacted, 61 characters, ending sig1] attempt 1")) << m_log.All();
    EXPECT_TRUE(m_log.Contains("OAuth got token [redacted, 62 characters, ending sig2] attempt 2")) << m_log.All();
    EXPECT_EQ(L"[redacted, 5 characters]", LSGetAuthTokens::RedactedToken(L"short"));
}

TEST_F(GetAuthTokensTest, AShutdownBeforeTheStartAbortsWithoutAnAcquisition)
{
    LSHostShutdownInformer* raw = nullptr;
    ILSShutdownInformerPtr informer = Informer(raw);
    raw->SetShutdownRequested(true);
    LSGetAuthTokens tokens = MakeTokens();
    try
    {
        Call(tokens, informer);
        ADD_FAILURE() << "no exception";
    }
    catch (const hresult_exception& e)
    {
        EXPECT_EQ(E_ABORT, e.hr());
    }
    EXPECT_EQ(0u, m_library.Count(L"StartAcquire"));
    EXPECT_EQ(0u, m_library.Count(L"Cancel"));
}

TEST_F(GetAuthTokensTest, AFailingPollIsLoggedAndCancelled)
{
    m_library.SetPollsBeforeDone(5);
    m_library.Fail(L"PollResult", E_UNEXPECTED, 3);
    m_library.SetLastError(L"network down", L"at Poll");
    LSGetAuthTokens tokens = MakeTokens();
    try
    {
        Call(tokens);
        ADD_FAILURE() << "no exception";
    }
    catch (const hresult_exception& e)
    {
        EXPECT_EQ(E_UNEXPECTED, e.hr());
    }
    EXPECT_EQ(1u, m_library.Count(L"Cancel"));
    EXPECT_TRUE(m_log.Contains("Error from OAuth library Err: network down\nStack: at Poll")) << m_log.All();
}

TEST_F(GetAuthTokensTest, AFailingCancelDoesNotHideTheFailureThatLedToIt)
{
    m_library.Fail(L"StartAcquire;Cancel", E_ACCESSDENIED);
    LSGetAuthTokens tokens = MakeTokens();
    try
    {
        Call(tokens);
        ADD_FAILURE() << "no exception";
    }
    catch (const hresult_exception& e)
    {
        EXPECT_EQ(E_ACCESSDENIED, e.hr());
        // The description too is the failed acquisition's, not the cancel's.
        EXPECT_EQ(L"Stand-in failure of StartAcquire", e.description());
    }
    EXPECT_EQ(1u, m_library.Count(L"Cancel"));
    EXPECT_EQ(2u, m_log.Count("LogAssemblyError: Caught _com_error at interface -80070005")) << m_log.All();
}

TEST_F(GetAuthTokensTest, AnUnreadableLastErrorIsReportedInsteadOfTheLibrarysText)
{
    m_library.Fail(L"StartAcquire;GetLastErrorMessage", E_FAIL);
    LSGetAuthTokens tokens = MakeTokens();
    EXPECT_THROW(Call(tokens), hresult_exception);
    EXPECT_TRUE(m_log.Contains("ExtractError: Caught _com_error at interface -80004005")) << m_log.All();
    EXPECT_TRUE(m_log.Contains("Error from OAuth library Stand-in failure of GetLastErrorMessage")) << m_log.All();
}

} // namespace
