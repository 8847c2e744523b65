#pragma once
// The work of the once-per-process logging set-up as functions of the
// settings, the module name and the host's path, so that each step can run
// on its own; LSDiag::Initialize runs it once under its lock.
#include "QuorvalCommon/LSSetting.h"

#include <windows.h>
#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <vector>

class LSDiagSetup
{
public:
    struct ProcessFacts
    {
        bool office = false;
        bool testRunner = false;
    };

    struct ModuleLimit
    {
        std::string module; // ANSI, as the logging library matches it
        int level;
    };

    // Library set-up (only while the library is not yet initialised), process
    // facts, switches, banner and old-log sweep.
    static void Run(LSSetting& settings, const std::wstring& moduleName, const std::wstring& processPath);

    // Lower-cased, white space trimmed at both ends.
    static std::wstring NormaliseProcessPath(const std::wstring& path);
    static ProcessFacts ClassifyProcess(const std::wstring& normalisedPath);

    // "module=level" items of the comma-separated text; a lone name gets 1.
    static std::vector<ModuleLimit> ParseModuleLimits(const std::wstring& modulesText);
    static void ApplyVerbosity(const std::wstring& modulesText, uint32_t limitDefault);

    // The log root: the setting, or the user's Documents folder; created when
    // missing. Empty when neither is available.
    static std::wstring GetLogDir(LSSetting& settings);
    static std::wstring LogFolderFor(const std::wstring& root);

    // All stay off in the Windows Search host unless logging there is allowed.
    static void SetSwitches(LSSetting& settings, const std::wstring& normalisedPath);
    static void WriteBanner(const std::wstring& normalisedPath, const std::wstring& modulesText, uint32_t limitDefault);

    // Module name + "-" + date + "-" + time + "." + process id + ".log".
    static std::wregex OldLogPattern(const std::wstring& moduleName);
    // The same, or nothing when the expression cannot hold the name.
    static std::optional<std::wregex> CompiledOldLogPattern(const std::wstring& moduleName);
    static void SweepOldLogs(LSSetting& settings, const std::wstring& folder, const std::wstring& moduleName);
    static void DeleteLogsOlderThan(const std::wstring& folder, const std::wstring& moduleName, uint32_t minutes,
                                    const FILETIME& now);

private:
    // Points the library at the module's file; returns the log folder, empty
    // when there is no log root.
    static std::wstring ConfigureLogFiles(LSSetting& settings, const std::wstring& moduleName,
                                          const std::wstring& modulesText, uint32_t limitDefault);
    static void SetProcessFacts(const ProcessFacts& facts);
};
