#include "KOVACommon/xml/LSSafeXml.h"

#include "QuorvalCommon/LSLog.h"

#include <atomic>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>

namespace LSSafeXml {

namespace {

// libxml2's own limit, and MSXML 6.0's default.
constexpr long MostElementDepth = 256;

struct ParserProperty
{
    const wchar_t* name;
    _variant_t value;
};

// What MSXML calls an unknown or unsupported property.
bool IsUnsupported(HRESULT hr)
{
    return hr == E_FAIL || hr == E_INVALIDARG || hr == E_NOTIMPL;
}

void WarnOnceUnsupported(size_t index, const wchar_t* name, HRESULT hr)
{
    static std::atomic<unsigned> warned{0};
    const unsigned bit = 1u << index;
    if (warned.fetch_or(bit) & bit)
        return;
    LS_WARNING_LOG << "The platform's XML parser does not take the property " << ToLogText(name) << " ("
                   << LogHex(hr) << "); answers are checked before parsing instead";
}

void SetProperties(IXMLDOMDocument2* document)
{
    const ParserProperty properties[] = {
        {L"ProhibitDTD", _variant_t(true)},
        {L"AllowDocumentFunction", _variant_t(false)},
        {L"MaxElementDepth", _variant_t(MostElementDepth)},
        {L"MaxXMLSize", _variant_t(MostXmlKilobytes)},
    };
    for (size_t i = 0; i < std::size(properties); ++i)
    {
        const HRESULT hr = document->setProperty(_bstr_t(properties[i].name), properties[i].value);
        if (SUCCEEDED(hr))
            continue;
        if (!IsUnsupported(hr))
            ThrowIfFailedCom(hr, document, IID_IXMLDOMDocument2);
        WarnOnceUnsupported(i, properties[i].name, hr);
    }
}

[[noreturn]] void Refuse(const std::string& what)
{
    LS_ERROR_LOG << "XML answer refused: it holds " << what << ", which no web-service answer carries";
    throw Refused(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "XML answer refused: it holds " + what);
}

// "<!DOCTYPE" in any case; XML knows only the upper-case keyword, but a
// parser need not be strict about it.
bool HoldsDoctype(const std::wstring& text)
{
    static const wchar_t Keyword[] = L"DOCTYPE";
    constexpr size_t KeywordLength = std::size(Keyword) - 1;
    for (size_t at = text.find(L"<!"); at != std::wstring::npos; at = text.find(L"<!", at + 2))
    {
        size_t matched = 0;
        while (matched < KeywordLength && at + 2 + matched < text.size() &&
               static_cast<wchar_t>(std::towupper(text[at + 2 + matched])) == Keyword[matched])
            ++matched;
        if (matched == KeywordLength)
            return true;
    }
    return false;
}

// Where the XML declaration ends, or 0 when the text does not start with one.
size_t DeclarationEnd(const std::wstring& text)
{
    const size_t start = !text.empty() && text[0] == 0xFEFF ? 1 : 0;
    if (text.compare(start, 5, L"<?xml") != 0 || start + 5 >= text.size() || !std::iswspace(text[start + 5]))
        return 0;
    const size_t end = text.find(L"?>", start);
    return end == std::wstring::npos ? 0 : end + 2;
}

// The shape of a text that decides how long a parser works on it: parsers
// compare each attribute with the others of its element and look each
// prefix up among the namespace declarations in force, one by one (an
// element with 20,000 attributes took Wine's parser 4.6 s, and the time
// grows with the square). Far above any web-service answer: the largest
// listing asked for holds 1,000 groups of some tens of elements.
constexpr size_t MostElements = 1000000;
constexpr size_t MostAttributesPerElement = 64;
constexpr size_t MostNamespacesInForce = 64;

class ShapeScan
{
public:
    explicit ShapeScan(const std::wstring& text) : m_text(text) {}

    void Run(size_t at)
    {
        while ((at = m_text.find(L'<', at)) != std::wstring::npos)
            at = Markup(at);
    }

private:
    size_t Past(const wchar_t* end, size_t at) const
    {
        const size_t found = m_text.find(end, at);
        return found == std::wstring::npos ? m_text.size() : found + std::char_traits<wchar_t>::length(end);
    }

    size_t Markup(size_t at)
    {
        if (m_text.compare(at, 4, L"<!--") == 0)
            return Past(L"-->", at + 4);
        if (m_text.compare(at, 9, L"<![CDATA[") == 0)
            return Past(L"]]>", at + 9);
        if (at + 1 < m_text.size() && m_text[at + 1] == L'/')
        {
            EndElement();
            return Past(L">", at + 2);
        }
        if (at + 1 < m_text.size() && (m_text[at + 1] == L'!' || m_text[at + 1] == L'?'))
            return at + 2;
        return StartTag(at + 1);
    }

    // To the tag's '>' outside quotes: a quoted value may hold '>'.
    size_t StartTag(size_t at)
    {
        if (++m_elements > MostElements)
            Refuse("more than " + std::to_string(MostElements) + " elements");
        size_t attributes = 0;
        size_t namespaces = 0;
        wchar_t quote = 0;
        for (; at < m_text.size(); ++at)
        {
            const wchar_t ch = m_text[at];
            if (quote)
                quote = ch == quote ? 0 : quote;
            else if (ch == L'"' || ch == L'\'')
                quote = ch;
            else if (ch == L'=')
                ++attributes;
            else if (std::iswspace(ch) && m_text.compare(at + 1, 5, L"xmlns") == 0)
                ++namespaces;
            else if (ch == L'>')
                break;
        }
        if (attributes > MostAttributesPerElement)
            Refuse("an element with more than " + std::to_string(MostAttributesPerElement) + " attributes");
        const bool empty = at < m_text.size() && m_text[at - 1] == L'/';
        if (!empty)
            StartElement(namespaces);
        return at + 1;
    }

    void StartElement(size_t namespaces)
    {
        m_open.push_back(namespaces);
        m_namespacesInForce += namespaces;
        if (m_namespacesInForce > MostNamespacesInForce)
            Refuse("more than " + std::to_string(MostNamespacesInForce) + " namespace declarations in force");
    }

    void EndElement()
    {
        if (m_open.empty())
            return;
        m_namespacesInForce -= m_open.back();
        m_open.pop_back();
    }

    const std::wstring& m_text;
    size_t m_elements = 0;
    std::vector<size_t> m_open;
    size_t m_namespacesInForce = 0;
};

} // namespace

void Harden(IXMLDOMDocument2* document)
{
    const auto check = [document](HRESULT hr) {
        if (FAILED(hr))
            ThrowIfFailedCom(hr, document, IID_IXMLDOMDocument2);
    };
    check(document->put_async(VARIANT_FALSE));
    check(document->put_resolveExternals(VARIANT_FALSE));
    check(document->put_validateOnParse(VARIANT_FALSE));
    SetProperties(document);
}

void RefuseUnsafeMarkup(const std::wstring& text)
{
    if (HoldsDoctype(text))
        Refuse("a document type declaration (<!DOCTYPE)");
    const size_t declarationEnd = DeclarationEnd(text);
    if (text.find(L"<?", declarationEnd) != std::wstring::npos)
        Refuse("a processing instruction other than the XML declaration");
    ShapeScan(text).Run(declarationEnd);
}

} // namespace LSSafeXml
