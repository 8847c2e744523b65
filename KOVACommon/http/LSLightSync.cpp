#include "KOVACommon/http/LSLightSync.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSOnceValue.h"
#include "QuorvalCommon/LSSetting.h"

namespace {

constexpr uint64_t FileTimeUnitsPerMinute = 600000000ull;

LSOnceValue<LSLightSync::HealthScoreSettings>& CachedSettings()
{
    static LSOnceValue<LSLightSync::HealthScoreSettings> instance;
    return instance;
}

LSLightSync::HealthScoreSettings ReadSettings()
{
    LSSetting& store = LSSetting::GetInstance();
    // The older, misspelt key supplies the default of the current one.
    const uint32_t olderThreshold = store.Read(LSSettingTable::OlderHealthScoreThreshold).value;
    LSLightSync::HealthScoreSettings settings;
    settings.threshold =
        store.GetUserDwordConfigDetails(LSSettingTable::HealthScoreThreshold.name, olderThreshold).value;
    settings.exceededDelayMs = store.Read(LSSettingTable::HealthScoreDelayMs).value;
    settings.lightSyncMinutes = store.Read(LSSettingTable::LightSyncMinutes).value;
    return settings;
}

} // namespace

LSLightSync::HealthScoreSettings LSLightSync::GetHealthScoreSettings()
{
    return CachedSettings().Get(ReadSettings);
}

std::wstring LSLightSync::FormatIsoUtc(const SYSTEMTIME& time)
{
    return CStdStr::Format(L"%hu-%.2hu-%.2huT%.2hu:%.2hu:%.2huZ", time.wYear, time.wMonth, time.wDay, time.wHour,
                           time.wMinute, time.wSecond);
}

std::wstring LSLightSync::LightSyncEndTimeFromNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER end;
    end.LowPart = now.dwLowDateTime;
    end.HighPart = now.dwHighDateTime;
    end.QuadPart += GetHealthScoreSettings().lightSyncMinutes * FileTimeUnitsPerMinute;
    FILETIME endTime;
    endTime.dwLowDateTime = end.LowPart;
    endTime.dwHighDateTime = end.HighPart;
    SYSTEMTIME calendar;
    if (!FileTimeToSystemTime(&endTime, &calendar))
        return std::wstring();
    return FormatIsoUtc(calendar);
}

bool LSLightSync::EnableLightSync()
{
    if (GetHealthScoreSettings().lightSyncMinutes == 0)
        return false;
    const std::wstring end = LightSyncEndTimeFromNow();
    if (end.empty())
        return false;
    LSSetting::GetInstance().Save(LSSettingTable::LightSyncEndTime, end);
    LS_DIAG_LOG << "SharePoint Light Sync mode enabled due to exceeded health score threshold or 503/429, "
                   "Background syncing disabled until: "
                << ToLogText(end);
    return true;
}
