// XML answers: cleaning, the sanitising parse, reading nodes and the response
// size; the MSXML identifiers the component defines.
#include "TransportTestSupport.h"

#include "KOVACommon/http/LSAnswerCheck.h"
#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/xml/LSSafeXml.h"
#include "KOVACommon/xml/LSXmlDocument.h"
#include "KOVACommon/xml/LSXmlNodes.h"
#include "KOVACommon/xml/MsxmlPtrs.h"
#include "LogCapture.h"
#include "QuorvalCommon/CStdStr.h"

#include <gtest/gtest.h>

namespace {

std::wstring RootText(const IXMLDOMDocument2Ptr& document)
{
    IXMLDOMElementPtr root;
    EXPECT_EQ(S_OK, document->get_documentElement(&root));
    BSTR text = nullptr;
    root->get_text(&text);
    return std::wstring(CStdStr(_bstr_t(text, false)));
}

TEST(CleanXmlText, ForbiddenCharactersAndReferencesToThemBecomeLineFeeds)
{
    EXPECT_EQ(L"a\nb\nc", LSXmlDocument::CleanXmlText(L"a\x0001" L"b&#1;c"));
    EXPECT_EQ(L"&#65;&#x41;&#X41;", LSXmlDocument::CleanXmlText(L"&#65;&#x41;&#X41;"));
    EXPECT_EQ(L"x\ny\nz", LSXmlDocument::CleanXmlText(L"x&#X1F;y&#x1f;z"));
    EXPECT_EQ(L"\n\n!", LSXmlDocument::CleanXmlText(L"\U0001F600!"));
    EXPECT_EQ(L"\t\r\n ok", LSXmlDocument::CleanXmlText(L"\t\r\n ok"));
    EXPECT_EQ(L"\n\n\n", LSXmlDocument::CleanXmlText(L"\xFFFE\xFFFF\xD800"));
    EXPECT_EQ(L"\n\n\n", LSXmlDocument::CleanXmlText(L"&#xFFFE;&#65535;&#xD83D;"));
    // Codes are taken in their low 16 bits.
    EXPECT_EQ(L"\n&#65601;", LSXmlDocument::CleanXmlText(L"&#65537;&#65601;"));
    // Long digit runs: leading zeros count for nothing, a hexadecimal overflow saturates.
    EXPECT_EQ(L"&#0000000065;&#x00000000041;\n\n",
              LSXmlDocument::CleanXmlText(L"&#0000000065;&#x00000000041;&#00000000001;&#x10000000FFFF;"));
    EXPECT_EQ(L"&#; &# 1; &#x; &amp; &#12", LSXmlDocument::CleanXmlText(L"&#; &# 1; &#x; &amp; &#12"));
    EXPECT_EQ(L"", LSXmlDocument::CleanXmlText(L""));
}

TEST(CleanXmlText, OnlyCompleteReferencesAreRecognised)
{
    EXPECT_EQ(L"&#12x; &#x1g; &#x&#65; &#xAb;", LSXmlDocument::CleanXmlText(L"&#12x; &#x1g; &#x&#65; &#xAb;"));
    EXPECT_EQ(L"\n\n&#xd;&#x9;&#\n", LSXmlDocument::CleanXmlText(L"&#0011;&#X0b;&#xd;&#x9;&#&#8;"));
    EXPECT_EQ(L"&&\n;", LSXmlDocument::CleanXmlText(L"&&&#2;;"));
}

TEST(SanitiseXMLDocument, CleanedTextLoads)
{
    const IXMLDOMDocument2Ptr document = LSXmlDocument::SanitiseXMLDocument(L"<r>a\x0001" L"b&#1;c&#65;</r>");
    ASSERT_TRUE(document);
    EXPECT_EQ(L"a\nb\ncA", RootText(document));
}

TEST(SanitiseXMLDocument, TextThatStaysBrokenFailsWithTheCleanedTextLogged)
{
    LogCapture capture;
    EXPECT_EQ(E_FAIL, BareHresultOf([] { LSXmlDocument::SanitiseXMLDocument(L"<r>\x0002unclosed"); }));
    EXPECT_TRUE(capture.Contains("Failed to load sanitised XML")) << capture.All();
    EXPECT_TRUE(capture.Contains("<r>\nunclosed"));
    EXPECT_EQ(E_FAIL, BareHresultOf([] { LSXmlDocument::SanitiseXMLDocument(L""); }));
}

TEST(CreateDOMDocument, LoadsTextAndIgnoresAFailedLoad)
{
    IXMLDOMDocument2Ptr document = LSXmlDocument::CreateDOMDocument(L"<r>t</r>");
    ASSERT_TRUE(document);
    EXPECT_EQ(L"t", RootText(document));
    document = LSXmlDocument::CreateDOMDocument(L"<<<");
    ASSERT_TRUE(document);
    IXMLDOMParseErrorPtr parseError;
    document->get_parseError(&parseError);
    long code = 0;
    parseError->get_errorCode(&code);
    EXPECT_NE(0, code);
    EXPECT_TRUE(LSXmlDocument::CreateDOMDocument(L""));
    // Set up for untrusted text before anything is loaded.
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(S_OK, document->get_resolveExternals(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_EQ(S_OK, document->get_validateOnParse(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_EQ(S_OK, document->get_async(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
}

// What is refused before any parser sees it, and what is not. Markup inside
// quotes, comments and CDATA sections counts for nothing.
TEST(LSSafeXml, DtdsProcessingInstructionsAndCostlyShapesAreRefusedBeforeParsing)
{
    const auto repeated = [](const std::wstring& text, int count) {
        std::wstring all;
        for (int i = 0; i < count; ++i)
            all += CStdStr::Format(text.c_str(), i);
        return all;
    };
    const std::pair<std::wstring, const char*> rows[] = {
        {L"<?xml version='1.0'?><r/>", nullptr},
        {L"\xFEFF<?xml version='1.0' encoding='utf-8'?>\r\n<r/>", nullptr},
        {L"<r>&lt;!DOCTYPE &lt;? x</r>", nullptr},
        {L"<!DOCTYPE r [<!ENTITY x 'y'>]><r>&x;</r>", "a document type declaration (<!DOCTYPE)"},
        {L"<r/><!doctype r>", "a document type declaration (<!DOCTYPE)"},
        {L"<r><!-- <!DOCTYPE --></r>", "a document type declaration (<!DOCTYPE)"},
        {L"<?xml-stylesheet href='x'?><r/>", "a processing instruction other than the XML declaration"},
        {L"<?xml version='1.0'?><r><?pi?></r>", "a processing instruction other than the XML declaration"},
        {L" <?xml version='1.0'?><r/>", "a processing instruction other than the XML declaration"},
        {L"<r " + repeated(L" a%d=''", 64) + L"/>", nullptr},
        {L"<r " + repeated(L" a%d=''", 65) + L"/>", "an element with more than 64 attributes"},
        {L"<r x='>' " + repeated(L" a%d=\"=\"", 65) + L"/>", "an element with more than 64 attributes"},
        {L"<r><![CDATA[<x " + repeated(L" a%d=''", 65) + L">]]><!-- <x " + repeated(L" a%d=''", 65) + L"> --></r>",
         nullptr},
        {L"<r>" + repeated(L"<x xmlns:p%d='u'/>", 100) + L"</r>", nullptr},
        {repeated(L"<x%d xmlns:p='u'>", 65), "more than 64 namespace declarations in force"},
        {L"<r>" + repeated(L"<b/>", 1000001) + L"</r>", "more than 1000000 elements"},
    };
    for (const auto& [text, refusal] : rows)
    {
        LogCapture capture;
        HRESULT hr = S_OK;
        try
        {
            LSSafeXml::RefuseUnsafeMarkup(text);
        }
        catch (const LSSafeXml::Refused& refused)
        {
            hr = refused.hr();
        }
        EXPECT_EQ(refusal ? HRESULT_FROM_WIN32(ERROR_INVALID_DATA) : S_OK, hr) << Utf8(text.substr(0, 80));
        if (refusal)
        {
            EXPECT_TRUE(capture.Contains(std::string("XML answer refused: it holds ") + refusal)) << capture.All();
        }
    }
}

// Nothing found is no failure: a missing node reads as nothing.
TEST(LSXmlNodes, ElementsAreFoundByNamespaceOrLocalNameAndMissingNodesReadAsNothing)
{
    const IXMLDOMDocument2Ptr document = LSXmlDocument::CreateDOMDocument(
        L"<a:r xmlns:a='urn:a'><a:Code> ErrorServerBusy </a:Code><Value Name='BackOffMilliseconds'>1500</Value>"
        L"<b:Code xmlns:b='urn:b'>second</b:Code></a:r>");
    ASSERT_TRUE(document);
    EXPECT_FALSE(LSXmlNodes::SelectSingle(document, L"//Absent"));
    EXPECT_EQ(L"", LSXmlNodes::TextOf(nullptr));

    const std::vector<IXMLDOMElementPtr> codes = LSXmlNodes::ElementsNamed(document, L"Code");
    ASSERT_EQ(2u, codes.size()); // whatever the prefix
    EXPECT_EQ(L"ErrorServerBusy", LSXmlNodes::TextOf(codes[0]));
    EXPECT_EQ(L"second", LSXmlNodes::TextOf(codes[1]));
    EXPECT_EQ(1u, LSXmlNodes::ElementsNamed(document, L"Code", 1).size());
    EXPECT_TRUE(LSXmlNodes::ElementsNamed(document, L"a:Code").empty());

    const IXMLDOMNodePtr value = LSXmlNodes::SelectSingle(document, L"//Value");
    ASSERT_TRUE(value);
    EXPECT_EQ(L"Value", LSXmlNodes::LocalName(value));
    EXPECT_EQ(L"BackOffMilliseconds", LSXmlNodes::AttributeText(value, L"Name"));
    EXPECT_EQ(L"", LSXmlNodes::AttributeText(value, L"Missing"));
    EXPECT_EQ(L"", LSXmlNodes::AttributeText(document, L"Name")); // no element

    // By namespace and local name: the prefix plays no part, the namespace does.
    const IXMLDOMNodePtr second = LSXmlNodes::FirstDescendant(document, L"urn:b", L"Code");
    EXPECT_EQ(L"second", LSXmlNodes::TextOf(second));
    EXPECT_FALSE(LSXmlNodes::FirstDescendant(document, L"urn:b", L"b:Code"));
    EXPECT_FALSE(LSXmlNodes::FirstDescendant(document, L"", L"Code"));
    IXMLDOMElementPtr root;
    ASSERT_EQ(S_OK, document->get_documentElement(&root));
    EXPECT_TRUE(LSXmlNodes::IsElement(root, L"urn:a", L"r"));
    EXPECT_EQ(3u, LSXmlNodes::ChildElements(root).size());
    EXPECT_EQ(L"ErrorServerBusy", LSXmlNodes::TextOf(LSXmlNodes::ChildElement(root, L"urn:a", L"Code")));
    EXPECT_EQ(L"1500", LSXmlNodes::TextOf(LSXmlNodes::ChildElement(root, L"", L"Value")));
    EXPECT_FALSE(LSXmlNodes::ChildElement(nullptr, L"urn:a", L"Code"));
}

TEST(MsxmlIdentifiers, EveryInterfaceTheComponentAsksForIsServedUnderWine)
{
    IXMLDOMDocument2Ptr document = LSXmlDocument::CreateDOMDocument(L"<r><c/></r>");
    ASSERT_TRUE(document);
    IUnknown* unknown = document;
    for (const IID* iid : {&IID_IXMLDOMDocument, &IID_IXMLDOMDocument2, &IID_IXMLDOMNode})
    {
        IUnknown* answer = nullptr;
        EXPECT_EQ(S_OK, unknown->QueryInterface(*iid, reinterpret_cast<void**>(&answer)));
        if (answer)
            answer->Release();
    }
    IXMLDOMParseErrorPtr parseError;
    EXPECT_EQ(S_OK, document->get_parseError(&parseError));
    IUnknown* parseErrorAnswer = nullptr;
    EXPECT_EQ(S_OK, parseError->QueryInterface(IID_IXMLDOMParseError, reinterpret_cast<void**>(&parseErrorAnswer)));
    if (parseErrorAnswer)
        parseErrorAnswer->Release();
    IXMLDOMNodeListPtr nodes;
    EXPECT_EQ(S_OK, document->selectNodes(_bstr_t(L"//c"), &nodes));
    IXMLDOMElementPtr root;
    EXPECT_EQ(S_OK, document->get_documentElement(&root));

    CLSID classId;
    ASSERT_EQ(S_OK, CLSIDFromProgID(L"msxml2.XMLHTTP", &classId));
    IXMLHTTPRequestPtr request;
    EXPECT_EQ(S_OK, CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IXMLHTTPRequest,
                                     reinterpret_cast<void**>(&request)));
}

class LSBaseWSXmlTest : public SimulatorTest
{
};

TEST_F(LSBaseWSXmlTest, WellFormedAnswerIsThePlatformsOwnDocument)
{
    EwsSimClient::Script(R"({"status": 200, "body": "<r>fine</r>"})");
    ILSHttpRequestPtr request = Exchange();
    LogCapture capture;
    const IXMLDOMDocument2Ptr document = CLSBaseWS::SanitiseXMLDocument(*request);
    EXPECT_EQ(L"fine", RootText(document));
    EXPECT_FALSE(capture.Contains("XML parsing error")) << capture.All();
}

TEST_F(LSBaseWSXmlTest, AnswerWithForbiddenCharactersParsesAfterCleaning)
{
    EwsSimClient::Script(R"({"status": 200, "headers": {"Content-Type": "text/xml; charset=utf-8"},
                             "body": "<r>one\u0001two&#1;three&#65;</r>"})");
    ILSHttpRequestPtr request = Exchange();
    LogCapture capture;
    const IXMLDOMDocument2Ptr document = CLSBaseWS::SanitiseXMLDocument(*request);
    EXPECT_EQ(L"one\ntwo\nthreeA", RootText(document));
    EXPECT_TRUE(capture.Contains("XML parsing error - code ")) << capture.All();
    // The answer as received goes to the error log.
    EXPECT_TRUE(capture.Contains("<r>one\x01two&#1;three&#65;</r>"));
}

TEST_F(LSBaseWSXmlTest, GarbageAnswerFailsAfterTheSecondParse)
{
    for (const char* script : {R"({"status": 200, "body": "<<<garbage"})", R"({"status": 200, "body": ""})",
                               R"({"status": 200, "bodyBase64": "/////wAAgICA"})"})
    {
        EwsSimClient::Script(script);
        ILSHttpRequestPtr request = Exchange();
        LogCapture capture;
        EXPECT_EQ(E_FAIL, BareHresultOf([&] { CLSBaseWS::SanitiseXMLDocument(*request); })) << script;
        EXPECT_TRUE(capture.Contains("Failed to load sanitised XML")) << capture.All();
    }
}

// The text checked is the text parsed: read by its byte-order mark, by its
// first character (UTF-16), or by the encoding its declaration names.
TEST_F(LSBaseWSXmlTest, AnAnswerIsReadInItsOwnEncoding)
{
    const std::pair<const char*, const wchar_t*> rows[] = {
        {"PD94bWwgdmVyc2lvbj0nMS4wJyBlbmNvZGluZz0nSVNPLTg4NTktMSc/PjxyPuk8L3I+", L"\u00e9"},
        {"//48AHIAPgDpAOVlPAAvAHIAPgA=", L"\u00e9\u65e5"},
        {"PAByAD4A6QDlZTwALwByAD4A", L"\u00e9\u65e5"},
    };
    for (const wchar_t* client : {L"WinHTTP", L"XMLHTTP"})
        for (const auto& [base64, text] : rows)
        {
            HttpClientOverride choice(client);
            EwsSimClient::Script(std::string(R"({"status": 200, "bodyBase64": ")") + base64 + "\"}");
            ILSHttpRequestPtr request = Exchange();
            EXPECT_EQ(text, RootText(CLSBaseWS::SanitiseXMLDocument(*request))) << base64 << Utf8(client);
        }
}

TEST_F(LSBaseWSXmlTest, InvalidUtf8InAnOtherwiseGoodAnswerStillGivesADocument)
{
    // A lone surrogate's bytes: the platform decodes them somehow, never fatally.
    EwsSimClient::Script(R"({"status": 200, "body": "<r>\ud800</r>"})");
    ILSHttpRequestPtr request = Exchange();
    EXPECT_TRUE(CLSBaseWS::SanitiseXMLDocument(*request));
}

TEST_F(LSBaseWSXmlTest, ContentLengthIsTheAnswersSize)
{
    EwsSimClient::Script(R"({"status": 200, "body": "<r>12345</r>"})");
    ILSHttpRequestPtr request = Exchange();
    EXPECT_EQ(12u, LSAnswerCheck::GetContentLength(*request));

    EwsSimClient::Script(R"({"status": 200, "headers": {"Content-Length": null}, "body": "<r/>"})");
    request = Exchange();
    EXPECT_EQ(0u, LSAnswerCheck::GetContentLength(*request));

    EwsSimClient::Script(R"({"status": 200, "headers": {"Content-Length": "many"}, "body": "<r/>"})");
    request = Exchange();
    EXPECT_EQ(0u, LSAnswerCheck::GetContentLength(*request));
}

TEST(LSHttpError, StringFormIsStatusTabMessage)
{
    const LSHttpError error(404, L"x", L"{json}", 30);
    EXPECT_EQ(L"404\tx", error.ToString());
    const LSHttpError read = LSHttpError::FromString(L"503\tBusy\tnow");
    EXPECT_EQ(503u, read.Status());
    EXPECT_EQ(L"Busy\tnow", read.Message());
    EXPECT_EQ(0u, read.RetryAfter());
    EXPECT_TRUE(read.JsonBody().empty());
    const LSHttpError copy = error;
    EXPECT_EQ(L"{json}", copy.JsonBody());
    EXPECT_EQ(30u, copy.RetryAfter());
}

TEST(LSHttpError, ReadingATextWithoutTabOrStatusFails)
{
    LogCapture capture;
    EXPECT_EQ(E_INVALIDARG, BareHresultOf([] { LSHttpError::FromString(L"404 x"); }));
    EXPECT_TRUE(capture.Contains("Failed to create HttpError from string - 404 x")) << capture.All();
    EXPECT_EQ(E_INVALIDARG, BareHresultOf([] { LSHttpError::FromString(L"\tx"); }));
    EXPECT_EQ(E_INVALIDARG, BareHresultOf([] { LSHttpError::FromString(L"  \tx"); }));
    EXPECT_EQ(0u, LSHttpError::FromString(L"abc\tx").Status());
}

} // namespace
