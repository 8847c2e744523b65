// Recording exchanges against the simulator and replaying them without it.
#include "TransportTestSupport.h"

#include "LSDiag.h"
#include "LSHttpError.h"
#include "LSHttpRequestFactory.h"
#include "LogCapture.h"
#include "ScratchFolder.h"
#include "UserSettingGuard.h"
#include "hresult_exception.h"

#include <gtest/gtest.h>

using namespace LSHttpRequestMocks;

namespace {

class RecordPlaybackTest : public SimulatorTest
{
protected:
    void SetUp() override
    {
        SimulatorTest::SetUp();
        LSDiag::SetProcessFactsForTest(m_office, true);
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
        LSDiag::SetProcessFactsForTest(m_office, m_testRunner);
        SimulatorTest::TearDown();
    }

    void Record() { m_mode.SetDword(1); }
    void Replay() { m_mode.SetDword(2); }

    const bool m_office = LSDiag::IsOfficeProcess();
    const bool m_testRunner = LSDiag::IsTestRunnerProcess();
    ScratchFolder m_folder{L"RecordPlaybackTest"};
    UserSettingGuard m_mode{L"Mock.ILSHttpRequest"};
    UserSettingGuard m_config{L"Mock.ILSHttpRequest.Config"};
    UserSettingGuard m_base{L"Mock.ILSHttpRequest.BaseRecordingDirectory"};
};

void WriteText(const std::wstring& path, const std::string& text)
{
    WriteFileAged(path, text, 0);
}

TEST_F(RecordPlaybackTest, ARecordedExchangeReplaysWithoutTheServer)
{
    Record();
    const uint32_t n = LSHttpRequestMockBase::ExchangeCount() + 1;
    ILSHttpRequestPtr recorded = Exchange();
    const std::wstring recordedText = CStdStr(recorded->GetResponseText());
    // Whichever action the request carried, the request file begins with
    // method and URL.
    const std::vector<std::wstring> names = FileNames(m_folder.Path());
    ASSERT_EQ(2u, names.size());
    const std::wstring stem = CStdStr::Format(L"UnitAndComponentTests_%06u_", n);
    EXPECT_EQ(0u, names[0].find(stem + L"req_POST_")) << names[0];
    EXPECT_EQ(0u, names[1].find(stem + L"res_POST_")) << names[1];
    const std::string request = ReadWholeFile(m_folder / names[0]);
    EXPECT_EQ(0u, request.find("POST\n" + Utf8(EwsSimClient::EwsUrl()) + "\n")) << request;
    EXPECT_EQ("\n\n", request.substr(request.size() - 2));
    const std::string response = ReadWholeFile(m_folder / names[1]);
    EXPECT_EQ(0u, response.find("HTTP/1.1 200 OK\n")) << response;

    const std::wstring fileTail = names[0].substr(stem.size() + 4, names[0].size() - stem.size() - 8);
    CopyExchange(n, n + 1, fileTail);
    EwsSimClient::Reset();
    Replay();
    ILSHttpRequestPtr replayed = Exchange();
    EXPECT_TRUE(EwsSimClient::Requests().empty());
    EXPECT_EQ(recordedText, CStdStr(replayed->GetResponseText()));
    EXPECT_EQ(200, replayed->GetStatus());
}

TEST_F(RecordPlaybackTest, ARecorded503ReplaysAtOnceAsTheHttpError)
{
    Record();
    EwsSimClient::Script(R"({"status": 503, "times": 5})");
    const uint32_t n = LSHttpRequestMockBase::ExchangeCount() + 1;
    {
        VirtualClock clock;
        EXPECT_THROW(Exchange(), LSHttpError);
    }
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
        Exchange();
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
    Record();
    EwsSimClient::Script(R"({"status": 1223})");
    const uint32_t n = LSHttpRequestMockBase::ExchangeCount() + 1;
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
    const uint32_t n = LSHttpRequestMockBase::ExchangeCount() + 1;
    WriteText(File(n, L"req", L"POST_"), "POST\nhttp://127.0.0.1:1/other\n\n");
    WriteText(File(n, L"res", L"POST_"), "HTTP/1.1 200 OK\nA: b\n\n");
    ILSHttpRequestPtr request = GetHttpRequestFactory().Create();
    request->Open(L"POST", L"http://127.0.0.1:1/EWS", false, _variant_t(), _variant_t());
    LogCapture capture;
    ILSShutdownInformerPtr none;
    EXPECT_EQ(E_FAIL, BareHresultOf([&] { request->PerformAsyncVariantSend(L"", _variant_t(), false, none,
                                                                             false, false, false); }));
    EXPECT_TRUE(capture.Contains("Expected request not found can't replay request from recording"));
}

TEST_F(RecordPlaybackTest, AGetMatchesWithoutItsQuery)
{
    Replay();
    const uint32_t n = LSHttpRequestMockBase::ExchangeCount() + 1;
    WriteText(File(n, L"req", L"GET_list_aspx"), "GET\nhttp://h/files/list.aspx?x=1\n\n");
    WriteText(File(n, L"res", L"GET_list_aspx"), "HTTP/1.1 1223 \nContent-Length: 0\n\n");
    ILSHttpRequestPtr request = GetHttpRequestFactory().Create();
    request->Open(L"GET", L"http://h/files/list.aspx?x=2", false, _variant_t(), _variant_t());
    ILSShutdownInformerPtr none;
    request->PerformAsyncVariantSend(L"", _variant_t(), false, none, false, false, false);
    EXPECT_EQ(1223, request->GetStatus());
    EXPECT_EQ(VT_EMPTY, request->GetResponseBody().vt);
    EXPECT_EQ(_bstr_t(L""), request->GetResponseText());
    EXPECT_EQ(_bstr_t(L"0"), request->GetResponseHeader(L"content-length"));
}

TEST_F(RecordPlaybackTest, ResponseFilesLoadWholeOrFailAsDocumented)
{
    const std::wstring path = m_folder / L"res.txt";
    LSResponseFake answer;
    WriteText(path, std::string("HTTP/1.1 200 Fine  Day\r\nX-A: 1\nX-B:2\n\nline\n\nmore", 48));
    LSResponseFake::ReadFromFile(path, answer);
    EXPECT_EQ(200u, answer.status);
    EXPECT_EQ(L"Fine  Day", answer.statusText);
    ASSERT_EQ(2u, answer.headers.size());
    EXPECT_EQ(L"2", answer.headers[1].second);
    ASSERT_EQ(VT_ARRAY | VT_UI1, answer.body.vt);
    EXPECT_EQ(10u, answer.body.parray->rgsabound[0].cElements);

    LogCapture capture;
    WriteText(path, "<html>foreign</html>");
    EXPECT_EQ(E_FAIL, BareHresultOf([&] { LSResponseFake::ReadFromFile(path, answer); }));
    EXPECT_TRUE(capture.Contains("Unexpected text header in recording"));
    WriteText(path, "!!!HttpError!!!\n50");
    EXPECT_EQ(E_INVALIDARG, BareHresultOf([&] { LSResponseFake::ReadFromFile(path, answer); }));
    EXPECT_EQ(E_FAIL, BareHresultOf([&] { LSResponseFake::ReadFromFile(m_folder / L"missing.txt", answer); }));
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
