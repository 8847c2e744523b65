// The exchange over the simulator: throttling retries, error translation
// and the delays between attempts.
#include "TransportTestSupport.h"

#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSDelay.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSRetryAfter.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSResourceLibraries.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "QuorvalCommon/hresult_exception.h"
#include "UserSettingGuard.h"

#include <gtest/gtest.h>

namespace {

class LSBaseWSExchangeTest : public SimulatorTest
{
protected:
    // Runs one exchange that must fail with LSHttpError and returns it.
    LSHttpError FailedExchange()
    {
        try
        {
            Exchange(L"<GetUserUnifiedGroups/>");
        }
        catch (const LSHttpError& error)
        {
            return error;
        }
        ADD_FAILURE() << "the exchange did not fail with LSHttpError";
        return LSHttpError(0, L"");
    }
};

TEST_F(LSBaseWSExchangeTest, ThrottlingWithoutRetryAfterBacksOffThenTheFifthAnswerEndsTheExchange)
{
    EwsSimClient::Script(R"({"status": 503, "times": 5})");
    VirtualClock clock;
    TestInformer informer;
    LogCapture capture;
    const LSHttpError error = FailedExchange();

    EXPECT_EQ(503u, error.Status());
    EXPECT_EQ(5u, EwsSimClient::Requests().size());
    EXPECT_EQ((std::vector<long>{30000, 60000, 120000, 120000}), informer.Host().BeginDelayArguments());
    EXPECT_EQ(4, informer.Host().EndDelayCount());
    EXPECT_EQ(330000u, clock.TotalSleptMs());
    for (DWORD step : clock.Sleeps())
        EXPECT_EQ(100u, step);
    EXPECT_TRUE(capture.Contains("Server unavailable - 0 delaying 30")) << capture.All();
    EXPECT_TRUE(capture.Contains("Server unavailable - 1 delaying 60"));
    EXPECT_TRUE(capture.Contains("Server unavailable - 2 delaying 120"));
    EXPECT_TRUE(capture.Contains("Server unavailable - 3 delaying 120"));
    EXPECT_EQ(1u, capture.Count("Server unavailable - exceeded retries"));
    // Every throttling answer switches light sync on, the last one too.
    EXPECT_EQ(5u, capture.Count("Background syncing disabled until: "));
}

TEST_F(LSBaseWSExchangeTest, ThrottlingRetriesAfterTheServersRetryAfterAndThenSucceeds)
{
    EwsSimClient::Script(R"([{"status": 429, "headers": {"Retry-After": "7"}},
                             {"status": 503, "headers": {"Retry-After": "2"}}])");
    VirtualClock clock;
    LogCapture capture;
    ILSHttpRequestPtr request = Exchange();
    EXPECT_EQ(200, request->GetStatus());
    EXPECT_EQ(9000u, clock.TotalSleptMs());
    EXPECT_EQ(3u, EwsSimClient::Requests().size());
    EXPECT_TRUE(capture.Contains("Server unavailable - 0 delaying 7")) << capture.All();
    EXPECT_TRUE(capture.Contains("Server unavailable - 1 delaying 2"));
    EXPECT_EQ(2u, capture.Count("Background syncing disabled until: "));
}

TEST_F(LSBaseWSExchangeTest, RetryAfterOfOneSecondWaitsForReal)
{
    EwsSimClient::Script(R"({"status": 503, "headers": {"Retry-After": "1"}})");
    const uint64_t start = GetTickCount64();
    ILSHttpRequestPtr request = Exchange();
    const uint64_t elapsed = GetTickCount64() - start;
    EXPECT_EQ(200, request->GetStatus());
    EXPECT_GE(elapsed, 1000u);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_EQ(2u, EwsSimClient::Requests().size());
}

TEST_F(LSBaseWSExchangeTest, UnusableRetryAfterFallsBackToTheBackOff)
{
    // A date gone by, negative, and beyond 32 bits: none asks for a wait.
    EwsSimClient::Script(R"([{"status": 503, "headers": {"Retry-After": "Wed, 21 Oct 2015 07:28:00 GMT"}},
                             {"status": 503, "headers": {"Retry-After": "-1"}},
                             {"status": 503, "headers": {"Retry-After": "99999999999"}}])");
    VirtualClock clock;
    TestInformer informer;
    ILSHttpRequestPtr request = Exchange(L"<GetUserUnifiedGroups/>");
    EXPECT_EQ(200, request->GetStatus());
    EXPECT_EQ((std::vector<long>{30000, 60000, 120000}), informer.Host().BeginDelayArguments());
}

