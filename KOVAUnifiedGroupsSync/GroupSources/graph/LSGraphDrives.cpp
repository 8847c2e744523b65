#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphDrives.h"

#include "KOVACommon/http/LSAnswerWait.h"
#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSRetryAfter.h"
#include "KOVACommon/http/LSSecureAddress.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSLibraryAddress.h"
#include "KOVAUnifiedGroupsSync/GroupSources/graph/LSGraphJson.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <map>
#include <numeric>
#include <optional>

namespace {

using LSGraphJson::Json;
using LSGraphJson::Utf8;
using LSGraphJson::Wide;

const wchar_t* const BatchPath = L"$batch";

// The sub-requests of one round that must go again, and the answer that
// asked for the longest back-off: a whole batch's own failure, or one made
// for throttled sub-answers.
struct Throttled
{
    std::vector<size_t> groups;
    std::optional<LSHttpError> longest;

    void Add(const std::vector<size_t>& more, const LSHttpError& answer)
    {
        groups.insert(groups.end(), more.begin(), more.end());
        if (!longest || answer.RetryAfter() > longest->RetryAfter())
            longest = answer;
    }
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

// The library's address, or (an address the host could not open safely:
// empty, not https, a UNC path, ...) the group waits, as for a library not
// made yet, with a message naming the address.
LSGraphDrives::Drive DriveOf(const Json& response, const std::string& context)
{
    const Json* body = LSGraphJson::Find(response, "body");
    LSGraphDrives::Drive drive;
    drive.webUrl = Wide(LSGraphJson::RequireString(body ? *body : Json(), "webUrl", context));
    if (LSLibraryAddress::IsAcceptable(drive.webUrl))
        return drive;
    drive.waits = true;
    drive.message = L"the service gave the library address \"" + LSSecureAddress::Printable(drive.webUrl) +
                    L"\", which is not an absolute https address";
    drive.webUrl.clear();
    return drive;
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

// Records the drives answered, fails on any failed sub-request, and adds
// the throttled ones to those of the round.
void TakeAnswers(const Json& answer, const std::vector<std::wstring>& groupIds, const std::vector<size_t>& pending,
                 std::vector<LSGraphDrives::Drive>& drives, Throttled& throttled)
{
    std::map<std::string, size_t> unanswered;
    for (size_t index : pending)
        unanswered.emplace(SubRequestId(index), index);
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
            drives[index] = DriveOf(response, context);
        else if (IsMissingLibrary(status))
        {
            drives[index].waits = true;
            drives[index].message = SubAnswerMessage(response, status);
        }
        else if (IsThrottling(status))
            throttled.Add({index}, LSHttpError(status, L"drive requests throttled", std::wstring(),
                                               RetryAfterSeconds(response)));
        else
            ThrowSubRequestFailure(response, status, groupIds[index]);
    }
    if (!unanswered.empty())
        LSGraphJson::ThrowInvalidAnswer("the batch answer has no item for group " +
                                        Utf8(groupIds[unanswered.begin()->second]));
}

uint32_t BatchesInFlight()
{
    return LSSetting::GetInstance().ReadWithinRange(LSSettingTable::GraphBatchesInFlight);
}

// What every batch of one pass shares.
struct BatchJob
{
    std::wstring batchUrl;
    const std::wstring& authorization;
    const std::vector<std::wstring>& groupIds;
    std::vector<LSGraphDrives::Drive>& drives;
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
                                                   BatchBody(job.groupIds, batch.pending));
    }
    catch (...)
    {
        // Kept whatever it is, and thrown unchanged when this batch is read.
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
    const size_t done = LSAnswerWait::WaitForFirst(pending);
    for (size_t i = 0; i < open.size(); ++i)
        open[i].waitedMs = pending[i].waitedMs;
    return done;
}

Json ReadBatch(BatchJob& job, OpenBatch& batch)
{
    if (batch.startFailure)
        std::rethrow_exception(batch.startFailure);
    return LSGraphJson::FinishExchange(*batch.request, job.batchUrl);
}

// A batch answered: its drives recorded, its throttled sub-requests (all of
// them when the batch itself was throttled) added to those of the round.
void ReadBatchInto(BatchJob& job, OpenBatch& batch, Throttled& throttled)
{
    Json answer;
    try
    {
        answer = ReadBatch(job, batch);
    }
    catch (const LSHttpError& error)
    {
        if (!CLSBaseWS::IsThrottling(error))
            throw;
        throttled.Add(batch.pending, error);
        return;
    }
    TakeAnswers(answer, job.groupIds, batch.pending, job.drives, throttled);
}

// One round: the groups in batches, up to inFlight of them open at once;
// what comes back throttled is gathered for the next round.
Throttled SendRound(BatchJob& job, const std::vector<size_t>& groups, size_t inFlight)
{
    Throttled throttled;
    std::vector<OpenBatch> open;
    size_t next = 0; // the position in groups of the next batch's first
    const auto fill = [&] {
        while (open.size() < inFlight && next < groups.size())
        {
            const size_t count = std::min(LSGraphDrives::MaxRequestsPerBatch, groups.size() - next);
            const auto first = groups.begin() + static_cast<std::ptrdiff_t>(next);
            open.push_back(StartBatch(job, std::vector<size_t>(first, first + static_cast<std::ptrdiff_t>(count))));
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
        ReadBatchInto(job, batch, throttled);
        fill();
    }
    std::sort(throttled.groups.begin(), throttled.groups.end());
    return throttled;
}

} // namespace

std::vector<LSGraphDrives::Drive> LSGraphDrives::DocumentLibraries(const std::wstring& graphRoot,
                                                                   const std::wstring& authorization,
                                                                   const std::vector<std::wstring>& groupIds)
{
    std::vector<Drive> drives(groupIds.size());
    BatchJob job{graphRoot + BatchPath, authorization, groupIds, drives};
    const size_t inFlight = BatchesInFlight();
    std::vector<size_t> pending = GroupRange(0, groupIds.size());
    // The throttled sub-requests of every batch go again together, after one
    // wait for the longest back-off asked: one retry for the whole pass.
    CLSBaseWS::RetryOnServerUnavailable([&] {
        Throttled throttled = SendRound(job, pending, inFlight);
        if (throttled.groups.empty())
            return;
        pending = std::move(throttled.groups);
        throw *throttled.longest;
    });
    return drives;
}
