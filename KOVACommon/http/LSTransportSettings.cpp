#include "KOVACommon/http/LSTransportSettings.h"

#include "QuorvalCommon/LSSetting.h"

namespace {

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
        const uint32_t seconds = LSSetting::GetInstance().Read(LSSettingTable::NoAnswerSeconds).value;
        return seconds == 0 ? 1u : seconds; // zero would abandon every request at the first look
    });
}

uint64_t LSTransportSettings::LargestLoggedResponseBytes()
{
    return CachedLargestLoggedResponse().Get([] {
        return BytesPerMiB * LSSetting::GetInstance().Read(LSSettingTable::LargestLoggedResponseMb).value;
    });
}
