#include "KOVACommon/xml/LSXmlDocument.h"

#include "KOVACommon/xml/LSSafeXml.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSHexDigit.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LogLongText.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <ole2.h>

namespace LSXmlDocument {

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

bool IsDecimalDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

bool IsHexDigit(wchar_t ch)
{
    return HexDigitValue(ch) >= 0;
}

size_t SkipWhile(const std::wstring& text, size_t at, bool (*accept)(wchar_t))
{
    while (at < text.size() && accept(text[at]))
        ++at;
    return at;
}

struct NumericReference
{
    size_t length = 0;
    wchar_t code = 0;
};

// Digits short enough that their value cannot overflow are summed here; longer
// runs go through the library conversions, which define the overflow.
constexpr size_t LongestInlineDecimal = 9;
constexpr size_t LongestInlineHex = 8;

wchar_t DecimalCode(const std::wstring& text, size_t start, size_t end)
{
    if (end - start > LongestInlineDecimal)
        return static_cast<wchar_t>(ReadDecimal(text.substr(start, end - start)) & 0xFFFF);
    uint32_t value = 0;
    for (size_t i = start; i < end; ++i)
        value = value * 10 + static_cast<uint32_t>(text[i] - L'0');
    return static_cast<wchar_t>(value & 0xFFFF);
}

wchar_t HexCode(const std::wstring& text, size_t start, size_t end)
{
    if (end - start > LongestInlineHex)
        return static_cast<wchar_t>(wcstoul(text.substr(start, end - start).c_str(), nullptr, 16) & 0xFFFF);
    uint32_t value = 0;
    for (size_t i = start; i < end; ++i)
        value = value * 16 + static_cast<uint32_t>(HexDigitValue(text[i]));
    return static_cast<wchar_t>(value & 0xFFFF);
}

// "&#digits;" or "&#xhex;" (x in either case) at the position; a hand-written
// matcher because a regular expression per reference made large answers crawl.
bool MatchNumericReference(const std::wstring& text, size_t at, NumericReference& reference)
{
    const size_t start = at + 2;
    const size_t decimalEnd = SkipWhile(text, start, IsDecimalDigit);
    if (decimalEnd > start && decimalEnd < text.size() && text[decimalEnd] == L';')
    {
        reference.code = DecimalCode(text, start, decimalEnd);
        reference.length = decimalEnd + 1 - at;
        return true;
    }
    if (start >= text.size() || (text[start] != L'x' && text[start] != L'X'))
        return false;
    const size_t hexEnd = SkipWhile(text, start + 1, IsHexDigit);
    if (hexEnd == start + 1 || hexEnd >= text.size() || text[hexEnd] != L';')
        return false;
    reference.code = HexCode(text, start + 1, hexEnd);
    reference.length = hexEnd + 1 - at;
    return true;
}

bool StartsReference(const std::wstring& text, size_t at)
{
    return text[at] == L'&' && at + 1 < text.size() && text[at + 1] == L'#';
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
    LSSafeXml::Harden(document);
    return document;
}

bool LoadXml(const IXMLDOMDocument2Ptr& document, const std::wstring& text)
{
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->loadXML(CStdStr(text).ToBstr(), &loaded);
    return SUCCEEDED(hr) && loaded != VARIANT_FALSE;
}

} // namespace

IXMLDOMDocument2Ptr CreateDOMDocument(const std::wstring& text)
{
    IXMLDOMDocument2Ptr document = NewDocument();
    if (!text.empty())
    {
        if (!document)
            throw hresult_exception::Com(E_POINTER);
        LSSafeXml::RefuseUnsafeMarkup(text);
        LoadXml(document, text);
    }
    return document;
}

IXMLDOMDocument2Ptr SanitiseXMLDocument(const std::wstring& text)
{
    const std::wstring cleaned = CleanXmlText(text);
    LSSafeXml::RefuseUnsafeMarkup(cleaned);
    const IXMLDOMDocument2Ptr document = CreateDOMDocument(std::wstring());
    if (!document)
        throw hresult_exception::Com(E_POINTER);
    if (LoadXml(document, cleaned))
        return document;
    LS_ERROR_LOG << "Failed to load sanitised XML";
    LS_LOG_LONG_ERROR(cleaned);
    ThrowHr(E_FAIL);
}

// One pass: forbidden characters and references to forbidden characters
// become line feeds, everything else stays as written. The answer is never
// longer afterwards, so the output is written into place.
std::wstring CleanXmlText(const std::wstring& text)
{
    std::wstring output(text.size(), L'\0');
    wchar_t* out = &output[0];
    const wchar_t* const in = text.data();
    for (size_t at = 0; at < text.size();)
    {
        // Most of an answer: allowed characters that cannot begin a reference.
        const wchar_t plain = in[at];
        if (plain >= 0x20 && plain < 0xD800 && plain != L'&')
        {
            *out++ = plain;
            ++at;
            continue;
        }
        NumericReference reference;
        if (!StartsReference(text, at))
        {
            const wchar_t ch = text[at++];
            *out++ = IsAllowedXmlChar(ch) ? ch : L'\n';
        }
        else if (!MatchNumericReference(text, at, reference))
        {
            *out++ = text[at++];
            *out++ = text[at++];
        }
        else
        {
            if (IsAllowedXmlChar(reference.code))
                out = std::copy(text.begin() + at, text.begin() + at + reference.length, out);
            else
                *out++ = L'\n';
            at += reference.length;
        }
    }
    output.resize(static_cast<size_t>(out - output.data()));
    return output;
}

} // namespace LSXmlDocument
