#pragma once
// The document library address of each group, asked over Microsoft Graph in
// JSON batches, up to KOVAUnifiedGroups.GraphBatchesInFlight (1 to 8, default
// 4) of them in flight at once on the caller's thread. Sub-requests answered
// with a throttling status (all of a batch so answered) are gathered over
// every batch and sent again together after one wait, the longest back-off
// asked, under the transport's throttling retry (at most 5 rounds per pass,
// light-sync mode on at each).
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"

#include <cstddef>
#include <string>
#include <vector>

class LSGraphDrives
{
public:
    // The service's limit of sub-requests in one batch.
    static constexpr size_t MaxRequestsPerBatch = 20;

    // One group's answer: its library's webUrl, or why the group waits for
    // its library: the service's message when it answered 404 or 403 (a
    // library not provisioned yet), or the address given when the host could
    // not open it safely (LSLibraryAddress).
    struct Drive
    {
        std::wstring webUrl;
        bool waits = false;
        std::wstring message;
    };

    // The drive of each group, in the order of groupIds, as received. Any
    // other failed sub-request throws its LSHttpError, an answer without the
    // expected shape fails as unexpected.
    static std::vector<Drive> DocumentLibraries(const std::wstring& graphRoot,
                                                         const std::wstring& authorization,
                                                         const std::vector<std::wstring>& groupIds);
};
