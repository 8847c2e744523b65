#pragma once
// Every setting the component reads or writes through the settings store:
// its name, kind, default, the range an administrator may set and when it is
// read. Code takes names and defaults from here and writes none of them
// again; the policy test holds the Group Policy templates against this table
// (policy/test_policy_templates.py reads it: keep one row to a declaration).
#include <cstddef>
#include <cstdint>

enum class LSSettingUse
{
    EveryUse,         // read each time it is needed: a change counts from the next use
    OncePerProcess,   // read on first use and kept: a change counts from the next process
    ComponentWritten, // the component writes it into the user's key (and may read it back)
};

// The values a text setting accepts, compared without regard to case.
struct LSSettingChoices
{
    const wchar_t* const* values = nullptr;
    size_t count = 0;

    constexpr LSSettingChoices() = default;
    template <size_t N>
    constexpr LSSettingChoices(const wchar_t* const (&list)[N]) : values(list), count(N)
    {
    }
};

// REG_SZ (REG_EXPAND_SZ and REG_MULTI_SZ read as text too). A null default:
// the reader works it out (it names where from).
struct LSTextSetting
{
    const wchar_t* name;
    const wchar_t* defaultValue;
    LSSettingUse use;
    LSSettingChoices choices = {};
};

// REG_DWORD. Without a range every 32-bit value is one to set.
struct LSNumberSetting
{
    const wchar_t* name;
    uint32_t defaultValue;
    LSSettingUse use;
    uint32_t least = 0;
    uint32_t most = UINT32_MAX;
};

