#include "LSGraphDrives.h"

#include "CStdStr.h"
#include "LSBaseWS.h"
#include "LSGraphJson.h"
#include "LSAnswerWait.h"
#include "LSHttpError.h"
#include "LSLog.h"
#include "LSRetryAfter.h"
#include "LSSetting.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <map>
#include <numeric>

namespace {

using LSGraphJson::Json;
using LSGraphJson::Utf8;
using LSGraphJson::Wide;

const wchar_t* const BatchPath = L"$batch";
const wchar_t* const BatchesInFlightSetting = L"KOVAUnifiedGroups.GraphBatchesInFlight";
constexpr uint32_t DefaultBatchesInFlight = 4;
constexpr uint32_t MostBatchesInFlight = 8;

// The answer of one batch: which sub-requests must go again, and when.
struct BatchOutcome
{
    std::vector<size_t> throttled;
    uint32_t throttleStatus = 0;
    uint32_t retryAfterSeconds = 0;
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

// Seconds from the sub-answer's Retry-After header (text or number), read as
// an HTTP answer's; 0 when absent or unusable, so the back-off applies.
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
            return LSRetryAfter::Seconds(std::to_wstring(value.get<uint64_t>()));
        if (value.is_string())
            return LSRetryAfter::Seconds(Wide(value.get<std::string>()));
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

// A group's library that is not made yet (a new group's site comes minutes
// to hours later) or not reachable yet: 404 or 403.
bool IsMissingLibrary(uint32_t status)
{
    return status == 404 || status == 403;
}

// The service's message of a failed sub-answer, or the status when it has none.
std::wstring SubAnswerMessage(const Json& response, uint32_t status)
{
    const Json* body = LSGraphJson::Find(response, "body");
    const Json* error = body && body->is_object() ? LSGraphJson::Find(*body, "error") : nullptr;
    const Json* message = error && error->is_object() ? LSGraphJson::Find(*error, "message") : nullptr;
    return message && message->is_string() ? Wide(message->get<std::string>())
                                           : CStdStr::Format(L"HTTP status %u", status);
}

[[noreturn]] void ThrowSubRequestFailure(const Json& response, uint32_t status, const std::wstring& groupId)
{
    const Json* body = LSGraphJson::Find(response, "body");
    const std::wstring text = SubAnswerMessage(response, status);
    LS_ERROR_LOG << "Drive of group " << ToLogText(groupId) << " not available: status " << status << " - "
                 << ToLogText(text);
    throw LSHttpError(status, text, body ? Wide(body->dump()) : std::wstring(), 0);
}

// Records the drives answered, fails on any failed sub-request, and returns
// the throttled ones, in request order.
BatchOutcome TakeAnswers(const Json& answer, const std::vector<std::wstring>& groupIds,
                         const std::vector<size_t>& pending, std::vector<LSGraphDrives::Drive>& drives)
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
            drives[index].webUrl = WebUrl(response, context);
        else if (IsMissingLibrary(status))
        {
            drives[index].missing = true;
            drives[index].message = SubAnswerMessage(response, status);
        }
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

uint32_t BatchesInFlight()
{
    const uint32_t configured =
        LSSetting::GetInstance().GetUserDwordConfigDetails(BatchesInFlightSetting, DefaultBatchesInFlight).value;
    const uint32_t used = std::min(std::max(configured, 1u), MostBatchesInFlight);
    if (used != configured)
    {
        LS_ERROR_LOG << "KOVAUnifiedGroups.GraphBatchesInFlight " << configured << " is outside 1 to "
                     << MostBatchesInFlight << ": " << used << " used";
    }
    return used;
}

// What every batch of one pass shares.
struct BatchJob
{
    std::wstring batchUrl;
    const std::wstring& authorization;
    const std::vector<std::wstring>& groupIds;
    std::vector<LSGraphDrives::Drive>& drives;
    ILSShutdownInformerPtr& shutdownInformer;
};

// One attempt of a batch, sent and not yet read. A failure to send is kept
// and thrown when the batch is read, so batches are read in one place.
struct OpenBatch
{
    std::vector<size_t> pending;
    ILSHttpRequestPtr request;
    std::exception_ptr startFailure;
    uint64_t waitedMs = 0;
};

OpenBatch StartBatch(BatchJob& job, std::vector<size_t> pending)
{
    OpenBatch batch;
    batch.pending = std::move(pending);
    try
    {
        batch.request = LSGraphJson::StartExchange(job.batchUrl, L"POST", job.authorization,
                                                   BatchBody(job.groupIds, batch.pending), job.shutdownInformer);
    }
    catch (...)
    {
        batch.startFailure = std::current_exception();
    }
    return batch;
}

std::vector<size_t> GroupRange(size_t first, size_t count)
{
    std::vector<size_t> range(count);
    std::iota(range.begin(), range.end(), first);
    return range;
}

// The index of an open batch that can be read: one that failed to send, or
// the first whose answer is complete.
size_t WaitForOne(BatchJob& job, std::vector<OpenBatch>& open)
{
    std::vector<LSAnswerWait::Pending> pending;
    for (size_t i = 0; i < open.size(); ++i)
    {
        if (open[i].startFailure)
            return i;
        pending.push_back({open[i].request.get(), job.batchUrl, open[i].waitedMs});
    }
    const size_t done = LSAnswerWait::WaitForFirst(pending, job.shutdownInformer);
    for (size_t i = 0; i < open.size(); ++i)
        open[i].waitedMs = pending[i].waitedMs;
    return done;
}

Json ReadBatch(BatchJob& job, OpenBatch& batch)
{
    if (batch.startFailure)
        std::rethrow_exception(batch.startFailure);
    return LSGraphJson::FinishExchange(*batch.request, job.batchUrl, job.shutdownInformer);
}

// A repeated attempt goes alone: sent and waited for before anything else is read.
Json ExchangeAlone(BatchJob& job, const std::vector<size_t>& pending)
{
    std::vector<OpenBatch> one;
    one.push_back(StartBatch(job, pending));
    WaitForOne(job, one);
    return ReadBatch(job, one.front());
}

// The first attempt's answer, then the throttled sub-requests (or the whole
// batch, when the batch itself was throttled) again under the throttling
// retry, until every drive is known.
void CompleteBatch(BatchJob& job, OpenBatch& first)
{
    std::vector<size_t> pending = first.pending;
    bool firstAttempt = true;
    CLSBaseWS::RetryOnServerUnavailable(job.shutdownInformer, [&] {
        const bool answered = firstAttempt;
        firstAttempt = false;
        const Json answer = answered ? ReadBatch(job, first) : ExchangeAlone(job, pending);
        const BatchOutcome outcome = TakeAnswers(answer, job.groupIds, pending, job.drives);
        if (outcome.throttled.empty())
            return;
        pending = outcome.throttled;
        throw LSHttpError(outcome.throttleStatus,
                          CStdStr::Format(L"%u drive requests throttled", unsigned(pending.size())), std::wstring(),
                          outcome.retryAfterSeconds);
    });
}

} // namespace

std::vector<LSGraphDrives::Drive> LSGraphDrives::DocumentLibraries(const std::wstring& graphRoot,
                                                                   const std::wstring& authorization,
                                                                   const std::vector<std::wstring>& groupIds,
                                                                   ILSShutdownInformerPtr& shutdownInformer)
{
    std::vector<Drive> drives(groupIds.size());
    BatchJob job{graphRoot + BatchPath, authorization, groupIds, drives, shutdownInformer};
    const size_t inFlight = BatchesInFlight();
    std::vector<OpenBatch> open;
    size_t next = 0; // the first group of the next batch
    const auto fill = [&] {
        while (open.size() < inFlight && next < groupIds.size())
        {
            const size_t count = std::min(MaxRequestsPerBatch, groupIds.size() - next);
            open.push_back(StartBatch(job, GroupRange(next, count)));
            next += count;
        }
    };
    // All or nothing: the first failure ends the pass; batches still in
    // flight are let go, their platform objects kept until they complete.
    fill();
    while (!open.empty())
    {
        const size_t done = WaitForOne(job, open);
        OpenBatch batch = std::move(open[done]);
        open.erase(open.begin() + static_cast<std::ptrdiff_t>(done));
        // Its slot stays free until it is complete, so a repeated attempt
        // counts against the limit too.
        CompleteBatch(job, batch);
        fill();
    }
    return drives;
}
