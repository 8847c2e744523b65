// The once-per-process logging set-up, end to end: each case starts the probe
// host (tests/probes) with chosen settings under a chosen executable name and
// reads back its log folder and the facts it reports.
#include "KOVAVersion.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "RegistryTestGuards.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <regex>

namespace {

struct ProbeRun
{
    DWORD exitCode = 1;
    DWORD processId = 0;
    std::string facts;
};

std::wstring ProbePath()
{
    const std::wstring exe = LSSetting::GetModuleFileNameSafe(nullptr);
    return exe.substr(0, exe.find_last_of(L'\\')) + L"\\LSDiagProbe.exe";
}

const std::wregex kLogFileName(LR"(KOVA-UnifiedGroups-(\d{8})-(\d{6})\.(\d+)\.log)");

// Log files written by the given process.
std::vector<std::wstring> LogFilesOf(const std::wstring& folder, DWORD processId)
{
    std::vector<std::wstring> found;
    for (const std::wstring& name : FileNames(folder))
    {
        std::wsmatch match;
        if (std::regex_match(name, match, kLogFileName) && std::stoul(match[3].str()) == processId)
            found.push_back(name);
    }
    return found;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

class LSDiagInitializeTest : public testing::Test
{
protected:
    LSDiagInitializeTest() : m_scratch(L"KOVATests-initialize")
    {
        LSSetting::GetInstance(); // the user key exists before the guards look
        for (const wchar_t* name : {LSSettingTable::LogDir.name, LSSettingTable::LogDiag.name,
                                    LSSettingTable::LogPerf.name, LSSettingTable::LogError.name,
                                    LSSettingTable::LogLimitDiagModules.name, LSSettingTable::LogLimitDiagDefault.name,
                                    LSSettingTable::LogWindowsSearch.name, LSSettingTable::LogRetentionMinutes.name})
            m_settings[name] =
                std::make_unique<RegistryValueGuard>(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath(), name);
    }

    void SetUp() override
    {
        for (auto& setting : m_settings)
            setting.second->Delete();
    }

    RegistryValueGuard& Setting(const std::wstring& name) { return *m_settings.at(name); }

    // A copy of the probe under another name, as another host would run it.
    std::wstring ProbeCopy(const std::wstring& relativePath)
    {
        const std::wstring copy = m_scratch / relativePath;
        for (size_t at = relativePath.find(L'\\'); at != std::wstring::npos; at = relativePath.find(L'\\', at + 1))
            CreateDirectoryW((m_scratch / relativePath.substr(0, at)).c_str(), nullptr);
        EXPECT_TRUE(CopyFileW(ProbePath().c_str(), copy.c_str(), FALSE)) << GetLastError();
        return copy;
    }

    ProbeRun Run(const std::wstring& exe)
    {
        ProbeRun run;
        const std::wstring factsFile = m_scratch / L"facts.txt";
        DeleteFileW(factsFile.c_str());
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        UniqueHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr));
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.Get();
        std::wstring commandLine = L"\"" + exe + L"\" \"" + factsFile + L"\"";
        PROCESS_INFORMATION process = {};
        if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &process))
        {
            ADD_FAILURE() << "cannot start " << ToLogText(exe) << ": " << GetLastError();
            return run;
        }
        UniqueHandle processHandle(process.hProcess);
        UniqueHandle threadHandle(process.hThread);
        if (WaitForSingleObject(processHandle.Get(), 60000) != WAIT_OBJECT_0)
        {
            TerminateProcess(processHandle.Get(), 1);
            ADD_FAILURE() << "probe did not finish";
        }
        GetExitCodeProcess(processHandle.Get(), &run.exitCode);
        run.processId = process.dwProcessId;
        run.facts = ReadWholeFile(factsFile);
        return run;
    }

    ScratchFolder m_scratch;
    std::map<std::wstring, std::unique_ptr<RegistryValueGuard>> m_settings;
};

} // namespace

TEST_F(LSDiagInitializeTest, NoLogFileWhileAllSwitchesAreOff)
{
    const std::wstring root = m_scratch / L"root";
    Setting(LSSettingTable::LogDir.name).SetString(root);
    ProbeRun run = Run(ProbePath());
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("office=0 testrunner=0 diag=0 perf=0 error=0 v=1 logbuflevel=0", run.facts);
    EXPECT_TRUE(PathExists(root)) << "the root is created";
    EXPECT_FALSE(PathExists(root + L"\\KOVA Logs"));
}