namespace LSSettingTable {

constexpr LSSettingUse EveryUse = LSSettingUse::EveryUse;
constexpr LSSettingUse OncePerProcess = LSSettingUse::OncePerProcess;
constexpr LSSettingUse ComponentWritten = LSSettingUse::ComponentWritten;

// The group listing and its items.
inline constexpr LSTextSetting ClientId{L"KOVAUnifiedGroups.ClientId", L"AB55A6B4-82D6-4A6E-90E7-33349761E62F", EveryUse};
inline constexpr LSTextSetting Resource{L"KOVAUnifiedGroups.Resource", L"https://outlook.office365.com/", EveryUse};
inline constexpr LSTextSetting GraphRoot{L"KOVAUnifiedGroups.GraphRoot", L"https://graph.microsoft.com/v1.0/", EveryUse};
inline constexpr LSTextSetting GroupResourceName{L"KOVAUnifiedGroups.GroupResourceName", L"Files", EveryUse};
// Auto first, then the services in the order the source choice names them.
inline constexpr const wchar_t* BackendChoices[] = {L"Auto", L"EWS", L"Graph"};
inline constexpr LSTextSetting Backend{L"KOVAUnifiedGroups.Backend", L"Auto", EveryUse, BackendChoices};
// The service the Auto rule remembers for the user ("EWS" or "Graph").
inline constexpr LSTextSetting AutoBackend{L"KOVAUnifiedGroups.AutoBackend", L"", ComponentWritten};
inline constexpr LSNumberSetting GraphBatchesInFlight{L"KOVAUnifiedGroups.GraphBatchesInFlight", 4, EveryUse, 1, 8};
inline constexpr LSNumberSetting LibraryRefreshHours{L"KOVAUnifiedGroups.LibraryRefreshHours", 24, EveryUse, 0, 720};
inline constexpr LSTextSetting ParentFolders{L"KOVAUnifiedGroups.ParentFolders", L"Unified Groups", EveryUse};
inline constexpr LSNumberSetting TrainingEnabled{L"KOVAUnifiedGroups.TrainingEnabled", 0, EveryUse, 0, 1};
inline constexpr LSNumberSetting HeaderDownloadType{L"KOVAUnifiedGroups.HeaderDownloadType", 4, EveryUse};

// Web requests.
inline constexpr LSNumberSetting NoAnswerSeconds{L"KOVA.Http.NoAnswerSeconds", 120, OncePerProcess, 1, 86400};
inline constexpr const wchar_t* HttpClientChoices[] = {L"WinHTTP", L"XMLHTTP"};
inline constexpr LSTextSetting HttpClient{L"KOVA.Http.Client", L"WinHTTP", OncePerProcess, HttpClientChoices};
inline constexpr LSNumberSetting LogRequests{L"KOVA.Log.WebServiceReq", 0, EveryUse, 0, 1};
inline constexpr LSNumberSetting LogResponses{L"KOVA.Log.WebServiceResp", 0, EveryUse, 0, 1};
inline constexpr LSNumberSetting LargestLoggedResponseMb{L"MaxFileSizeToLogMb", 10, OncePerProcess, 1, 4096};
// The older, misspelt name: its value is the default of the current one.
inline constexpr LSNumberSetting OlderHealthScoreThreshold{L"SharePointSync.HeathScoreThreshold", 9, OncePerProcess};
inline constexpr LSNumberSetting HealthScoreThreshold{L"SharePointSync.HealthScoreThreshold", 9, OncePerProcess, 0, 10};
inline constexpr LSNumberSetting HealthScoreDelayMs{L"SharePointSync.ThresholdExceededDelayMS", 5000, OncePerProcess, 0, 600000};
inline constexpr LSNumberSetting LightSyncMinutes{L"SharePointSync.HealthScoreLightSyncDuration", 2, OncePerProcess, 0, 1440};
inline constexpr LSTextSetting LightSyncEndTime{L"SharepointSync.HealthScoreLightSyncEndTime", L"", ComponentWritten};
inline constexpr LSNumberSetting UseUserAgent{L"KOVA.UseKOVAUserAgent", 1, OncePerProcess, 0, 1};

// Recording and replaying requests, in a test-runner process only: 0 the
// platform's requests, 1 recorded, 2 replayed.
inline constexpr LSNumberSetting RequestReplay{L"Mock.ILSHttpRequest", 0, EveryUse, 0, 2};
inline constexpr LSTextSetting RequestReplayConfig{L"Mock.ILSHttpRequest.Config", L"", EveryUse};
inline constexpr LSTextSetting RequestReplayFolder{L"Mock.ILSHttpRequest.BaseRecordingDirectory", L"recordings", EveryUse};

// The mail client and the product around the component.
inline constexpr LSTextSetting LastActiveProfileDir{L"KOVA.LastActiveProfileDir", L"", ComponentWritten};
inline constexpr LSTextSetting ForceOutlookVersion{L"Tenbrid.ForceOutlookVersion", L"", OncePerProcess};
inline constexpr LSTextSetting CachedOutlookLocation{L"KOVA.CachedLocation.MSPST", L"", OncePerProcess};
inline constexpr LSTextSetting InstallDir{L"InstallDir", L"", OncePerProcess};
inline constexpr LSTextSetting OverrideLangId{L"OverrideLangId", L"", EveryUse};
// Default: the store name of the brand library.
inline constexpr LSTextSetting OverrideMessageStoreName{L"OverrideMessageStoreName", nullptr, OncePerProcess};
inline constexpr LSTextSetting OverrideAppDataPath{L"OverrideAppDataPath", L"", OncePerProcess};

// Logging, set up when the filter is first created.
inline constexpr LSTextSetting LogDir{L"KOVA.LogDir", L"", OncePerProcess};
inline constexpr LSNumberSetting LogDiag{L"KOVA.Log.Diag", 0, OncePerProcess, 0, 1};
inline constexpr LSNumberSetting LogPerf{L"KOVA.Log.Perf", 0, OncePerProcess, 0, 1};
inline constexpr LSNumberSetting LogError{L"KOVA.Log.Error", 0, OncePerProcess, 0, 1};
inline constexpr LSTextSetting LogLimitDiagModules{L"KOVA.Log.LimitDiagModules", L"", OncePerProcess};
inline constexpr LSNumberSetting LogLimitDiagDefault{L"KOVA.Log.LimitDiagDefault", 0, OncePerProcess, 0, 9};
inline constexpr LSNumberSetting LogWindowsSearch{L"KOVA.Log.WindowsSearch", 0, OncePerProcess, 0, 1};
// 0 keeps every log; the templates offer at least a minute.
inline constexpr LSNumberSetting LogRetentionMinutes{L"KOVA.Log.DeleteLogsAfterMins", 4320, OncePerProcess, 1, 5256000};

} // namespace LSSettingTable