TEST_F(LSBaseWSExchangeTest, RetryAfterAsADateWaitsUntilThenAndBeyond180SecondsFailsAtOnce)
{
    {
        EwsSimClient::Script("{\"status\": 503, \"headers\": {\"Retry-After\": \"" +
                             Utf8(HttpDateFromNow(2)) + "\"}}");
        VirtualClock clock;
        ILSHttpRequestPtr request = Exchange();
        EXPECT_EQ(200, request->GetStatus());
        // The clock may tick over a second between the header and its reading.
        EXPECT_GE(clock.TotalSleptMs(), 1000u);
        EXPECT_LE(clock.TotalSleptMs(), 2000u);
    }
    for (const char* retryAfter : {"180", "181", "999999"})
    {
        UserSettingGuard lightSyncEnd{LSSettingTable::LightSyncEndTime.name};
        lightSyncEnd.Delete();
        EwsSimClient::Script(std::string("{\"status\": 429, \"headers\": {\"Retry-After\": \"") + retryAfter +
                             "\"}}");
        VirtualClock clock;
        LogCapture capture;
        const bool honoured = std::string(retryAfter) == "180";
        if (honoured)
            EXPECT_EQ(200, Exchange()->GetStatus());
        else
            EXPECT_EQ(429u, FailedExchange().Status()) << retryAfter;
        EXPECT_EQ(honoured ? 180000u : 0u, clock.TotalSleptMs()) << retryAfter;
        EXPECT_EQ(!honoured, capture.Contains(std::string("asked to wait ") + retryAfter + " seconds"))
            << capture.All();
        EXPECT_TRUE(ReadUserText(LSSettingTable::LightSyncEndTime.name).has_value()) << retryAfter;
    }
}

TEST(LSRetryAfterTest, ReadsSecondsDatesAndMillisecondsAndNothingElse)
{
    const int64_t now = 1445412478; // Wed, 21 Oct 2015 07:27:58 GMT
    const struct
    {
        const wchar_t* value;
        uint32_t seconds;
    } headers[] = {
        {L"7", 7}, {L" 12 ", 12}, {L"0", 0}, {L"4294967295", 4294967295u},
        {L"Wed, 21 Oct 2015 07:28:00 GMT", 2}, {L"Thu, 22 Oct 2015 07:27:58 GMT", 86400},
        {L"Wed, 21 Oct 2015 07:27:00 GMT", 0}, // gone by
        {L"", 0}, {L"-1", 0}, {L"+5", 0}, {L"1.5", 0}, {L"5s", 0}, {L"4294967296", 0},
        {L"99999999999999999999999", 0}, {L"Wed, 21 Oct 2015 07:28:00 UTC", 0},
        {L"Wed, 21 Foo 2015 07:28:00 GMT", 0}, {L"Wed, 21 Oct 2015 25:28:00 GMT", 0},
    };
    for (const auto& h : headers)
        EXPECT_EQ(h.seconds, LSRetryAfter::Seconds(h.value, now)) << Utf8(h.value);

    const struct
    {
        const wchar_t* value;
        uint32_t seconds;
    } backOffs[] = {{L"1000", 1}, {L"1001", 2}, {L"120500", 121}, {L"0", 0}, {L"", 0}, {L"-1000", 0},
                    {L"1e3", 0}, {L"99999999999", 100000000}, {L"99999999999999999999", 0}};
    for (const auto& b : backOffs)
        EXPECT_EQ(b.seconds, LSRetryAfter::FromMilliseconds(b.value)) << Utf8(b.value);
}

TEST_F(LSBaseWSExchangeTest, ServerErrorIsNotRetried)
{
    EwsSimClient::Script(R"({"status": 500, "fault": {"faultstring": "Broken"}, "times": 2})");
    VirtualClock clock;
    const LSHttpError error = FailedExchange();
    EXPECT_EQ(500u, error.Status());
    EXPECT_EQ(L"Broken", error.Message());
    EXPECT_EQ(1u, EwsSimClient::Requests().size());
    EXPECT_EQ(0u, clock.TotalSleptMs());
}

