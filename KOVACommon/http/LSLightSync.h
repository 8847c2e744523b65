#pragma once
// Light-sync mode: while the saved end time lies ahead, the host does no
// background syncing. Switched on by a high server health score and by every
// throttling answer.
#include <windows.h>
#include <cstdint>
#include <string>

class LSLightSync
{
public:
    // The health-score settings, read once per process on first use.
    struct HealthScoreSettings
    {
        uint32_t threshold;           // 1 to 10; 0 switches the check off
        uint32_t exceededDelayMs;     // wait when the threshold is reached
        uint32_t lightSyncMinutes;    // 0 switches light-sync mode off
    };
    static HealthScoreSettings GetHealthScoreSettings();

    // Saves now + the light-sync duration as the end time; true when an end
    // time was written (or already equal).
    static bool EnableLightSync();
    static std::wstring LightSyncEndTimeFromNow();
    static std::wstring FormatIsoUtc(const SYSTEMTIME& time);
};
