// Every kind of broken answer the simulator can produce ends in the
// documented exception (or a plain success), never in a crash or a hang,
// with the default client (WinHTTP).
#include "TransportTestSupport.h"

#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/xml/LSSafeXml.h"
#include "QuorvalCommon/hresult_exception.h"

#include <gtest/gtest.h>

namespace {

enum class Outcome
{
    Success,     // the exchange returns; the XML may or may not parse
    HttpError,   // LSHttpError with the given status
    Abandoned,   // the platform never completes: the no-answer limit ends it
    Refused,     // the answer's size or length is refused before it is read
    Failed,      // the platform reports the exchange failed (a COM error)
    RefusedXml,  // the exchange succeeds; its XML is refused before parsing
};

struct MalformedCase
{
    const char* name;
    const char* script;
    Outcome outcome;
    uint32_t status;
};

class LSBaseWSMalformedAnswerTest : public SimulatorTest, public testing::WithParamInterface<MalformedCase>
{
};

TEST_P(LSBaseWSMalformedAnswerTest, EndsInTheDocumentedWay)
{
    const MalformedCase& c = GetParam();
    EwsSimClient::Script(c.script);
    // Reads of the clock advance it, so an answer that never comes meets the
    // no-answer limit after some hundreds of (short) steps of the wait, a
    // second or two; retries and health-score waits are virtual too. An answer
    // that does come gets finer steps: a large body keeps the wait busy for
    // seconds on a loaded machine, and must not be given up for it.
    VirtualClock clock(c.outcome == Outcome::Abandoned ? 100 : 20);
    try
    {
        ILSHttpRequestPtr request = Exchange();
        EXPECT_TRUE(c.outcome == Outcome::Success || c.outcome == Outcome::RefusedXml) << "the exchange succeeded";
        try
        {
            const IXMLDOMDocument2Ptr document = CLSBaseWS::SanitiseXMLDocument(*request);
            EXPECT_EQ(Outcome::Success, c.outcome) << "the XML was read";
            EXPECT_TRUE(document);
        }
        catch (const LSSafeXml::Refused& refused)
        {
            EXPECT_EQ(Outcome::RefusedXml, c.outcome) << refused.what();
        }
        catch (const hresult_exception& failure)
        {
            if (failure.shape() != hresult_exception::Shape::Bare)
                throw;
            EXPECT_EQ(E_FAIL, failure.hr());
        }
    }
    catch (const LSHttpError& error)
    {
        EXPECT_EQ(Outcome::HttpError, c.outcome) << "LSHttpError " << error.Status();
        EXPECT_EQ(c.status, error.Status());
    }
    catch (const hresult_exception& error)
    {
        if (error.shape() == hresult_exception::Shape::Com)
        {
            const Outcome outcome = error.hr() == HRESULT_FROM_WIN32(12002) ? Outcome::Abandoned : Outcome::Failed;
            EXPECT_EQ(c.outcome, outcome) << std::hex << error.hr();
            return;
        }
        EXPECT_EQ(Outcome::Refused, c.outcome) << error.what();
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), error.hr());
    }
}

