#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"

#include <iomanip>

std::string ToLogText(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int length = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(),
                                     static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return "utf8_log_failed: " + WideToMultiByte(text, CP_ACP);
    std::string result(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        &result[0], length, nullptr, nullptr);
    return result;
}

std::string ToLogText(const wchar_t* text)
{
    return ToLogText(std::wstring(text ? text : L""));
}

std::ostream& operator<<(std::ostream& stream, const LogHex& hex)
{
    std::ios_base::fmtflags flags = stream.flags();
    stream << std::hex << std::nouppercase << hex.value;
    stream.flags(flags);
    return stream;
}