TEST_F(LSBaseWSExchangeTest, DavErrorHeaderGivesTheDecodedMessageWhateverTheStatus)
{
    for (int status : {400, 403, 404, 500, 502})
    {
        EwsSimClient::Script("{\"status\": " + std::to_string(status) +
                             ", \"headers\": {\"X-MSDAVEXT_Error\": \"a%20b\"}, \"body\": \"<x/>\"}");
        LogCapture capture;
        const LSHttpError error = FailedExchange();
        EXPECT_EQ(static_cast<uint32_t>(status), error.Status());
        EXPECT_EQ(L"a b", error.Message()) << status;
        EXPECT_TRUE(capture.Contains("Failure error:a b")) << capture.All();
    }
}

TEST_F(LSBaseWSExchangeTest, BadPercentEncodingInTheDavErrorFailsWithInvalidArgument)
{
    EwsSimClient::Script(R"({"status": 403, "headers": {"X-MSDAVEXT_Error": "a%2"}})");
    try
    {
        Exchange();
        ADD_FAILURE() << "no exception";
    }
    catch (const hresult_exception& error)
    {
        EXPECT_EQ(E_INVALIDARG, error.hr());
        EXPECT_STREQ("Invalid encoding", error.what());
    }
    EwsSimClient::Script(R"({"status": 403, "headers": {"X-MSDAVEXT_Error": "a%zzb"}})");
    EXPECT_EQ(E_INVALIDARG, BareHresultOf([&] { Exchange(); }));
}

TEST_F(LSBaseWSExchangeTest, JsonErrorKeepsItsWholeBody)
{
    const std::string json = R"({\"error\": {\"code\": \"ErrorAccessDenied\", \"message\": \"Nope\"}})";
    EwsSimClient::Script(R"({"status": 403, "headers": {"Content-Type": "application/json; charset=utf-8"},
                             "body": ")" + json + "\"}");
    const LSHttpError error = FailedExchange();
    EXPECT_EQ(403u, error.Status());
    EXPECT_EQ(L"{\"error\": {\"code\": \"ErrorAccessDenied\", \"message\": \"Nope\"}}", error.JsonBody());
    EXPECT_EQ(L"Forbidden", error.Message());

    EwsSimClient::Script(R"({"status": 403, "body": "{}"})");
    EXPECT_TRUE(FailedExchange().JsonBody().empty());
}

TEST_F(LSBaseWSExchangeTest, SoapFaultsGiveTheMostTellingMessage)
{
    struct Case
    {
        const char* script;
        std::wstring message;
    };
    const std::wstring soapFailure = LSResourceLibraries::LoadResourceString(4041);
    const std::wstring badRequest = LSResourceLibraries::LoadResourceString(4265);
    const Case cases[] = {
        {R"({"fault": {"errorstring": "Boom", "errorcode": "42", "faultstring": "ignored"}})", L"Boom (42)"},
        {R"({"fault": {"errorstring": "Boom"}})", L"Boom"},
        {R"({"fault": {"faultstring": "Plain fault", "m:message": "ignored"}})", L"Plain fault"},
        {R"({"fault": {"m:message": "From messages", "m:code": "ignored"}})", L"From messages"},
        {R"({"fault": {"m:code": "ErrorCode"}})", L"ErrorCode"},
        {R"({"status": 500, "body": "<<< not xml"})", soapFailure},
        {R"({"status": 500, "body": ""})", soapFailure},
        {R"({"status": 400, "fault": {"m:message": "Bad one", "faultstring": "ignored"}})", L"Bad one"},
        {R"({"status": 400, "fault": {"m:code": "BadCode"}})", L"BadCode"},
        {R"({"status": 400, "fault": {"faultstring": "not read for 400"}})", badRequest},
    };
    for (const Case& c : cases)
    {
        EwsSimClient::Script(c.script);
        LogCapture capture;
        const LSHttpError error = FailedExchange();
        EXPECT_EQ(c.message, error.Message()) << c.script;
        EXPECT_TRUE(capture.Contains("web services Request failed: status:" + std::to_string(error.Status())));
        EXPECT_TRUE(capture.Contains("Error is : " + Utf8(c.message) + ": entire contents: ")) << capture.All();
    }
}

