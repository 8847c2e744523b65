#include "LSGraphDrives.h"

#include "CStdStr.h"
#include "LSBaseWS.h"
#include "LSGraphJson.h"
#include "LSHttpError.h"
#include "LSLog.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <numeric>

namespace {

using LSGraphJson::Json;
using LSGraphJson::Utf8;
using LSGraphJson::Wide;

const wchar_t* const BatchPath = L"$batch";

// The answer of one batch: which sub-requests must go again, and when.
struct BatchOutcome
{
    std::vector<size_t> throttled;
    uint32_t throttleStatus = 0;
    uint32_t retryAfterSeconds = 0;
};

// A failure of the batch exchange itself, already retried by the transport:
// carried past the sub-request retry so it is not retried a second time.
struct BatchExchangeFailure
{
    LSHttpError error;
};

bool IsThrottling(uint32_t status)
{
    return status == 429 || status == 503;
}

std::string SubRequestId(size_t index)
{
    return std::to_string(index + 1);
}

std::string BatchBody(const std::vector<std::wstring>& groupIds, const std::vector<size_t>& pending)
{
    Json requests = Json::array();
    for (size_t index : pending)
        requests.push_back(Json::object({{"id", SubRequestId(index)},
                                         {"method", "GET"},
                                         {"url", "groups/" + Utf8(groupIds[index]) + "/drive?$select=webUrl"}}));
    return Json::object({{"requests", std::move(requests)}}).dump();
}

bool EqualsNoCaseAscii(const std::string& a, const char* b)
{
    const std::string other(b);
    return a.size() == other.size() && std::equal(a.begin(), a.end(), other.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Seconds from the sub-answer's Retry-After header (text or number); 0 when
// absent or unreadable, so the back-off applies.
uint32_t RetryAfterSeconds(const Json& response)
{
    const Json* headers = LSGraphJson::Find(response, "headers");
    if (!headers || !headers->is_object())
        return 0;
    for (const auto& header : headers->items())
    {
        if (!EqualsNoCaseAscii(header.key(), "Retry-After"))
            continue;
        const Json& value = header.value();
        if (value.is_number_unsigned())
            return static_cast<uint32_t>(std::min<uint64_t>(value.get<uint64_t>(), UINT32_MAX));
        if (value.is_string())
            return static_cast<uint32_t>(std::min<unsigned long>(std::strtoul(value.get<std::string>().c_str(),
                                                                               nullptr, 10), UINT32_MAX));
    }
    return 0;
}

uint32_t SubStatus(const Json& response, const std::string& context)
{
    const Json* status = LSGraphJson::Find(response, "status");
    if (!status || !status->is_number_unsigned() || status->get<uint64_t>() > 999)
        LSGraphJson::ThrowInvalidAnswer(context + " has no HTTP status");
    return static_cast<uint32_t>(status->get<uint64_t>());
}

std::wstring WebUrl(const Json& response, const std::string& context)
{
    const Json* body = LSGraphJson::Find(response, "body");
    const std::string url = LSGraphJson::RequireString(body ? *body : Json(), "webUrl", context);
    if (url.empty())
        LSGraphJson::ThrowInvalidAnswer(context + " has an empty webUrl");
    return Wide(url);
}

[[noreturn]] void ThrowSubRequestFailure(const Json& response, uint32_t status, const std::wstring& groupId)
{
    const Json* body = LSGraphJson::Find(response, "body");
    const Json* error = body ? LSGraphJson::Find(*body, "error") : nullptr;
    const Json* message = error ? LSGraphJson::Find(*error, "message") : nullptr;
    const std::wstring text = message && message->is_string() ? Wide(message->get<std::string>())
                                                              : CStdStr::Format(L"HTTP status %u", status);
    LS_ERROR_LOG << "Drive of group " << ToLogText(groupId) << " not available: status " << status << " - "
                 << ToLogText(text);
    throw LSHttpError(status, text, body ? Wide(body->dump()) : std::wstring(), 0);
}

// Records the drives answered, fails on any failed sub-request, and returns
// the throttled ones, in request order.
BatchOutcome TakeAnswers(const Json& answer, const std::vector<std::wstring>& groupIds,
                         const std::vector<size_t>& pending, std::vector<std::wstring>& urls)
{
    std::map<std::string, size_t> unanswered;
    for (size_t index : pending)
        unanswered.emplace(SubRequestId(index), index);
    BatchOutcome outcome;
    for (const Json& response : LSGraphJson::RequireArray(answer, "responses", "the batch answer"))
    {
        const std::string id = LSGraphJson::RequireString(response, "id", "a batch answer item");
        const auto found = unanswered.find(id);
        if (found == unanswered.end())
            LSGraphJson::ThrowInvalidAnswer("batch answer item \"" + id + "\" was not asked for or came twice");
        const size_t index = found->second;
        unanswered.erase(found);
        const std::string context = "the drive answer for group " + Utf8(groupIds[index]);
        const uint32_t status = SubStatus(response, context);
        if (status >= 200 && status < 300)
            urls[index] = WebUrl(response, context);
        else if (IsThrottling(status))
        {
            outcome.throttled.push_back(index);
            outcome.throttleStatus = status;
            outcome.retryAfterSeconds = std::max(outcome.retryAfterSeconds, RetryAfterSeconds(response));
        }
        else
            ThrowSubRequestFailure(response, status, groupIds[index]);
    }
    if (!unanswered.empty())
        LSGraphJson::ThrowInvalidAnswer("the batch answer has no item for group " +
                                        Utf8(groupIds[unanswered.begin()->second]));
    std::sort(outcome.throttled.begin(), outcome.throttled.end());
    return outcome;
}

void ResolveBatch(const std::wstring& batchUrl, const std::wstring& authorization,
                  const std::vector<std::wstring>& groupIds, size_t first, size_t count,
                  std::vector<std::wstring>& urls, ILSShutdownInformerPtr& shutdownInformer)
{
    std::vector<size_t> pending(count);
    std::iota(pending.begin(), pending.end(), first);
    try
    {
        CLSBaseWS::RetryOnServerUnavailable(shutdownInformer, [&] {
            Json answer;
            try
            {
                answer = LSGraphJson::Exchange(batchUrl, L"POST", authorization, BatchBody(groupIds, pending),
                                               shutdownInformer);
            }
            catch (const LSHttpError& error)
            {
                throw BatchExchangeFailure{error};
            }
            const BatchOutcome outcome = TakeAnswers(answer, groupIds, pending, urls);
            if (outcome.throttled.empty())
                return;
            pending = outcome.throttled;
            throw LSHttpError(outcome.throttleStatus,
                              CStdStr::Format(L"%u drive requests throttled", unsigned(pending.size())),
                              std::wstring(), outcome.retryAfterSeconds);
        });
    }
    catch (const BatchExchangeFailure& failure)
    {
        throw failure.error;
    }
}

} // namespace

std::vector<std::wstring> LSGraphDrives::DocumentLibraryUrls(const std::wstring& graphRoot,
                                                             const std::wstring& authorization,
                                                             const std::vector<std::wstring>& groupIds,
                                                             ILSShutdownInformerPtr& shutdownInformer)
{
    std::vector<std::wstring> urls(groupIds.size());
    const std::wstring batchUrl = graphRoot + BatchPath;
    for (size_t first = 0; first < groupIds.size(); first += MaxRequestsPerBatch)
        ResolveBatch(batchUrl, authorization, groupIds, first,
                     std::min(MaxRequestsPerBatch, groupIds.size() - first), urls, shutdownInformer);
    return urls;
}
