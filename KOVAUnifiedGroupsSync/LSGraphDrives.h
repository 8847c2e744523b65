#pragma once
// The document library address of each group, asked over Microsoft Graph in
// JSON batches, up to KOVAUnifiedGroups.GraphBatchesInFlight (1 to 8, default
// 4) of them in flight at once on the caller's thread. Sub-requests answered
// with a throttling status (or a whole batch so answered) are sent again, on
// their own, after their Retry-After, under the transport's throttling retry
// (at most 5 attempts per batch, light-sync mode on at each).
#include "KOVASyncBasicsPtrs.h"

#include <cstddef>
#include <string>
#include <vector>

class LSGraphDrives
{
public:
    // The service's limit of sub-requests in one batch.
    static constexpr size_t MaxRequestsPerBatch = 20;

    // The drive webUrl of each group, in the order of groupIds, as received.
    // All or nothing: a failed sub-request throws its LSHttpError, an answer
    // without the expected shape fails as unexpected.
    static std::vector<std::wstring> DocumentLibraryUrls(const std::wstring& graphRoot,
                                                         const std::wstring& authorization,
                                                         const std::vector<std::wstring>& groupIds,
                                                         ILSShutdownInformerPtr& shutdownInformer);
};
