#include "KOVACommon/http/LSResponseText.h"

#include "KOVACommon/xml/LSSafeXml.h"
#include "KOVACommon/xml/LSXmlDocument.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

#include <algorithm>
#include <cwctype>
#include <limits>

namespace LSResponseText {

namespace {

constexpr UINT Utf16Little = 1200;
constexpr UINT Utf16Big = 1201;

bool StartsWith(const Bytes& bytes, const char* prefix, size_t length)
{
    return bytes.size >= length && std::equal(prefix, prefix + length, bytes.data);
}

std::wstring Lower(std::wstring text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

// The charset parameter's value, lower case, without quotes; empty when absent.
std::wstring Charset(const std::wstring& contentType)
{
    const std::wstring lower = Lower(contentType);
    const size_t found = lower.find(L"charset=");
    if (found == std::wstring::npos)
        return std::wstring();
    std::wstring value = lower.substr(found + 8, lower.find(L';', found) - found - 8);
    value.erase(std::remove_if(value.begin(), value.end(), [](wchar_t c) { return c == L'"' || c == L' '; }),
                value.end());
    return value;
}

UINT CodePageOf(const std::wstring& charset)
{
    if (charset == L"utf-16" || charset == L"utf-16le")
        return Utf16Little;
    if (charset == L"utf-16be")
        return Utf16Big;
    if (charset == L"iso-8859-1" || charset == L"latin1")
        return 28591;
    if (charset == L"us-ascii")
        return 20127;
    if (charset == L"windows-1252")
        return 1252;
    return CP_UTF8;
}

std::wstring Utf16(const char* data, size_t size, bool bigEndian)
{
    std::wstring text(size / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i)
    {
        const unsigned char first = static_cast<unsigned char>(data[2 * i]);
        const unsigned char second = static_cast<unsigned char>(data[2 * i + 1]);
        text[i] = static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
}

std::wstring InCodePage(const char* data, size_t size, UINT codePage)
{
    if (codePage == Utf16Little || codePage == Utf16Big)
        return Utf16(data, size, codePage == Utf16Big);
    return MultiByteToWide(std::string(data, size), codePage);
}

// The encoding an XML declaration names, lower case; empty without one.
std::wstring DeclaredEncoding(const Bytes& bytes)
{
    constexpr size_t LongestDeclaration = 256;
    if (!StartsWith(bytes, "<?xml", 5))
        return std::wstring();
    const std::string head(bytes.data, std::min(bytes.size, LongestDeclaration));
    const std::string declaration = head.substr(0, head.find("?>"));
    const size_t name = declaration.find("encoding");
    const size_t quote = declaration.find_first_of("\"'", name);
    if (name == std::string::npos || quote == std::string::npos)
        return std::wstring();
    const size_t end = declaration.find(declaration[quote], quote + 1);
    if (end == std::string::npos)
        return std::wstring();
    return Lower(MultiByteToWide(declaration.substr(quote + 1, end - quote - 1), CP_UTF8));
}

} // namespace

Bytes BytesOf(const _variant_t& body)
{
    Bytes bytes;
    if (body.vt != (VT_ARRAY | VT_UI1) || !body.parray || SafeArrayGetDim(body.parray) != 1)
        return bytes;
    LONG lower = 0;
    LONG upper = -1;
    ThrowIfFailedCom(SafeArrayGetLBound(body.parray, 1, &lower));
    ThrowIfFailedCom(SafeArrayGetUBound(body.parray, 1, &upper));
    bytes.data = static_cast<const char*>(body.parray->pvData);
    bytes.size = upper < lower ? 0 : size_t(upper - lower + 1);
    return bytes;
}

_variant_t ByteArray(const std::string& bytes)
{
    // A byte array counts its elements in 32 bits.
    if (bytes.size() > std::numeric_limits<ULONG>::max())
    {
        LS_ERROR_LOG << "Body too large for a byte array: " << bytes.size() << " bytes";
        ThrowHr(E_FAIL);
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array)
        ThrowHr(E_OUTOFMEMORY);
    _variant_t value;
    value.vt = VT_ARRAY | VT_UI1;
    value.parray = array;
    void* data = nullptr;
    if (!bytes.empty() && SUCCEEDED(SafeArrayAccessData(array, &data)))
    {
        std::copy(bytes.begin(), bytes.end(), static_cast<char*>(data));
        SafeArrayUnaccessData(array);
    }
    return value;
}

std::wstring Decode(const Bytes& bytes, const std::wstring& contentType)
{
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3))
        return InCodePage(bytes.data + 3, bytes.size - 3, CP_UTF8);
    if (StartsWith(bytes, "\xFF\xFE", 2))
        return InCodePage(bytes.data + 2, bytes.size - 2, Utf16Little);
    if (StartsWith(bytes, "\xFE\xFF", 2))
        return InCodePage(bytes.data + 2, bytes.size - 2, Utf16Big);
    return InCodePage(bytes.data, bytes.size, CodePageOf(Charset(contentType)));
}

std::wstring XmlText(const Bytes& bytes)
{
    if (StartsWith(bytes, "\xEF\xBB\xBF", 3) || StartsWith(bytes, "\xFF\xFE", 2) || StartsWith(bytes, "\xFE\xFF", 2))
        return Decode(bytes, std::wstring());
    if (StartsWith(bytes, "<\0", 2))
        return InCodePage(bytes.data, bytes.size, Utf16Little);
    if (StartsWith(bytes, "\0<", 2))
        return InCodePage(bytes.data, bytes.size, Utf16Big);
    return InCodePage(bytes.data, bytes.size, CodePageOf(DeclaredEncoding(bytes)));
}

IXMLDOMDocument2Ptr LoadDocument(const _variant_t& body)
{
    // The parser gets the very text that was checked: bytes it decoded
    // itself could say something else to it.
    const std::wstring text = XmlText(BytesOf(body));
    LSSafeXml::RefuseUnsafeMarkup(text);
    IXMLDOMDocument2Ptr document = LSXmlDocument::CreateDOMDocument(std::wstring());
    if (!document)
        throw hresult_exception::Com(E_POINTER);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    document->loadXML(CStdStr(text).ToBstr(), &loaded);
    return document;
}

} // namespace LSResponseText
