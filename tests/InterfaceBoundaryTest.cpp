// Every kind of exception that reaches a COM boundary: the HRESULT returned,
// the error line written at the caller's position, and the error text.
#include "LogCapture.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LogLongText.h"
#include "QuorvalCommon/hresult_exception.h"
#include "QuorvalCommon/narrowcasts.h"

#include <sstream>

#include <comdef.h>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

template <typename Thrower>
HRESULT Boundary(Thrower thrower, std::wstring* text = nullptr)
{
    try
    {
        thrower();
        return S_OK;
    }
    catch (...)
    {
        return HandleInterfaceException("C::M", "Source.cpp", 42, text);
    }
}

struct Unusual
{
};

} // namespace

TEST(InterfaceBoundary, HresultExceptionKeepsItsCodeAndMessage)
{
    LogCapture capture;
    std::wstring text;
    EXPECT_EQ(E_INVALIDARG, Boundary([] { throw hresult_exception(E_INVALIDARG, "bad"); }, &text));
    EXPECT_EQ(L"bad", text);
    auto lines = capture.Matching("C::M: Caught hresult_exception at interface -80070057 - bad");
    ASSERT_EQ(1u, lines.size()) << capture.All();
    EXPECT_EQ(google::GLOG_ERROR, lines[0].severity);
    EXPECT_EQ("Source.cpp", lines[0].file);
    EXPECT_EQ(42, lines[0].line);
}

TEST(InterfaceBoundary, StandardExceptionsBecomeEFail)
{
    LogCapture capture;
    std::wstring text;
    EXPECT_EQ(E_FAIL, Boundary([] { throw std::out_of_range("invalid vector subscript"); }, &text));
    EXPECT_EQ(L"invalid vector subscript", text);
    EXPECT_TRUE(capture.Contains("C::M: Caught std::exception at interface -invalid vector subscript"));
    EXPECT_EQ(E_FAIL, Boundary([] { throw QuorvalCommon::narrowcasts::narrowing_error(); }));
    EXPECT_EQ(1u, capture.Count("C::M: Caught std::exception at interface -narrowing_error"));
}

TEST(InterfaceBoundary, BareHresultIsReturnedWithTheSystemMessage)
{
    LogCapture capture;
    std::wstring text;
    EXPECT_EQ(E_OUTOFMEMORY, Boundary([] { ThrowHr(E_OUTOFMEMORY); }, &text));
    EXPECT_EQ(SystemMessageText(E_OUTOFMEMORY), text);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(L'\n' == text.back(), false);
    EXPECT_TRUE(capture.Contains("C::M: Caught HRESULT at interface -8007000e")) << capture.All();
}

TEST(InterfaceBoundary, ComErrorReportsDescriptionOrSystemMessage)
{
    LogCapture capture;
    std::wstring text;
    EXPECT_EQ(E_POINTER, Boundary([] { _com_issue_error(E_POINTER); }, &text));
    EXPECT_EQ(SystemMessageText(E_POINTER), text);
    auto lines = capture.Matching("C::M: Caught _com_error at interface -80004003, desc= msg=");
    ASSERT_EQ(1u, lines.size()) << capture.All();

    ICreateErrorInfo* create = nullptr;
    ASSERT_EQ(S_OK, CreateErrorInfo(&create));
    create->SetDescription(const_cast<LPOLESTR>(L"described"));
    IErrorInfo* info = nullptr;
    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info));
    create->Release();
    EXPECT_EQ(E_ACCESSDENIED, Boundary([info] { throw _com_error(E_ACCESSDENIED, info); }, &text));
    EXPECT_EQ(L"described", text);
    EXPECT_TRUE(capture.Contains("C::M: Caught _com_error at interface -80070005, desc=described msg="));
    // The component's own COM errors carry the description read when they were raised.
    EXPECT_EQ(E_ACCESSDENIED, Boundary([] { throw hresult_exception::Com(E_ACCESSDENIED, L"own"); }, &text));
    EXPECT_EQ(L"own", text);
    EXPECT_TRUE(capture.Contains("C::M: Caught _com_error at interface -80070005, desc=own msg="));
}

TEST(InterfaceBoundary, AnythingElseIsUnknown)
{
    LogCapture capture;
    std::wstring text;
    EXPECT_EQ(E_FAIL, Boundary([] { throw Unusual(); }, &text));
    EXPECT_EQ(L"Unknown error", text);
    EXPECT_TRUE(capture.Contains("C::M: Caught unknown exception at interface -"));
}

TEST(InterfaceBoundary, NothingIsWrittenWhileErrorLinesAreOff)
{
    LogCapture capture(true, true, false);
    EXPECT_EQ(E_ABORT, Boundary([] { ThrowHr(E_ABORT); }));
    EXPECT_TRUE(capture.Lines().empty()) << capture.All();
}

TEST(InterfaceBoundary, SystemMessageFallbacks)
{
    EXPECT_EQ(L"IDispatch error #1", SystemMessageText(static_cast<HRESULT>(0x80040201)));
    EXPECT_EQ(L"Unknown error 0x8123ABCD", SystemMessageText(static_cast<HRESULT>(0x8123ABCD)));
}

TEST(LongText, PiecesOfAtMost25000BytesInOrder)
{
    std::vector<std::string> pieces;
    auto writer = [&](const std::string& piece, const char* file, int line) {
        EXPECT_STREQ("f.cpp", file);
        EXPECT_EQ(7, line);
        pieces.push_back(piece);
    };
    LogLongText(std::wstring(60000, L'x'), "f.cpp", 7, writer);
    ASSERT_EQ(3u, pieces.size());
    EXPECT_EQ(25000u, pieces[0].size());
    EXPECT_EQ(25000u, pieces[1].size());
    EXPECT_EQ(10000u, pieces[2].size());

    pieces.clear();
    LogLongText(L"", "f.cpp", 7, writer);
    ASSERT_EQ(1u, pieces.size());
    EXPECT_EQ("(empty string)", pieces[0]);
}

TEST(LogLines, WideTextAsUtf8WithAnsiFallback)
{
    EXPECT_EQ("Vertrieb M\xC3\xBCnchen", ToLogText(L"Vertrieb M\u00fcnchen"));
    std::wstring lone(L"a");
    lone.push_back(static_cast<wchar_t>(0xD800));
    EXPECT_EQ(0u, ToLogText(lone).find("utf8_log_failed: "));
}

TEST(LogLines, KindsUseTheirSeverityAndSwitch)
{
    {
        LogCapture capture;
        LS_ERROR_LOG << "an error";
        LS_DIAG_LOG << "a diagnostic";
        LS_PERF_LOG << "|X|PERF|End|";
        auto lines = capture.Lines();
        ASSERT_EQ(3u, lines.size());
        EXPECT_EQ(google::GLOG_ERROR, lines[0].severity);
        EXPECT_EQ(google::GLOG_WARNING, lines[1].severity);
        EXPECT_EQ(google::GLOG_WARNING, lines[2].severity);
        EXPECT_EQ("InterfaceBoundaryTest.cpp", lines[0].file);
    }
    {
        LogCapture capture(false, false, false);
        LS_ERROR_LOG << "an error";
        LS_DIAG_LOG << "a diagnostic";
        LS_PERF_LOG << "perf";
        EXPECT_TRUE(capture.Lines().empty());
    }
}

TEST(LogLines, HexIsLowerCaseWithoutPrefix)
{
    std::ostringstream stream;
    stream << LogHex(static_cast<HRESULT>(0x8007000E)) << " " << 10;
    EXPECT_EQ("8007000e 10", stream.str());
}
