#pragma once
// Diagnostics front end: the process-wide switches that gate log lines, the
// once-per-process logging set-up and the facts about the host process.
#include <string>

class LSDiag
{
public:
    static bool DiagEnabled() { return s_diagEnabled; }
    static bool PerfEnabled() { return s_perfEnabled; }
    static bool ErrorEnabled() { return s_errorEnabled; }

    static bool IsOfficeProcess() { return s_isOfficeProcess; }
    static bool IsTestRunnerProcess() { return s_isTestRunnerProcess; }

    // One-time set-up; later calls return at once.
    static void Initialize(const std::wstring& moduleName);

private:
    // The switches and process facts are written only by the set-up (and by
    // the tests' accessor).
    friend class LSDiagSetup;
    friend class LSDiagAccess;
    static bool s_diagEnabled;
    static bool s_perfEnabled;
    static bool s_errorEnabled;
    static bool s_isOfficeProcess;
    static bool s_isTestRunnerProcess;
};
