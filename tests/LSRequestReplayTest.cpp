// Recording exchanges against the simulator and replaying them without it.
#include "TransportTestSupport.h"

#include "KOVACommon/LSHttpRequestFactory.h"
#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "LSDiagAccess.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "QuorvalCommon/hresult_exception.h"
#include "ScratchFolder.h"
#include "UserSettingGuard.h"

#include <gtest/gtest.h>

using namespace LSRequestReplay;

namespace {

class RecordPlaybackTest : public SimulatorTest
{
protected:
    void SetUp() override
    {
        SimulatorTest::SetUp();
        LSDiagAccess::SetProcessFacts(m_office, true);
        m_base.SetString(m_folder.Path());
        m_config.Delete();
    }

    // The pair of files of exchange n in the scratch folder.
    std::wstring File(uint32_t n, const wchar_t* kind, const std::wstring& tail)
    {
        return CStdStr::Format(L"%ls\\UnitAndComponentTests_%06u_%ls_%ls.txt", m_folder.Path().c_str(), n, kind,
                               tail.c_str());
    }

    // A recording replays only as the same exchange number: the counter
    // never goes back, so the files are copied to the next numbers.
    void CopyExchange(uint32_t from, uint32_t to, const std::wstring& tail)
    {
        ASSERT_TRUE(CopyFileW(File(from, L"req", tail).c_str(), File(to, L"req", tail).c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(File(from, L"res", tail).c_str(), File(to, L"res", tail).c_str(), FALSE));
    }

    void TearDown() override
    {
        LSDiagAccess::SetProcessFacts(m_office, m_testRunner);
        SimulatorTest::TearDown();
    }

    void Record() { m_mode.SetDword(1); }
    void Replay() { m_mode.SetDword(2); }

    const bool m_office = LSDiag::IsOfficeProcess();
    const bool m_testRunner = LSDiag::IsTestRunnerProcess();
    ScratchFolder m_folder{L"RecordPlaybackTest"};
    UserSettingGuard m_mode{LSSettingTable::RequestReplay.name};
    UserSettingGuard m_config{LSSettingTable::RequestReplayConfig.name};
    UserSettingGuard m_base{LSSettingTable::RequestReplayFolder.name};
};

void WriteText(const std::wstring& path, const std::string& text)
{
    WriteFileAged(path, text, 0);
}

// The action names both files and is the request file's third line; the
// response file holds the platform's status, headers and body bytes as they
// came, a body with an empty line and non-ASCII text included.
TEST_F(RecordPlaybackTest, ARecordedExchangeReplaysWithoutTheServer)
{
    Record();
    EwsSimClient::Script(R"({"status": 200, "headers": [["X-Marker", "seen"]], "body": "<a>\n\nb\u00e9</a>"})");
    const uint32_t n = LSReplayRequestBase::ExchangeCount() + 1;
    const wchar_t action[] = L"http://schemas.microsoft.com/exchange/services/2006/messages/GetUserUnifiedGroups";
    ILSHttpRequestPtr recorded = OpenEws();
    recorded->SetRequestHeader(L"SOAPAction", action);
    CLSBaseWS::PerformAsyncSend(recorded, EwsSimClient::EwsUrl(), L"<x/>");
    const std::wstring tail = L"POST_GetUserUnifiedGroups";
    const std::wstring stem = CStdStr::Format(L"UnitAndComponentTests_%06u_", n);
    EXPECT_EQ((std::vector<std::wstring>{stem + L"req_" + tail + L".txt", stem + L"res_" + tail + L".txt"}),
              FileNames(m_folder.Path()));
    EXPECT_EQ("POST\n" + Utf8(EwsSimClient::EwsUrl()) + "\nGetUserUnifiedGroups\n\n",
              ReadWholeFile(File(n, L"req", tail)));
    const std::wstring headers = FormatResponseHeaders(LSResponseHeaders::Parse(CStdStr(recorded->GetAllResponseHeaders())));
    EXPECT_NE(std::wstring::npos, headers.find(L"X-Marker: seen\n")) << Utf8(headers);
    EXPECT_EQ("HTTP/1.1 200 OK\n" + Utf8(headers) + "<a>\n\nb\xc3\xa9</a>", ReadWholeFile(File(n, L"res", tail)));

    CopyExchange(n, n + 1, tail);
    EwsSimClient::Reset();
    Replay();
    ILSHttpRequestPtr replayed = OpenEws();
    replayed->SetRequestHeader(L"SOAPAction", action);
    CLSBaseWS::PerformAsyncSend(replayed, EwsSimClient::EwsUrl(), L"<x/>");
    EXPECT_TRUE(EwsSimClient::Requests().empty());
    EXPECT_EQ(L"<a>\n\nb\u00e9</a>", CStdStr(replayed->GetResponseText()));
    EXPECT_EQ(200, replayed->GetStatus());
    EXPECT_EQ(_bstr_t(L"seen"), replayed->GetResponseHeader(L"x-marker"));
}

// Each attempt is one recorded exchange; a throttled one replays as its error.
TEST_F(RecordPlaybackTest, ARecorded503ReplaysAtOnceAsTheHttpError)
{
    Record();
    EwsSimClient::Script(R"({"status": 503, "times": 5})");
    const uint32_t n = LSReplayRequestBase::ExchangeCount() + 1;
    const auto sendOnce = [&] {
        ILSHttpRequestPtr request = OpenEws();
        CLSBaseWS::PerformAsyncSend(request, EwsSimClient::EwsUrl(), L"<x/>");
    };
    EXPECT_THROW(sendOnce(), LSHttpError);
    const std::vector<std::wstring> names = FileNames(m_folder.Path());
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ(0u, ReadWholeFile(m_folder / names[1]).find("!!!HttpError!!!\n503\t"));
    const std::wstring stem = CStdStr::Format(L"UnitAndComponentTests_%06u_", n);
    CopyExchange(n, n + 1, names[0].substr(stem.size() + 4, names[0].size() - stem.size() - 8));

    EwsSimClient::Reset();
    Replay();
    VirtualClock clock;
    try
    {
        sendOnce();
        ADD_FAILURE() << "replay did not fail";
    }
    catch (const LSHttpError& error)
    {
        EXPECT_EQ(503u, error.Status());
    }
    EXPECT_EQ(0u, clock.TotalSleptMs());
    EXPECT_TRUE(EwsSimClient::Requests().empty());
}

TEST_F(RecordPlaybackTest, ARecorded1223ReplaysAs1223)
{
    HttpClientOverride xmlHttp(L"XMLHTTP"); // the platform that reports a 204 as 1223
    Record();
    EwsSimClient::Script(R"({"status": 1223})");
    const uint32_t n = LSReplayRequestBase::ExchangeCount() + 1;
    Exchange();
    const std::vector<std::wstring> names = FileNames(m_folder.Path());
    ASSERT_EQ(2u, names.size());
    EXPECT_EQ(0u, ReadWholeFile(m_folder / names[1]).find("HTTP/1.1 1223 ")) << ReadWholeFile(m_folder / names[1]);
    const std::wstring stem = CStdStr::Format(L"UnitAndComponentTests_%06u_", n);
    CopyExchange(n, n + 1, names[0].substr(stem.size() + 4, names[0].size() - stem.size() - 8));
    Replay();
    ILSHttpRequestPtr replayed = Exchange();
    EXPECT_EQ(1223, replayed->GetStatus());
    EXPECT_EQ(_bstr_t(L""), replayed->GetResponseText());
}

TEST_F(RecordPlaybackTest, AReplayOfAnotherRequestFails)
{
    Replay();
    const uint32_t n = LSReplayRequestBase::ExchangeCount() + 1;
    WriteText(File(n, L"req", L"POST_"), "POST\nhttp://127.0.0.1:1/other\n\n");
    WriteText(File(n, L"res", L"POST_"), "HTTP/1.1 200 OK\nA: b\n\n");
    ILSHttpRequestPtr request = GetHttpRequestFactory().Create();
    request->Open(L"POST", L"http://127.0.0.1:1/EWS", false, _variant_t(), _variant_t());
    LogCapture capture;
    EXPECT_EQ(E_FAIL, BareHresultOf([&] { CLSBaseWS::PerformAsyncSend(request, L"", L""); }));
    EXPECT_TRUE(capture.Contains("Expected request not found can't replay request from recording"));
}

TEST_F(RecordPlaybackTest, AGetMatchesWithoutItsQuery)
{
    Replay();
    const uint32_t n = LSReplayRequestBase::ExchangeCount() + 1;
    WriteText(File(n, L"req", L"GET_list_aspx"), "GET\nhttp://h/files/list.aspx?x=1\n\n");
    WriteText(File(n, L"res", L"GET_list_aspx"), "HTTP/1.1 1223 \nContent-Length: 0\n\n");
    ILSHttpRequestPtr request = GetHttpRequestFactory().Create();
    request->Open(L"GET", L"http://h/files/list.aspx?x=2", false, _variant_t(), _variant_t());
    // The platform request's three steps: sent, then complete, then read.
    EXPECT_GT(4, request->AnswerReadyState());
    request->StartSend(L"", _variant_t());
    EXPECT_EQ(4, request->AnswerReadyState());
    request->FinishSend(L"", LSAnswerChecks{});
    EXPECT_EQ(1223, request->GetStatus());
    EXPECT_EQ(VT_EMPTY, request->GetResponseBody().vt);
    EXPECT_EQ(_bstr_t(L""), request->GetResponseText());
    EXPECT_EQ(_bstr_t(L"0"), request->GetResponseHeader(L"content-length"));

    // A NUL inside a replayed body is part of its text.
    WriteText(File(n + 1, L"req", L"GET_list_aspx"), "GET\nhttp://h/files/list.aspx\n\n");
    WriteText(File(n + 1, L"res", L"GET_list_aspx"), std::string("HTTP/1.1 200 OK\nA: b\n\na\0b", 25));
    CLSBaseWS::PerformAsyncSend(request, L"", L"");
    EXPECT_EQ(std::wstring(L"a\0b", 3), CStdStr(request->GetResponseText()));
}

TEST_F(RecordPlaybackTest, ResponseFilesLoadWholeOrFailAsDocumented)
{
    const std::wstring path = m_folder / L"res.txt";
    LSRecordedResponse answer;
    WriteText(path, std::string("HTTP/1.1 200 Fine  Day\r\nX-A: 1\nX-B:2\n\nline\n\nmore", 48));
    LSRecordedResponse::ReadFromFile(path, answer);
    EXPECT_EQ(200u, answer.status);
    EXPECT_EQ(L"Fine  Day", answer.statusText);
    ASSERT_EQ(2u, answer.headers.size());
    EXPECT_EQ(L"2", answer.headers[1].second);
    ASSERT_EQ(VT_ARRAY | VT_UI1, answer.body.vt);
    EXPECT_EQ(10u, answer.body.parray->rgsabound[0].cElements);

    LogCapture capture;
    WriteText(path, "<html>foreign</html>");
    EXPECT_EQ(E_FAIL, BareHresultOf([&] { LSRecordedResponse::ReadFromFile(path, answer); }));
    EXPECT_TRUE(capture.Contains("Unexpected text header in recording"));
    WriteText(path, "!!!HttpError!!!\n50");
    EXPECT_EQ(E_INVALIDARG, BareHresultOf([&] { LSRecordedResponse::ReadFromFile(path, answer); }));
    EXPECT_EQ(E_FAIL, BareHresultOf([&] { LSRecordedResponse::ReadFromFile(m_folder / L"missing.txt", answer); }));
}

TEST_F(RecordPlaybackTest, AnUnwritableFolderEndsTheExchange)
{
    m_base.SetString(m_folder / L"no\\such\\folder");
    Record();
    LogCapture capture;
    EXPECT_EQ(E_FAIL, BareHresultOf([&] { Exchange(); }));
    EXPECT_TRUE(capture.Contains("Failed writing to file ")) << capture.All();
    EXPECT_TRUE(EwsSimClient::Requests().empty());
}

} // namespace
