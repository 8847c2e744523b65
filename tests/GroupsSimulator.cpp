#include "GroupsSimulator.h"

#include "QuorvalCommon/CStdStr.h"

namespace {

// A JSON string; everything outside printable ASCII as \u escapes.
std::wstring JsonQuote(const std::wstring& text)
{
    std::wstring out = L"\"";
    for (wchar_t c : text)
    {
        if (c == L'"' || c == L'\\')
            out += std::wstring(L"\\") + c;
        else if (c < 0x20 || c > 0x7E)
            out += CStdStr::Format(L"\\u%04x", static_cast<unsigned>(c));
        else
            out += c;
    }
    return out + L"\"";
}

std::wstring GroupJson(const SimGroup& group)
{
    std::wstring json = L"{\"id\":" + JsonQuote(group.id) + L",\"displayName\":" + JsonQuote(group.displayName) +
                        L",\"resources\":[";
    for (size_t i = 0; i < group.resources.size(); ++i)
        json += (i ? L"," : L"") + std::wstring(L"{\"name\":") + JsonQuote(group.resources[i].first) +
                L",\"url\":" + JsonQuote(group.resources[i].second) + L"}";
    json += L"]";
    if (!group.unified)
        json += L",\"unified\":false";
    if (group.omitId)
        json += L",\"omitId\":true";
    if (group.omitDisplayName)
        json += L",\"omitDisplayName\":true";
    return json + L"}";
}

} // namespace

void GroupsSimulator::SetGroups(const std::vector<SimGroup>& groups)
{
    std::wstring json = L"{\"groups\":[";
    for (size_t i = 0; i < groups.size(); ++i)
        json += (i ? L"," : L"") + GroupJson(groups[i]);
    Post(L"/_sim/dataset", json + L"]}");
}

std::wstring GroupsSimulator::HttpsRoot(SimHttps listener)
{
    const char* variable = listener == SimHttps::Trusted       ? "EWS_SIM_HTTPS_PORT"
                           : listener == SimHttps::UntrustedCa ? "EWS_SIM_HTTPS_UNTRUSTED_PORT"
                                                               : "EWS_SIM_HTTPS_WRONG_NAME_PORT";
    return L"https://localhost:" + std::to_wstring(EwsSimClient::PortFrom(variable)) + L"/";
}

void GroupsSimulator::Refuse(const std::wstring& token, int status)
{
    Post(L"/_sim/refuse", L"{\"token\":" + JsonQuote(token) + L",\"status\":" + std::to_wstring(status) + L"}");
}

void GroupsSimulator::Post(const std::wstring& path, const std::wstring& json)
{
    EwsSimClient::Control(L"POST", path, WideToMultiByte(json, CP_UTF8));
}
