// XML answers: parsed by the platform's DOM, and when that fails, cleaned of
// characters XML forbids and parsed again.
#include "LSBaseWS.h"

#include "CStdStr.h"
#include "LSLog.h"
#include "LogLongText.h"
#include "hresult_exception.h"

#include <cwchar>
#include <ole2.h>
#include <regex>
#include <sstream>

namespace CLSBaseWS {

namespace {

bool IsAllowedXmlChar(wchar_t ch)
{
    if (ch == L'\t' || ch == L'\n' || ch == L'\r')
        return true;
    if (ch < 0x20)
        return false;
    if (ch >= 0xD800 && ch <= 0xDFFF)
        return false;
    return ch != 0xFFFE && ch != 0xFFFF;
}

const std::wregex& NumericReferencePattern()
{
    static const std::wregex pattern(L"&#(\\d+);|&#x([0-9a-f]+);",
                                     std::regex_constants::ECMAScript | std::regex_constants::icase);
    return pattern;
}

int DecimalValue(const std::wstring& digits)
{
    int value = 0;
    if (swscanf(digits.c_str(), L"%d", &value) == EOF)
        ThrowHr(E_INVALIDARG);
    return value;
}

wchar_t ReferencedCode(const std::wsmatch& match)
{
    if (match[2].matched)
        return static_cast<wchar_t>(wcstoul(match.str(2).c_str(), nullptr, 16) & 0xFFFF);
    return static_cast<wchar_t>(DecimalValue(match.str(1)) & 0xFFFF);
}

// Every reference to a forbidden character becomes a line feed; the others
// stay as written. Matches can only begin at "&#", so the pattern is tried
// only there, which keeps large answers fast.
std::wstring ReplaceForbiddenReferences(const std::wstring& text)
{
    std::wstring output;
    output.reserve(text.size());
    size_t copied = 0;
    for (size_t at = text.find(L"&#"); at != std::wstring::npos; at = text.find(L"&#", at))
    {
        std::wsmatch match;
        if (!std::regex_search(text.begin() + at, text.end(), match, NumericReferencePattern(),
                               std::regex_constants::match_continuous))
        {
            at += 2;
            continue;
        }
        output.append(text, copied, at - copied);
        if (IsAllowedXmlChar(ReferencedCode(match)))
            output.append(match[0].first, match[0].second);
        else
            output += L'\n';
        at += static_cast<size_t>(match.length(0));
        copied = at;
    }
    output.append(text, copied, std::wstring::npos);
    return output;
}

IXMLDOMDocument2Ptr NewDocument()
{
    CLSID classId;
    IUnknownPtr object;
    IXMLDOMDocument2Ptr document;
    if (FAILED(CLSIDFromProgID(L"msxml2.DOMDocument", &classId)) ||
        FAILED(CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IUnknown, reinterpret_cast<void**>(&object))) ||
        FAILED(OleRun(object)) ||
        FAILED(object->QueryInterface(IID_IXMLDOMDocument2, reinterpret_cast<void**>(&document))))
        return nullptr;
    return document;
}

bool LoadXml(const IXMLDOMDocument2Ptr& document, const std::wstring& text)
{
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(CStdStr(text).ToBstr(), &loaded);
    return SUCCEEDED(hr) && loaded != VARIANT_FALSE;
}

void LogResponseText(ILSHttpRequest& request)
{
    if (!LSDiag::ErrorEnabled())
        return;
    try
    {
        LS_LOG_LONG_ERROR(CStdStr(request.GetResponseText()));
    }
    catch (...)
    {
        LS_ERROR_LOG << "Response text exception";
    }
}

} // namespace

IXMLDOMDocument2Ptr CreateDOMDocument(const std::wstring& text)
{
    IXMLDOMDocument2Ptr document = NewDocument();
    if (!text.empty())
    {
        if (!document)
            throw _com_error(E_POINTER);
        LoadXml(document, text);
    }
    return document;
}

IXMLDOMDocument2Ptr SanitiseXMLDocument(ILSHttpRequest& request)
{
    const IXMLDOMDocument2Ptr document = request.GetResponseXML();
    if (!document)
        throw _com_error(E_POINTER);
    IXMLDOMParseErrorPtr parseError;
    if (FAILED(document->get_parseError(&parseError)) || !parseError)
    {
        LS_ERROR_LOG << "Failed to parse XML but no parseError found!";
        ThrowHr(E_FAIL);
    }
    long code = 0;
    parseError->get_errorCode(&code);
    if (code == 0)
        return document;

    BSTR reason = nullptr;
    parseError->get_reason(&reason);
    const _bstr_t reasonText(reason, false);
    LS_ERROR_LOG << ToLogText(CStdStr::Format(L"XML parsing error - code %d, reason %ls", static_cast<int>(code),
                                              CStdStr(reasonText).c_str()));
    LogResponseText(request);
    return SanitiseXMLDocument(CStdStr(request.GetResponseText()));
}

IXMLDOMDocument2Ptr SanitiseXMLDocument(const std::wstring& text)
{
    const std::wstring cleaned = CleanXmlText(text);
    const IXMLDOMDocument2Ptr document = CreateDOMDocument(std::wstring());
    if (!document)
        throw _com_error(E_POINTER);
    if (LoadXml(document, cleaned))
        return document;
    LS_ERROR_LOG << "Failed to load sanitised XML";
    LS_LOG_LONG_ERROR(cleaned);
    ThrowHr(E_FAIL);
}

std::wstring CleanXmlText(const std::wstring& text)
{
    std::wstring copy(text);
    for (wchar_t& ch : copy)
        if (!IsAllowedXmlChar(ch))
            ch = L'\n';
    return ReplaceForbiddenReferences(copy);
}

std::wstring decodeFPRpcString(const std::wstring& text)
{
    std::wstring output;
    size_t position = 0;
    for (;;)
    {
        const size_t escape = text.find(L"&#", position);
        if (escape == std::wstring::npos)
            return output.append(text, position, std::wstring::npos);
        output.append(text, position, escape - position);
        const size_t end = text.find(L';', escape + 2);
        if (end == std::wstring::npos)
        {
            LS_ERROR_LOG << "CLSBaseWS::decodeFPRpcString"
                         << "FP RPC returned strange string with incomplete escaped character: " << ToLogText(text);
            return output;
        }
        // Numbers of 128 and more are taken as a UTF-16 code (low 16 bits).
        output += static_cast<wchar_t>(DecimalValue(text.substr(escape + 2, end - escape - 2)) & 0xFFFF);
        position = end + 1;
    }
}

uint64_t GetContentLength(ILSHttpRequest& request)
{
    std::wistringstream stream(CStdStr(request.GetResponseHeader(L"Content-Length")));
    uint64_t length = 0;
    if (!(stream >> length))
        return 0;
    return length;
}

} // namespace CLSBaseWS
