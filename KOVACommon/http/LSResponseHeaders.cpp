#include "KOVACommon/http/LSResponseHeaders.h"

#include "QuorvalCommon/CStdStr.h"

#include <sstream>

namespace LSResponseHeaders {

Headers Parse(const std::wstring& text)
{
    Headers headers;
    std::wistringstream lines(text);
    std::wstring line;
    while (std::getline(lines, line, L'\n'))
    {
        while (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.empty())
            break;
        const size_t colon = line.find(L':');
        std::wstring name = line.substr(0, colon);
        std::wstring value = colon == std::wstring::npos ? std::wstring() : line.substr(colon + 1);
        if (!value.empty() && value.front() == L' ')
            value.erase(0, 1);
        headers.emplace_back(std::move(name), std::move(value));
    }
    return headers;
}

const std::wstring* Find(const Headers& headers, const std::wstring& name)
{
    const CStdStr wanted(name);
    for (const auto& header : headers)
        if (wanted.EqualsNoCase(header.first))
            return &header.second;
    return nullptr;
}

} // namespace LSResponseHeaders
