#pragma once
// The transport's settings that are read once per process, on first use: how
// long an answer may take and how large an answer may be written to the log.
#include "QuorvalCommon/LSOnceValue.h"

#include <cstdint>

class LSTransportSettings
{
public:
    // KOVA.Http.NoAnswerSeconds: default 120 s, at least 1 s.
    static uint32_t NoAnswerSeconds();
    // MaxFileSizeToLogMb in bytes: default 10 MB.
    static uint64_t LargestLoggedResponseBytes();

private:
    static LSOnceValue<uint32_t>& CachedNoAnswerSeconds();
    static LSOnceValue<uint64_t>& CachedLargestLoggedResponse();
};
