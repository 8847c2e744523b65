#include "EwsSimClient.h"

#include "KOVACommon/xml/MsxmlPtrs.h"
#include "QuorvalCommon/CStdStr.h"

#include <cstdlib>
#include <stdexcept>

namespace {

std::string Lower(std::string text)
{
    for (char& ch : text)
        if (ch >= 'A' && ch <= 'Z')
            ch = static_cast<char>(ch - 'A' + 'a');
    return text;
}

void Check(HRESULT hr, const char* what)
{
    if (FAILED(hr))
        throw std::runtime_error(std::string("simulator control: ") + what + " failed");
}

} // namespace

std::string SimRequest::Header(const std::string& name) const
{
    for (const auto& header : headers)
        if (Lower(header.first) == Lower(name))
            return header.second;
    return std::string();
}

bool SimRequest::HasHeader(const std::string& name) const
{
    for (const auto& header : headers)
        if (Lower(header.first) == Lower(name))
            return true;
    return false;
}

int EwsSimClient::Port()
{
    return PortFrom("EWS_SIM_PORT");
}

int EwsSimClient::PortFrom(const char* variable)
{
    const char* port = std::getenv(variable);
    return port ? std::atoi(port) : 0;
}

std::wstring EwsSimClient::BaseUrl()
{
    return L"http://127.0.0.1:" + std::to_wstring(Port());
}

std::wstring EwsSimClient::EwsUrl()
{
    return BaseUrl() + L"/EWS/Exchange.asmx";
}

std::wstring EwsSimClient::SecondBaseUrl()
{
    return L"http://127.0.0.1:" + std::to_wstring(PortFrom("EWS_SIM_SECOND_PORT"));
}

void EwsSimClient::ResetSecond()
{
    CallAt(SecondBaseUrl(), L"POST", L"/_sim/reset", std::string());
}

std::vector<SimRequest> EwsSimClient::SecondRequests()
{
    return RequestsAt(SecondBaseUrl());
}

nlohmann::json EwsSimClient::Call(const wchar_t* method, const std::wstring& path, const std::string& body)
{
    return CallAt(BaseUrl(), method, path, body);
}

std::string EwsSimClient::Control(const wchar_t* method, const std::wstring& path, const std::string& body)
{
    return Exchange(BaseUrl(), method, path, body);
}

nlohmann::json EwsSimClient::CallAt(const std::wstring& base, const wchar_t* method, const std::wstring& path,
                                    const std::string& body)
{
    return nlohmann::json::parse(Exchange(base, method, path, body));
}

std::string EwsSimClient::Exchange(const std::wstring& base, const wchar_t* method, const std::wstring& path,
                                   const std::string& body)
{
    if (Port() == 0 || PortFrom("EWS_SIM_SECOND_PORT") == 0)
        throw std::runtime_error("EWS_SIM_PORT is not set: run the tests through scripts/run-windows-test.sh");
    CLSID classId;
    Check(CLSIDFromProgID(L"msxml2.XMLHTTP", &classId), "CLSIDFromProgID");
    IXMLHTTPRequestPtr request;
    Check(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLHTTPRequest,
                           reinterpret_cast<void**>(&request)),
          "CoCreateInstance");
    const _variant_t missing(DISP_E_PARAMNOTFOUND, VT_ERROR);
    Check(request->open(_bstr_t(method), _bstr_t((base + path).c_str()), _variant_t(false), missing, missing),
          "open");
    Check(request->setRequestHeader(_bstr_t(L"Content-Type"), _bstr_t(L"application/json")), "setRequestHeader");
    const _variant_t content = body.empty() ? missing : _variant_t(MultiByteToWide(body, CP_UTF8).c_str());
    Check(request->send(content), "send");
    long status = 0;
    Check(request->get_status(&status), "status");
    BSTR text = nullptr;
    Check(request->get_responseText(&text), "responseText");
    const std::string answer = WideToMultiByte(CStdStr(_bstr_t(text, false)), CP_UTF8);
    if (status != 200)
        throw std::runtime_error("simulator control answered " + std::to_string(status) + ": " + answer);
    return answer;
}

void EwsSimClient::Reset()
{
    Call(L"POST", L"/_sim/reset", std::string());
}

void EwsSimClient::Script(const std::string& json)
{
    Call(L"POST", L"/_sim/script", json);
}

void EwsSimClient::SetEwsMode(const std::string& mode)
{
    Call(L"POST", L"/_sim/ews", "{\"mode\": \"" + mode + "\"}");
}

void EwsSimClient::SetPrefixedMessages(bool prefixed)
{
    Call(L"POST", L"/_sim/ews", std::string("{\"prefixed\": ") + (prefixed ? "true" : "false") + "}");
}

size_t EwsSimClient::PendingScriptEntries()
{
    return Call(L"GET", L"/_sim/script", std::string()).size();
}

bool EwsSimClient::WaitUntilQuiet(unsigned waitMs)
{
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    while (Call(L"GET", L"/_sim/health", std::string()).at("open").get<int>() != 0)
    {
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(20);
    }
    return true;
}

std::vector<SimRequest> EwsSimClient::Requests()
{
    return RequestsAt(BaseUrl());
}

std::vector<SimRequest> EwsSimClient::RequestsAt(const std::wstring& base)
{
    std::vector<SimRequest> requests;
    const nlohmann::json log = CallAt(base, L"GET", L"/_sim/requests", std::string());
    for (const nlohmann::json& item : log)
    {
        SimRequest request;
        request.method = item.at("method").get<std::string>();
        request.path = item.at("path").get<std::string>();
        request.query = item.at("query").get<std::string>();
        for (const nlohmann::json& header : item.at("headers"))
            request.headers.emplace_back(header.at(0).get<std::string>(), header.at(1).get<std::string>());
        request.body = item.at("body").get<std::string>();
        request.bodyLength = item.at("bodyLength").get<size_t>();
        request.open = item.at("open").get<size_t>();
        requests.push_back(std::move(request));
    }
    return requests;
}
