#include "QuorvalCommon/CStdStr.h"

#include "QuorvalCommon/hresult_exception.h"

#include <cwctype>
#include <vector>

CStdStr::CStdStr(const _bstr_t& text)
    : std::wstring(static_cast<const wchar_t*>(text) ? static_cast<const wchar_t*>(text) : L"",
                   text.length())
{
}

CStdStr CStdStr::FromBSTR(BSTR text)
{
    if (!text)
        return CStdStr();
    return CStdStr(text, SysStringLen(text));
}

CStdStr CStdStr::FormatV(const wchar_t* format, va_list args)
{
    va_list counting;
    va_copy(counting, args);
    int length = _vscwprintf(format, counting);
    va_end(counting);
    if (length <= 0)
        return CStdStr();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    _vsnwprintf(buffer.data(), buffer.size(), format, args);
    return CStdStr(buffer.data(), static_cast<size_t>(length));
}

CStdStr CStdStr::Format(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    CStdStr result = FormatV(format, args);
    va_end(args);
    return result;
}

CStdStr& CStdStr::AppendFormat(const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    append(FormatV(format, args));
    va_end(args);
    return *this;
}

int CStdStr::CompareNoCase(const std::wstring& other) const
{
    int result = CompareStringOrdinal(c_str(), static_cast<int>(size()), other.c_str(),
                                      static_cast<int>(other.size()), TRUE);
    return result - CSTR_EQUAL;
}

CStdStr& CStdStr::Trim()
{
    return TrimRight().TrimLeft();
}

CStdStr& CStdStr::TrimLeft()
{
    size_t first = 0;
    while (first < size() && std::iswspace((*this)[first]))
        ++first;
    erase(0, first);
    return *this;
}

CStdStr& CStdStr::TrimRight()
{
    size_t end = size();
    while (end > 0 && std::iswspace((*this)[end - 1]))
        --end;
    erase(end);
    return *this;
}

CStdStr CStdStr::ToLower() const
{
    CStdStr lower(*this);
    if (!lower.empty())
        CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
    return lower;
}

_bstr_t CStdStr::ToBstr() const
{
    return _bstr_t(AllocSysString(), false);
}

BSTR CStdStr::AllocSysString() const
{
    BSTR text = SysAllocStringLen(data(), static_cast<UINT>(size()));
    if (!text)
        throw hresult_exception::Com(E_OUTOFMEMORY);
    return text;
}

std::string WideToMultiByte(const std::wstring& text, UINT codePage)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return std::string();
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0],
                        length, nullptr, nullptr);
    return result;
}

std::wstring MultiByteToWide(const std::string& text, UINT codePage)
{
    if (text.empty())
        return std::wstring();
    int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                                     nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0],
                        length);
    return result;
}

int ReadDecimal(const std::wstring& text)
{
    int value = 0;
    if (swscanf(text.c_str(), L"%d", &value) == EOF)
        ThrowHr(E_INVALIDARG);
    return value;
}
