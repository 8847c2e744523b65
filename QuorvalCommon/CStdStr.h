#pragma once
// The component's wide string: std::wstring plus printf-style formatting,
// case-insensitive comparison, trimming and COM string conversion.
// Formats follow the Microsoft CRT: use %ls for wide and %hs for narrow text.
#include <windows.h>
#include <comdef.h>
#include <cstdarg>
#include <string>

class CStdStr : public std::wstring
{
public:
    CStdStr() = default;
    CStdStr(const std::wstring& text) : std::wstring(text) {}
    CStdStr(std::wstring&& text) : std::wstring(std::move(text)) {}
    CStdStr(const wchar_t* text) : std::wstring(text ? text : L"") {}
    CStdStr(const wchar_t* text, size_t length) : std::wstring(text, length) {}
    CStdStr(size_t count, wchar_t ch) : std::wstring(count, ch) {}
    explicit CStdStr(const _bstr_t& text);

    // A BSTR may be null (the empty text) and may hold embedded NULs.
    static CStdStr FromBSTR(BSTR text);

    static CStdStr Format(const wchar_t* format, ...);
    static CStdStr FormatV(const wchar_t* format, va_list args);
    CStdStr& AppendFormat(const wchar_t* format, ...);

    int CompareNoCase(const std::wstring& other) const;
    bool EqualsNoCase(const std::wstring& other) const { return CompareNoCase(other) == 0; }
    bool Contains(const std::wstring& part) const { return find(part) != npos; }

    CStdStr& Trim();
    CStdStr& TrimLeft();
    CStdStr& TrimRight();
    CStdStr ToLower() const;

    // Throws a COM error E_OUTOFMEMORY when the string cannot be allocated.
    _bstr_t ToBstr() const;
    BSTR AllocSysString() const;
};

// Narrow <-> wide through a code page (CP_UTF8, CP_ACP).
std::string WideToMultiByte(const std::wstring& text, UINT codePage);
// The decimal integer at the start of the text as "%d" reads it (0 when the
// text does not start with one); a text of nothing but white space is
// E_INVALIDARG, thrown as a bare 32-bit code.
int ReadDecimal(const std::wstring& text);
std::wstring MultiByteToWide(const std::string& text, UINT codePage);
