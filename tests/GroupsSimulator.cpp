#include "GroupsSimulator.h"

#include "MiniJson.h"

#include <windows.h>
#include <comdef.h>
#include <msxml2.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace {

// IXMLHTTPRequest, from its published value (MinGW declares it without a definition).
const IID XmlHttpRequestIid = {0xED8C108D, 0x4349, 0x11D2, {0x91, 0xA4, 0x00, 0xC0, 0x4F, 0x79, 0x69, 0xE8}};

struct ComReleaser
{
    void operator()(IUnknown* object) const { object->Release(); }
};

std::wstring Exchange(const wchar_t* method, const std::wstring& url, const std::wstring& json)
{
    CLSID clsid = {};
    IXMLHTTPRequest* raw = nullptr;
    if (FAILED(CLSIDFromProgID(L"Msxml2.XMLHTTP", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, XmlHttpRequestIid, reinterpret_cast<void**>(&raw))))
        throw std::runtime_error("no XMLHTTP");
    std::unique_ptr<IXMLHTTPRequest, ComReleaser> request(raw);
    _variant_t synchronous(false);
    _variant_t missing(DISP_E_PARAMNOTFOUND, VT_ERROR);
    if (FAILED(request->open(_bstr_t(method), _bstr_t(url.c_str()), synchronous, missing, missing)))
        throw std::runtime_error("simulator open failed");
    request->setRequestHeader(_bstr_t(L"Content-Type"), _bstr_t(L"application/json"));
    _variant_t body = json.empty() ? _variant_t(DISP_E_PARAMNOTFOUND, VT_ERROR) : _variant_t(json.c_str());
    if (FAILED(request->send(body)))
        throw std::runtime_error("simulator not reachable");
    long status = 0;
    request->get_status(&status);
    BSTR text = nullptr;
    request->get_responseText(&text);
    _bstr_t owned(text, false);
    if (status != 200)
        throw std::runtime_error("simulator answered " + std::to_string(status));
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

std::wstring GroupJson(const SimGroup& group)
{
    std::wstring json = L"{\"id\":" + JsonQuote(group.id) + L",\"displayName\":" + JsonQuote(group.displayName) +
                        L",\"resources\":[";
    for (size_t i = 0; i < group.resources.size(); ++i)
        json += (i ? L"," : L"") + std::wstring(L"{\"name\":") + JsonQuote(group.resources[i].first) +
                L",\"url\":" + JsonQuote(group.resources[i].second) + L"}";
    return json + L"]}";
}

} // namespace

std::wstring SimRequest::Header(const std::wstring& name) const
{
    for (const auto& header : headers)
        if (_wcsicmp(header.first.c_str(), name.c_str()) == 0)
            return header.second;
    return std::wstring();
}

std::wstring GroupsSimulator::BaseUrl()
{
    const char* port = std::getenv("EWS_SIM_PORT");
    if (!port || !*port)
        throw std::runtime_error("EWS_SIM_PORT is not set: run through scripts/run-windows-test.sh");
    return L"http://127.0.0.1:" + std::wstring(port, port + strlen(port)) + L"/";
}

void GroupsSimulator::Reset() const { Post(L"_sim/reset", L""); }

void GroupsSimulator::SetGroups(const std::vector<SimGroup>& groups) const
{
    std::wstring json = L"{\"groups\":[";
    for (size_t i = 0; i < groups.size(); ++i)
        json += (i ? L"," : L"") + GroupJson(groups[i]);
    Post(L"_sim/dataset", json + L"]}");
}

void GroupsSimulator::Refuse(const std::wstring& token, int status) const
{
    Post(L"_sim/refuse", L"{\"token\":" + JsonQuote(token) + L",\"status\":" + std::to_wstring(status) + L"}");
}

std::vector<SimRequest> GroupsSimulator::Requests() const
{
    std::vector<SimRequest> requests;
    for (const JsonValue& item : ParseJson(Get(L"_sim/requests")).items)
    {
        SimRequest request{item[L"method"].text, item[L"path"].text, item[L"body"].text, {}};
        for (const JsonValue& header : item[L"headers"].items)
            if (header.items.size() == 2)
                request.headers.emplace_back(header.items[0].text, header.items[1].text);
        requests.push_back(std::move(request));
    }
    return requests;
}

std::wstring GroupsSimulator::Post(const std::wstring& path, const std::wstring& json) const
{
    return Exchange(L"POST", BaseUrl() + path, json);
}

std::wstring GroupsSimulator::Get(const std::wstring& path) const { return Exchange(L"GET", BaseUrl() + path, L""); }