const MalformedCase MalformedCases[] = {
    {"LongerContentLengthThanBody", R"({"status": 200, "headers": {"Content-Length": "1000"}, "body": "<r>cut"})",
     Outcome::Refused, 0},
    {"ShorterContentLengthThanBody", R"({"status": 200, "headers": {"Content-Length": "3"}, "body": "<r>more</r>"})",
     Outcome::Refused, 0},
    {"NoContentLength", R"({"status": 200, "headers": {"Content-Length": null}, "body": "<r/>"})", Outcome::Success,
     0},
    {"NonNumericContentLength", R"({"status": 200, "headers": {"Content-Length": "lots"}, "body": "<r/>"})",
     Outcome::Success, 0},
    {"ChunkedHeaderOverPlainBody", R"({"status": 200, "headers": {"Transfer-Encoding": "chunked"}, "body": "<r/>"})",
     Outcome::Success, 0},
    {"BrokenGzip", R"({"status": 200, "headers": {"Content-Encoding": "gzip"}, "body": "<r/>"})", Outcome::Success,
     0},
    {"GarbageXml", R"({"status": 200, "body": "<a><b></a>"})", Outcome::Success, 0},
    {"BinaryBody", R"({"status": 200, "bodyBase64": "AAECAwQFBgcICf/+/fw="})", Outcome::Success, 0},
    {"HugeBody", R"({"status": 200, "bodyRepeat": {"text": "<r>0123456789abcdef</r>", "count": 200000}})",
     Outcome::Success, 0},
    {"HugeFault", R"({"status": 500, "bodyRepeat": {"text": "garbage ", "count": 500000}})", Outcome::HttpError,
     500},
    {"TruncatedFault",
     R"({"status": 500, "headers": {"Content-Length": "5000"}, "body": "<s:Envelope><s:Body><faultstring>cut"})",
     Outcome::Refused, 0},
    {"ThrottlingThatClosesTheConnection", R"({"status": 503, "headers": {"Connection": "close"}, "times": 5})",
     Outcome::HttpError, 503},
    {"RetryAfterNotANumber", R"({"status": 503, "headers": {"Retry-After": "soon"}, "times": 5})",
     Outcome::HttpError, 503},
    {"RetryAfterHuge", R"({"status": 429, "headers": {"Retry-After": "4294967296"}, "times": 5})",
     Outcome::HttpError, 429},
    {"HealthScoreNotANumber",
     R"({"status": 200, "headers": {"X-SharePointHealthScore": "high"}, "body": "<r/>"})", Outcome::Success, 0},
    {"HealthScoreHuge",
     R"({"status": 200, "headers": {"X-SharePointHealthScore": "99999999999"}, "body": "<r/>"})",
     Outcome::Success, 0},
    {"HealthScoreNegative", R"({"status": 200, "headers": {"X-SharePointHealthScore": "-3"}, "body": "<r/>"})",
     Outcome::Success, 0},
    {"HealthScoreFraction", R"({"status": 200, "headers": {"X-SharePointHealthScore": "9.9"}, "body": "<r/>"})",
     Outcome::Success, 0},
    {"StatusNotModified", R"({"status": 304})", Outcome::HttpError, 304},
    {"StatusBelow200", R"({"status": 199, "body": "x"})", Outcome::HttpError, 199},
    {"StatusUnknown", R"({"status": 999, "reason": "", "body": "x"})", Outcome::HttpError, 999},
    {"InformationalOnly", R"({"status": 100})", Outcome::Failed, 0},
    {"SwitchingProtocols", R"({"status": 101})", Outcome::HttpError, 101},
    {"EmptyStatusText", R"({"status": 502, "reason": "", "body": ""})", Outcome::HttpError, 502},
    {"LongDavError", R"({"status": 409, "headers": {"X-MSDAVEXT_Error": "%41%42%43)" "%20long%20text%20"
                     R"(%20long%20text%20%20long%20text%20%20long%20text%20%20long%20text%20"}})",
     Outcome::HttpError, 409},
    {"JsonWithoutJsonContentType", R"({"status": 400, "body": "{\"error\": 1}"})", Outcome::HttpError, 400},
    {"DeclaredLengthAboveTheLimit",
     R"({"status": 200, "headers": {"Content-Length": "33554433"}, "body": "<r/>"})", Outcome::Refused, 0},
    {"BodyAboveTheLimitWithoutALength",
     R"({"status": 200, "headers": {"Content-Length": null}, "bodyRepeat": {"text": "<r>0123456789abcdef</r>",)"
     R"( "count": 1460000}})", Outcome::Refused, 0},
    {"Redirect", R"({"status": 302, "headers": {"Location": "http://127.0.0.1:9/elsewhere"}})", Outcome::HttpError,
     302},
    {"DoctypeOnSuccess", R"({"status": 200, "body": "<!DOCTYPE r [<!ENTITY x 'y'>]><r>&x;</r>"})",
     Outcome::RefusedXml, 0},
    {"DoctypeInUtf16",
     R"({"status": 200, "bodyBase64": "//48ACEARABPAEMAVABZAFAARQAgAHIAIABbADwAIQBFAE4AVABJAFQAWQAgAHgAIAAnAHkAJwA+)"
     R"(AF0APgA8AHIAPgAmAHgAOwA8AC8AcgA+AA=="})", Outcome::RefusedXml, 0},
    // A failed answer refused as XML still fails with its status.
    {"FaultWithDoctype", R"({"status": 500, "body": "<!DOCTYPE html><html><body>Server Error</body></html>"})",
     Outcome::HttpError, 500},
    {"JsonContentTypeOnSuccess",
     R"({"status": 200, "headers": {"Content-Type": "application/json"}, "body": "{\"value\": []}"})",
     Outcome::Success, 0},
};

INSTANTIATE_TEST_SUITE_P(Answers, LSBaseWSMalformedAnswerTest, testing::ValuesIn(MalformedCases),
                         [](const testing::TestParamInfo<MalformedCase>& info) { return info.param.name; });

} // namespace