TEST_F(LSBaseWSExchangeTest, OtherFailuresCarryTheStatusTextOrTheGenericMessage)
{
    EwsSimClient::Script(R"({"status": 418, "reason": "Short and stout", "headers": {"Retry-After": "12"}})");
    LSHttpError error = FailedExchange();
    EXPECT_EQ(418u, error.Status());
    EXPECT_EQ(L"Short and stout", error.Message());
    EXPECT_EQ(12u, error.RetryAfter());

    EwsSimClient::Script(R"({"status": 502, "reason": ""})");
    error = FailedExchange();
    EXPECT_EQ(std::wstring(LSResourceLibraries::LoadResourceString(4042)), error.Message());
    EXPECT_EQ(0u, error.RetryAfter());

    EwsSimClient::Script(R"({"status": 404, "body": "not here"})");
    EXPECT_EQ(404u, FailedExchange().Status());
}

TEST_F(LSBaseWSExchangeTest, EmptyBodyGoesOutAsNoBody)
{
    EwsSimClient::Script(R"({"status": 200, "body": "<ok/>"})");
    ILSHttpRequestPtr request = OpenEws();
    CLSBaseWS::PerformAsyncSend(request, EwsSimClient::EwsUrl(), L"");
    const SimRequest wire = OnlyRequest();
    EXPECT_EQ(0u, wire.bodyLength);
}

TEST_F(LSBaseWSExchangeTest, NonAsciiBodyReachesTheServerAsUtf8)
{
    Exchange(L"<GetUserUnifiedGroups>\u00c9quipe M\u00fcnchen \u65e5\u672c</GetUserUnifiedGroups>");
    EXPECT_EQ("<GetUserUnifiedGroups>\xc3\x89quipe M\xc3\xbcnchen \xe6\x97\xa5\xe6\x9c\xac</GetUserUnifiedGroups>",
              OnlyRequest().body);
}

TEST_F(LSBaseWSExchangeTest, ExchangeNotifiesTheHostAndWritesThePerformanceLine)
{
    TestInformer informer;
    LogCapture capture;
    ILSHttpRequestPtr request = OpenEws();
    const char action[] = "http://schemas.microsoft.com/exchange/services/2006/messages/GetUserUnifiedGroups";
    request->SetRequestHeader(L"SOAPAction", action);
    CLSBaseWS::PerformAsyncSend(request, EwsSimClient::EwsUrl(), L"<GetUserUnifiedGroups/>");
    EXPECT_EQ(1, informer.Host().NotifyActivityCount());
    const std::vector<CapturedLine> perf = capture.Matching("|CLSBaseWS::PerformAsyncSend|PERF|End|");
    ASSERT_EQ(1u, perf.size()) << capture.All();
    EXPECT_EQ(0u, perf[0].text.find("|CLSBaseWS::PerformAsyncSend|PERF|End|"));
    const std::string tail = std::string("|1|WS|") + action;
    ASSERT_GE(perf[0].text.size(), tail.size());
    EXPECT_EQ(tail, perf[0].text.substr(perf[0].text.size() - tail.size()));
    EXPECT_TRUE(capture.Contains("Opening address:" + Utf8(EwsSimClient::EwsUrl())));
    EXPECT_TRUE(capture.Contains("Response:200"));
}

TEST_F(LSBaseWSExchangeTest, PerformanceLineNamesTheUrlWithoutASoapAction)
{
    LogCapture capture;
    Exchange();
    EXPECT_TRUE(capture.Contains("|1|WS|" + Utf8(EwsSimClient::EwsUrl()))) << capture.All();
}

class InterruptibleDelayTest : public testing::Test
{
};

TEST_F(InterruptibleDelayTest, SleepsInStepsOfOneTenthOfASecond)
{
    VirtualClock clock;
    LSDelay::InterruptibleDelay(450);
    EXPECT_EQ(5u, clock.SleepCount());
    EXPECT_EQ(500u, clock.TotalSleptMs());
    LSDelay::InterruptibleDelay(0);
    EXPECT_EQ(5u, clock.SleepCount());
}

TEST_F(InterruptibleDelayTest, ShutdownEndsTheDelayWithEAbort)
{
    VirtualClock clock;
    TestInformer informer;
    int asked = 0;
    informer.Host().SetShutdownAnswer([&] { return ++asked == 3; });
    LogCapture capture;
    EXPECT_EQ(E_ABORT, BareHresultOf([&] { LSDelay::InterruptibleDelay(60000); }));
    EXPECT_EQ(200u, clock.TotalSleptMs());
    EXPECT_TRUE(capture.Contains("Interrupting delay - aborting ")) << capture.All();

    // A pass nested in this one (another filter's, run from a pumped message)
    // waits under its own informer; the outer one's is back once it ends.
    informer.Host().SetShutdownAnswer(nullptr);
    informer.Host().SetShutdownRequested(true);
    {
        const LSPassContext nested(nullptr);
        LSDelay::InterruptibleDelay(300);
    }
    EXPECT_EQ(500u, clock.TotalSleptMs());
    EXPECT_EQ(E_ABORT, BareHresultOf([&] { LSDelay::InterruptibleDelay(300); }));
}

