// Request and response logging of the exchange, switched by settings.
#include "TransportTestSupport.h"

#include "KOVACommon/http/LSAnswerWait.h"
#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSSettingTable.h"

#include <gtest/gtest.h>
#include <algorithm>

namespace {

class LSBaseWSLoggingTest : public SimulatorTest
{
protected:
    void SetUp() override
    {
        SimulatorTest::SetUp();
        for (UserSettingGuard* guard : {&m_request, &m_response, &m_limit})
            guard->Delete();
    }

    void ScriptBodyOfSize(size_t bytes)
    {
        EwsSimClient::Script("{\"status\": 200, \"bodyRepeat\": {\"text\": \"x\", \"count\": " + std::to_string(bytes) +
                             "}}");
    }

    UserSettingGuard m_request{LSSettingTable::LogRequests.name};
    UserSettingGuard m_response{LSSettingTable::LogResponses.name};
    UserSettingGuard m_limit{LSSettingTable::LargestLoggedResponseMb.name};
};

TEST_F(LSBaseWSLoggingTest, NothingIsLoggedWithoutTheSettings)
{
    EwsSimClient::Script(R"({"status": 200, "body": "<answer-body/>"})");
    LogCapture capture;
    Exchange(L"<GetUserUnifiedGroups>request-body</GetUserUnifiedGroups>");
    EXPECT_FALSE(capture.Contains("request-body")) << capture.All();
    EXPECT_FALSE(capture.Contains("answer-body"));
    EXPECT_FALSE(capture.Contains("Log Resp"));
}

TEST_F(LSBaseWSLoggingTest, RequestBodyIsLoggedWhenAsked)
{
    m_request.SetDword(1);
    LogCapture capture;
    Exchange(L"<GetUserUnifiedGroups>request-body</GetUserUnifiedGroups>");
    const std::vector<std::string> texts = capture.Texts();
    const auto marker = std::find(texts.begin(), texts.end(), "Request: ");
    ASSERT_NE(texts.end(), marker) << capture.All();
    ASSERT_NE(texts.end(), marker + 1);
    EXPECT_EQ("<GetUserUnifiedGroups>request-body</GetUserUnifiedGroups>", *(marker + 1));
}

TEST_F(LSBaseWSLoggingTest, SuccessfulResponseHeadersAndBodyAreLoggedWhenAsked)
{
    m_response.SetDword(1);
    EwsSimClient::Script(R"({"status": 200, "headers": [["X-Marker", "seen"]], "body": "<answer-body/>"})");
    LogCapture capture;
    Exchange();
    EXPECT_TRUE(capture.Contains("Log Resp - Headers")) << capture.All();
    EXPECT_TRUE(capture.Contains("X-Marker: seen"));
    EXPECT_TRUE(capture.Contains("Log Resp - Response"));
    EXPECT_TRUE(capture.Contains("<answer-body/>"));
}

TEST_F(LSBaseWSLoggingTest, BodyIsLeftOutWhenTheCallerSaysSo)
{
    m_response.SetDword(1);
    EwsSimClient::Script(R"({"status": 200, "body": "<answer-body/>"})");
    ILSHttpRequestPtr request = OpenEws();
    LogCapture capture;
    CLSBaseWS::StartAsyncSend(request, EwsSimClient::EwsUrl(), L"<x/>");
    LSAnswerWait::WaitForAnswer(*request, EwsSimClient::EwsUrl());
    request->FinishSend(EwsSimClient::EwsUrl(), LSAnswerChecks{false});
    EXPECT_TRUE(capture.Contains("Log Resp - Headers")) << capture.All();
    EXPECT_FALSE(capture.Contains("<answer-body/>"));
}

TEST_F(LSBaseWSLoggingTest, ResponsesAtTheSizeLimitAreTooLargeToLog)
{
    m_response.SetDword(1);
    m_limit.SetDword(1);
    ScriptBodyOfSize(1048576);
    {
        LogCapture capture;
        Exchange();
        EXPECT_TRUE(capture.Contains("Response too large to log.")) << capture.Count("x");
        EXPECT_FALSE(capture.Contains("Log Resp - Response"));
    }
    ScriptBodyOfSize(1048575);
    {
        LogCapture capture;
        Exchange();
        EXPECT_FALSE(capture.Contains("Response too large to log."));
        EXPECT_TRUE(capture.Contains("Log Resp - Response"));
        // In pieces of at most 25000 bytes.
        EXPECT_EQ(42u, capture.Count("xxxxxxxxxx"));
    }
}

TEST_F(LSBaseWSLoggingTest, SizeLimitIsReadOncePerProcess)
{
    m_response.SetDword(1);
    m_limit.SetDword(1);
    ScriptBodyOfSize(1048576);
    Exchange();
    m_limit.SetDword(2);
    ScriptBodyOfSize(1048576);
    LogCapture capture;
    Exchange();
    EXPECT_TRUE(capture.Contains("Response too large to log."));
}

TEST_F(LSBaseWSLoggingTest, FailedSoapAnswerBodyIsLoggedWhenAsked)
{
    m_response.SetDword(1);
    EwsSimClient::Script(R"({"fault": {"faultstring": "logged-fault"}})");
    LogCapture capture;
    EXPECT_THROW(Exchange(), LSHttpError);
    EXPECT_TRUE(capture.Contains("Error Response")) << capture.All();
    EXPECT_GE(capture.Count("<faultstring>logged-fault</faultstring>"), 2u);
}

} // namespace