TEST_F(LSDiagInitializeTest, OneLogFilePerProcessWithOneBannerAndOldLogsSwept)
{
    const std::wstring root = m_scratch / L"root";
    const std::wstring logs = root + L"\\KOVA Logs";
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(logs.c_str(), nullptr);
    const long long fourDays = 4 * 24 * 60;
    WriteFileAged(logs + L"\\KOVA-UnifiedGroups-20250101-090000.1234.log", "old", fourDays);
    WriteFileAged(logs + L"\\KOVA-UnifiedGroups-old.log", "old", fourDays);
    WriteFileAged(logs + L"\\KOVA-UnifiedGroups-20250102-090000.1234.log", "recent", 60);
    Setting(LSSettingTable::LogDir.name).SetString(root);
    Setting(LSSettingTable::LogDiag.name).SetDword(1);
    Setting(LSSettingTable::LogError.name).SetDword(1);
    Setting(LSSettingTable::LogLimitDiagModules.name).SetString(L"LSDiagProbe=2,LSDiagSetup");
    Setting(LSSettingTable::LogLimitDiagDefault.name).SetDword(0);

    ProbeRun run = Run(ProbePath());
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ("office=0 testrunner=0 diag=1 perf=0 error=1 v=0 logbuflevel=-1", run.facts);

    const std::vector<std::wstring> written = LogFilesOf(logs, run.processId);
    ASSERT_EQ(1u, written.size()) << "one file per process";
    std::vector<std::wstring> expected = {L"KOVA-UnifiedGroups-20250102-090000.1234.log", L"KOVA-UnifiedGroups-old.log",
                                          written[0]};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FileNames(logs)) << "the four-day-old file of the name form is swept";

    const std::string log = ReadWholeFile(logs + L"\\" + written[0]);
    EXPECT_EQ(1u, Occurrences(log, "Logging initialised for ")) << log;
    EXPECT_EQ(1u, Occurrences(log, "Logging initialised for " + ToLogText(CStdStr(ProbePath()).ToLower()) +
                                       ", Version: " + KOVA_LONG_VERSION_TEXT + " 64bit, Windows version: 64bit\r\n"))
        << log;
    EXPECT_EQ(1u, Occurrences(log, "Warning messages limited - default 0, modules are LSDiagProbe=2,LSDiagSetup"));
    EXPECT_EQ(1u, Occurrences(log, "Deleting old log file - KOVA-UnifiedGroups-20250101-090000.1234.log"));
    EXPECT_EQ(1u, Occurrences(log, "probe diagnostic line"));
    EXPECT_EQ(0u, Occurrences(log, "other diagnostic line")) << "its module is limited to the default 0";
    EXPECT_EQ(1u, Occurrences(log, "probe error line"));
}

TEST_F(LSDiagInitializeTest, HostPathDecidesFactsAndTheWindowsSearchRule)
{
    const std::wstring root = m_scratch / L"root";
    const std::wstring logs = root + L"\\KOVA Logs";
    Setting(LSSettingTable::LogDir.name).SetString(root);
    Setting(LSSettingTable::LogDiag.name).SetDword(1);

    const std::wstring searchHost = ProbeCopy(L"System32\\SearchProtocolHost.exe");
    ProbeRun run = Run(searchHost);
    EXPECT_EQ("office=0 testrunner=0 diag=0 perf=0 error=0 v=1 logbuflevel=0", run.facts);
    EXPECT_FALSE(PathExists(logs));

    Setting(LSSettingTable::LogWindowsSearch.name).SetDword(1);
    run = Run(searchHost);
    EXPECT_EQ("office=0 testrunner=0 diag=1 perf=0 error=0 v=1 logbuflevel=0", run.facts);
    EXPECT_EQ(1u, LogFilesOf(logs, run.processId).size());

    // With the sweep switched off an old file stays; with the default it goes.
    const std::wstring old = logs + L"\\KOVA-UnifiedGroups-20250101-090000.77.log";
    WriteFileAged(old, "old", 4 * 24 * 60);
    Setting(LSSettingTable::LogDiag.name).Delete();
    Setting(LSSettingTable::LogRetentionMinutes.name).SetDword(0);
    run = Run(ProbeCopy(L"root16\\Office16\\OUTLOOK.EXE"));
    EXPECT_EQ("office=1 testrunner=0 diag=0 perf=0 error=0 v=1 logbuflevel=0", run.facts);
    EXPECT_TRUE(PathExists(old));

    Setting(LSSettingTable::LogRetentionMinutes.name).Delete();
    run = Run(ProbeCopy(L"vstest\\vstest.console.exe"));
    EXPECT_EQ("office=1 testrunner=1 diag=0 perf=0 error=0 v=1 logbuflevel=0", run.facts);
    EXPECT_FALSE(PathExists(old));
}