TEST_F(InterruptibleDelayTest, InformerOnATimerRefusesToWait)
{
    VirtualClock clock;
    TestInformer informer;
    informer.Host().SetOnTimer(true);
    LogCapture capture;
    EXPECT_EQ(E_ABORT, BareHresultOf([&] { LSDelay::InterruptibleDelay(1000); }));
    EXPECT_EQ(0u, clock.TotalSleptMs());
    EXPECT_TRUE(capture.Contains("Shutdown informer is on a timer, possibly on the UI thread. Aborting"));
}

class RetryOnServerUnavailableTest : public testing::Test
{
    // Throttled attempts switch light sync on, which records its end time.
    UserSettingGuard m_lightSyncEnd{LSSettingTable::LightSyncEndTime.name};

protected:
    static std::function<void()> FailingWith(int& calls, uint32_t status, uint32_t retryAfter = 0)
    {
        return [&calls, status, retryAfter] {
            ++calls;
            throw LSHttpError(status, L"x", L"", retryAfter);
        };
    }
};

TEST_F(RetryOnServerUnavailableTest, ShutdownDuringTheBackOffEndsTheHostsDelayToo)
{
    VirtualClock clock;
    TestInformer informer;
    informer.Host().SetShutdownRequested(true);
    int calls = 0;
    EXPECT_EQ(E_ABORT, BareHresultOf([&] {
                  CLSBaseWS::RetryOnServerUnavailable(FailingWith(calls, 429));
              }));
    EXPECT_EQ(1, calls);
    EXPECT_EQ((std::vector<long>{30000}), informer.Host().BeginDelayArguments());
    EXPECT_EQ(1, informer.Host().EndDelayCount());
}

// A failing informer call surfaces as a COM error with the informer's own
// error information, whichever call of the retry delay it was.
TEST_F(RetryOnServerUnavailableTest, FailingInformerCallsBecomeTheInformersComErrors)
{
    using Fail = void (LSHostShutdownInformer::*)(HRESULT);
    const struct
    {
        Fail fail;
        HRESULT hr;
        const wchar_t* description;
        uint64_t sleptMs;
        int endDelays;
    } rows[] = {
        {&LSHostShutdownInformer::FailBeginDelay, E_UNEXPECTED, L"BeginDelay failed", 0, 0},
        {&LSHostShutdownInformer::FailIsOnTimer, E_ACCESSDENIED, L"IsOnTimer failed", 0, 1},
        {&LSHostShutdownInformer::FailIsShutdownRequested, E_HANDLE, L"IsShutdownRequested failed", 0, 1},
        {&LSHostShutdownInformer::FailEndDelay, E_OUTOFMEMORY, L"EndDelay failed", 1000, 1},
    };
    for (const auto& row : rows)
    {
        SCOPED_TRACE(Utf8(row.description));
        VirtualClock clock;
        TestInformer informer;
        (informer.Host().*row.fail)(row.hr);
        int calls = 0;
        try
        {
            CLSBaseWS::RetryOnServerUnavailable(FailingWith(calls, 503, 1));
            ADD_FAILURE() << "nothing was thrown";
        }
        catch (const hresult_exception& error)
        {
            EXPECT_EQ(row.hr, error.hr());
            EXPECT_EQ(std::wstring(row.description), error.description());
        }
        EXPECT_EQ(row.sleptMs, clock.TotalSleptMs());
        EXPECT_EQ(row.endDelays, informer.Host().EndDelayCount());
    }
}

TEST_F(RetryOnServerUnavailableTest, OtherExceptionsPassAtOnce)
{
    VirtualClock clock;
    int calls = 0;
    EXPECT_EQ(E_FAIL, BareHresultOf([&] {
                  CLSBaseWS::RetryOnServerUnavailable([&] {
                      ++calls;
                      ThrowHr(E_FAIL);
                  });
              }));
    EXPECT_EQ(1, calls);
    EXPECT_EQ(0u, clock.TotalSleptMs());
}

} // namespace
