#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphJson.h"

#include "KOVACommon/LSHttpRequestFactory.h"
#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"

namespace LSGraphJson {

namespace {

const wchar_t* const JsonMediaType = L"application/json";

void SetHeader(ILSHttpRequestPtr& request, const wchar_t* name, const std::wstring& value)
{
    ThrowIfFailedCom(request->SetRequestHeader(_bstr_t(name), _bstr_t(value.c_str())));
}

struct TooDeep
{
};

// Graph says in its error body what went wrong; the transport's message is generic.
void LogGraphError(const std::wstring& url, const LSHttpError& error)
{
    bool tooDeep = false;
    const Json body = ParseLimited(Utf8(error.JsonBody()), tooDeep);
    const Json* details = Find(body, "error");
    const Json* code = details ? Find(*details, "code") : nullptr;
    const Json* message = details ? Find(*details, "message") : nullptr;
    if (!code || !code->is_string() || !message || !message->is_string())
        return;
    LS_ERROR_LOG << "Microsoft Graph answered " << error.Status() << " for " << ToLogText(url) << ": "
                 << code->get<std::string>() << " - " << message->get<std::string>();
}

ILSHttpRequestPtr OpenJsonRequest(const std::wstring& url, const std::wstring& method,
                                  const std::wstring& authorization, const std::string& body)
{
    ILSHttpRequestPtr request = LSHttpRequestFactory::OpenRequest(url, method, false);
    SetHeader(request, L"Authorization", authorization);
    SetHeader(request, L"Accept", JsonMediaType);
    if (!body.empty())
        SetHeader(request, L"Content-Type", JsonMediaType);
    return request;
}

template <typename Send>
void LoggingGraphErrors(const std::wstring& url, Send send)
{
    try
    {
        send();
    }
    catch (const LSHttpError& error)
    {
        LogGraphError(url, error);
        throw;
    }
}

Json ParsedAnswer(ILSHttpRequest& request, const std::wstring& url)
{
    bool tooDeep = false;
    Json answer = ParseLimited(Utf8(CStdStr(request.GetResponseText())), tooDeep);
    if (tooDeep)
        ThrowInvalidAnswer("the answer from " + Utf8(url) + " nests deeper than " + std::to_string(MaxDepth) +
                           " levels");
    if (answer.is_discarded())
        ThrowInvalidAnswer("the answer from " + Utf8(url) + " is not JSON");
    return answer;
}

} // namespace

Json ParseLimited(const std::string& text, bool& tooDeep)
{
    tooDeep = false;
    // The callback sees each object and array as it opens, at the depth of
    // its parent; the parser itself keeps its own stack, not the thread's.
    const Json::parser_callback_t limit = [](int depth, Json::parse_event_t event, Json&) {
        if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
            depth >= MaxDepth)
            throw TooDeep();
        return true;
    };
    try
    {
        return Json::parse(text, limit, false);
    }
    catch (const TooDeep&)
    {
        tooDeep = true;
        return Json(Json::value_t::discarded);
    }
}

Json Exchange(const std::wstring& url, const std::wstring& method, const std::wstring& authorization,
              const std::string& body)
{
    Json answer;
    LoggingGraphErrors(url, [&] {
        CLSBaseWS::Exchange([&] { return OpenJsonRequest(url, method, authorization, body); }, url, Wide(body),
                            [&](ILSHttpRequest& request) { answer = ParsedAnswer(request, url); });
    });
    return answer;
}

ILSHttpRequestPtr StartExchange(const std::wstring& url, const std::wstring& method,
                                const std::wstring& authorization, const std::string& body)
{
    ILSHttpRequestPtr request = OpenJsonRequest(url, method, authorization, body);
    LoggingGraphErrors(url, [&] { CLSBaseWS::StartAsyncSend(request, url, Wide(body)); });
    return request;
}

Json FinishExchange(ILSHttpRequest& request, const std::wstring& url)
{
    LoggingGraphErrors(url, [&] { request.FinishSend(url, LSAnswerChecks{}); });
    return ParsedAnswer(request, url);
}

void ThrowInvalidAnswer(const std::string& what)
{
    LS_ERROR_LOG << "Unexpected answer from Microsoft Graph: " << what;
    throw hresult_exception(HRESULT_FROM_WIN32(ERROR_INVALID_DATA), "Unexpected answer from Microsoft Graph");
}

const Json* Find(const Json& object, const char* name)
{
    if (!object.is_object())
        return nullptr;
    const auto found = object.find(name);
    return found == object.end() ? nullptr : &*found;
}

std::string RequireString(const Json& object, const char* name, const std::string& context)
{
    const Json* value = Find(object, name);
    if (!value || !value->is_string())
        ThrowInvalidAnswer(context + " has no text member \"" + name + "\"");
    return value->get<std::string>();
}

const Json& RequireArray(const Json& object, const char* name, const std::string& context)
{
    const Json* value = Find(object, name);
    if (!value || !value->is_array())
        ThrowInvalidAnswer(context + " has no array member \"" + name + "\"");
    return *value;
}

std::string Utf8(const std::wstring& text)
{
    return WideToMultiByte(text, CP_UTF8);
}

std::wstring Wide(const std::string& utf8)
{
    return MultiByteToWide(utf8, CP_UTF8);
}

} // namespace LSGraphJson
