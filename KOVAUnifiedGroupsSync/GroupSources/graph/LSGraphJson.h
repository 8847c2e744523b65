#pragma once
// Microsoft Graph answers as JSON: one exchange through the web-service
// transport, and checked access to the members the group queries read. An
// answer without the shape relied on fails like an unparsable one.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVACommon/http/ILSHttpRequest.h"

#include <nlohmann/json.hpp>
#include <cstdint>
#include <string>

namespace LSGraphJson {

using Json = nlohmann::json;

// One exchange, each attempt a fresh request carrying the bearer value and
// "Accept: application/json"; a non-empty body goes out as application/json.
// Throttling is retried under the transport's one retry; other HTTP failures
// pass as LSHttpError; an answer that is not JSON fails through
// ThrowInvalidAnswer.
Json Exchange(const std::wstring& url, const std::wstring& method, const std::wstring& authorization,
              const std::string& body);

// The same exchange in two halves, one attempt without the throttling retry,
// so several can be in flight: StartExchange sends and returns the request;
// once its answer is complete (LSAnswerWait), FinishExchange reads it.
ILSHttpRequestPtr StartExchange(const std::wstring& url, const std::wstring& method,
                                const std::wstring& authorization, const std::string& body);
Json FinishExchange(ILSHttpRequest& request, const std::wstring& url);

// JSON answers nest at most this many levels; deeper ones are refused while
// they are parsed, so nothing (error paths included) walks an unbounded depth.
constexpr int MaxDepth = 64;

// The text parsed with the nesting limit: discarded when it is not JSON or
// nests deeper, and then tooDeep says which.
Json ParseLimited(const std::string& text, bool& tooDeep);

// Error line naming what was wrong, then hresult_exception with
// HRESULT_FROM_WIN32(ERROR_INVALID_DATA).
[[noreturn]] void ThrowInvalidAnswer(const std::string& what);

// The member, or null when it is absent or the value is not an object.
const Json* Find(const Json& object, const char* name);
// A string member (UTF-8); anything else fails with context in the message.
std::string RequireString(const Json& object, const char* name, const std::string& context);
const Json& RequireArray(const Json& object, const char* name, const std::string& context);

std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);

} // namespace LSGraphJson
