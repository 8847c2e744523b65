#include "KOVACommon/http/LSTransportSettings.h"

#include "QuorvalCommon/LSSetting.h"

namespace {

constexpr uint32_t DefaultNoAnswerSeconds = 120;
constexpr uint32_t DefaultLargestLoggedMb = 10;
constexpr uint64_t BytesPerMiB = 1048576;

} // namespace

LSOnceValue<uint32_t>& LSTransportSettings::CachedNoAnswerSeconds()
{
    static LSOnceValue<uint32_t> instance;
    return instance;
}

LSOnceValue<uint64_t>& LSTransportSettings::CachedLargestLoggedResponse()
{
    static LSOnceValue<uint64_t> instance;
    return instance;
}

uint32_t LSTransportSettings::NoAnswerSeconds()
{
    return CachedNoAnswerSeconds().Get([] {
        const uint32_t seconds =
            LSSetting::GetInstance().GetUserDwordConfigDetails(L"KOVA.Http.NoAnswerSeconds", DefaultNoAnswerSeconds)
                .value;
        return seconds == 0 ? 1u : seconds; // zero would abandon every request at the first look
    });
}

uint64_t LSTransportSettings::LargestLoggedResponseBytes()
{
    return CachedLargestLoggedResponse().Get([] {
        return BytesPerMiB *
               LSSetting::GetInstance().GetUserDwordConfigDetails(L"MaxFileSizeToLogMb", DefaultLargestLoggedMb).value;
    });
}
