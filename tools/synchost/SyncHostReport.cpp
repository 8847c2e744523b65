#include "SyncHostReport.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/HandleInterfaceException.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string Utf8(const std::wstring& text)
{
    return WideToMultiByte(text, CP_UTF8);
}

std::string JsonString(const std::wstring& text)
{
    std::string out = "\"";
    for (char c : Utf8(text))
    {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\')
            out += std::string("\\") + c;
        else if (byte < 0x20)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", byte);
            out += escaped;
        }
        else
            out += c;
    }
    return out + "\"";
}

// " over EWS" or " over Microsoft Graph"; nothing when the filter did not say.
std::string ServicePhrase(const std::wstring& service)
{
    if (service.empty())
        return std::string();
    return " over " + (service == L"Graph" ? std::string("Microsoft Graph") : Utf8(service));
}

std::string JsonValue(const LSHostPropertyMap::Value& value)
{
    if (value.type == LSHostPropertyMap::ValueType::Text)
        return JsonString(value.text);
    return std::to_string(value.number);
}

std::string JsonProperties(const PropertyList& properties)
{
    std::string out = "{";
    for (size_t i = 0; i < properties.size(); ++i)
        out += (i ? "," : "") + JsonString(properties[i].first) + ":" + JsonValue(properties[i].second);
    return out + "}";
}

std::string JsonItem(const ItemProperties& item)
{
    return "{\"basic\":" + JsonProperties(item.basic) + ",\"full\":" + JsonProperties(item.full) + "}";
}

std::wstring TextOf(const PropertyList& properties, const wchar_t* name)
{
    for (const auto& [key, value] : properties)
    {
        if (key == name)
            return value.type == LSHostPropertyMap::ValueType::Text ? value.text : std::to_wstring(value.number);
    }
    return std::wstring();
}

// Terminals show East Asian wide characters in two columns.
bool IsWide(wchar_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) || (c >= 0xAC00 && c <= 0xD7A3) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6);
}

// Columns a terminal uses for the text (a surrogate pair counts once).
size_t Width(const std::wstring& text)
{
    size_t width = 0;
    for (wchar_t c : text)
    {
        if ((c & 0xFC00) != 0xDC00)
            width += IsWide(c) ? 2 : 1;
    }
    return width;
}

std::string Row(const std::vector<std::wstring>& cells, const std::vector<size_t>& widths)
{
    std::wstring line;
    for (size_t i = 0; i < cells.size(); ++i)
    {
        line += cells[i];
        if (i + 1 < cells.size())
            line += std::wstring(widths[i] - Width(cells[i]) + 2, L' ');
    }
    return Utf8(line) + "\n";
}

std::string Table(const std::vector<std::vector<std::wstring>>& rows)
{
    std::vector<size_t> widths(rows.front().size(), 0);
    for (const auto& row : rows)
        for (size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], Width(row[i]));
    std::string out;
    for (const auto& row : rows)
        out += Row(row, widths);
    return out;
}

std::string Milliseconds(double ms)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%.1f", ms);
    return text;
}

std::string RequestsText(const PassFigures& pass)
{
    return pass.requests ? std::to_string(*pass.requests) : std::string("-");
}

std::string PassTable(const std::vector<PassFigures>& passes)
{
    std::vector<std::vector<std::wstring>> rows = {{L"Pass", L"Requests", L"Wall ms"}};
    for (size_t i = 0; i < passes.size(); ++i)
        rows.push_back({std::to_wstring(i + 1), MultiByteToWide(RequestsText(passes[i]), CP_UTF8),
                        MultiByteToWide(Milliseconds(passes[i].wallMs), CP_UTF8)});
    return Table(rows);
}

std::string JsonPasses(const std::vector<PassFigures>& passes)
{
    std::string out = "[";
    for (size_t i = 0; i < passes.size(); ++i)
        out += std::string(i ? "," : "") + "{\"pass\":" + std::to_string(i + 1) +
               ",\"requests\":" + (passes[i].requests ? std::to_string(*passes[i].requests) : "null") +
               ",\"wallMs\":" + Milliseconds(passes[i].wallMs) + "}";
    return out + "]";
}

} // namespace

std::string HresultText(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string FormatTable(const SyncPassReport& report, const SyncHostOptions& options)
{
    std::string out = "Profile " + Utf8(options.profile) + ", folder location " + Utf8(options.folderLocation) + "\n";
    out += std::to_string(report.items.size()) + (report.items.size() == 1 ? " group" : " groups") + " listed" +
           ServicePhrase(report.backend) + "\n\n";
    std::vector<std::vector<std::wstring>> rows = {{L"#", L"Name", L"Identifier", L"Document library"}};
    for (size_t i = 0; i < report.items.size(); ++i)
    {
        const ItemProperties& item = report.items[i];
        rows.push_back({std::to_wstring(i + 1), TextOf(item.basic, L"DisplayName"), TextOf(item.basic, L"UniqueId"),
                        TextOf(item.full, L"ows-Location")});
    }
    out += Table(rows);
    for (const WaitingGroup& group : report.waiting)
        out += Utf8(L"waiting for a document library: " + group.name + L" " + group.id + L": " + group.message) + "\n";
    if (report.topFolder)
    {
        out += "\nTop folder\n";
        out += Table({{L"Name", L"Identifier", L"Location"},
                      {TextOf(report.topFolder->basic, L"DisplayName"), TextOf(report.topFolder->basic, L"UniqueId"),
                       TextOf(report.topFolder->full, L"Tenbrid.RepositoryLocation")}});
    }
    if (options.passes)
        out += "\n" + PassTable(report.passes);
    return out;
}

std::string FormatJson(const SyncPassReport& report, const SyncHostOptions& options)
{
    std::string out = "{\"hresult\":\"" + HresultText(report.hr) + "\"";
    if (FAILED(report.hr))
        out += ",\"failedStep\":" + JsonString(report.failedStep) + ",\"message\":" +
               JsonString(SystemMessageText(report.hr));
    if (!report.backend.empty())
        out += ",\"backend\":" + JsonString(report.backend);
    out += ",\"itemCount\":" + (report.itemCount ? std::to_string(*report.itemCount) : std::string("null"));
    out += ",\"items\":[";
    for (size_t i = 0; i < report.items.size(); ++i)
        out += (i ? "," : "") + JsonItem(report.items[i]);
    out += "]";
    if (report.itemCount)
    {
        out += ",\"waiting\":[";
        for (size_t i = 0; i < report.waiting.size(); ++i)
            out += std::string(i ? "," : "") + "{\"id\":" + JsonString(report.waiting[i].id) +
                   ",\"name\":" + JsonString(report.waiting[i].name) +
                   ",\"message\":" + JsonString(report.waiting[i].message) + "}";
        out += "]";
    }
    if (report.topFolder)
        out += ",\"topFolder\":" + JsonItem(*report.topFolder);
    if (options.passes)
    {
        out += ",\"passes\":" + JsonPasses(report.passes);
        if (report.failedPass)
            out += ",\"failedPass\":" + std::to_string(report.failedPass);
    }
    return out + "}\n";
}

std::string FormatFailure(const SyncPassReport& report, const SyncHostOptions& options)
{
    const std::string pass =
        options.passes && report.failedPass ? "pass " + std::to_string(report.failedPass) + ": " : std::string();
    return "synchost: " + pass + Utf8(report.failedStep) + " failed: " + HresultText(report.hr) + " " +
           Utf8(SystemMessageText(report.hr)) + "\n";
}
