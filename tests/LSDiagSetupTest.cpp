// The steps of the logging set-up, run one by one inside the test program;
// the logging library's process-wide state is put back after each case.
#include "QuorvalCommon/LSDiagSetup.h"

#include "KOVAVersion.h"
#include "LSDiagAccess.h"
#include "LSSettingAccess.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSFileSystem.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "RegistryTestGuards.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>
#include <shlobj.h>

int HighestVerbosityOnInProbeA();
int HighestVerbosityOnInProbeB();

namespace {

// The switches, process facts and library flags as the test program set them.
class DiagStateGuard
{
public:
    DiagStateGuard()
        : m_diag(LSDiag::DiagEnabled()), m_perf(LSDiag::PerfEnabled()), m_error(LSDiag::ErrorEnabled()),
          m_office(LSDiag::IsOfficeProcess()), m_testRunner(LSDiag::IsTestRunnerProcess()), m_v(FLAGS_v),
          m_logbuflevel(FLAGS_logbuflevel)
    {
    }
    ~DiagStateGuard()
    {
        LSDiagAccess::SetSwitches(m_diag, m_perf, m_error);
        LSDiagAccess::SetProcessFacts(m_office, m_testRunner);
        FLAGS_v = m_v;
        FLAGS_logbuflevel = m_logbuflevel;
    }

private:
    bool m_diag, m_perf, m_error, m_office, m_testRunner;
    int m_v, m_logbuflevel;
};

std::string Facts(const std::wstring& path)
{
    LSDiagSetup::ProcessFacts facts = LSDiagSetup::ClassifyProcess(LSDiagSetup::NormaliseProcessPath(path));
    return std::string(facts.office ? "office" : "-") + "," + (facts.testRunner ? "runner" : "-");
}

std::string Limits(const std::wstring& text)
{
    std::string described;
    for (const LSDiagSetup::ModuleLimit& limit : LSDiagSetup::ParseModuleLimits(text))
        described += limit.module + ":" + std::to_string(limit.level) + " ";
    return described;
}

FILETIME MinutesAfter(const FILETIME& time, long long minutes)
{
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart += static_cast<ULONGLONG>(minutes) * 600000000ULL;
    return {value.LowPart, value.HighPart};
}

} // namespace

TEST(LSDiagSetup, ProcessFactsFollowTheHostExecutable)
{
    EXPECT_EQ("office,-", Facts(L"C:\\Program Files\\Microsoft Office\\root\\Office16\\OUTLOOK.EXE"));
    EXPECT_EQ("office,-", Facts(L"c:\\office\\winword.exe"));
    EXPECT_EQ("office,-", Facts(L"c:\\office\\POWERPNT.exe  "));
    EXPECT_EQ("office,-", Facts(L"c:\\office\\excel.exe"));
    EXPECT_EQ("office,runner", Facts(L"C:\\VS\\Common7\\IDE\\Extensions\\TestPlatform\\vstest.console.exe"));
    EXPECT_EQ("office,runner", Facts(L"c:\\te\\TE.ProcessHost.Managed.exe"));
    EXPECT_EQ("office,runner", Facts(L"z:\\build\\bin\\UnitAndComponentTests.exe"));
    EXPECT_EQ("-,-", Facts(L"C:\\Windows\\System32\\SearchProtocolHost.exe"));
    EXPECT_EQ(L"c:\\office16\\outlook.exe", LSDiagSetup::NormaliseProcessPath(L" \tC:\\Office16\\OUTLOOK.EXE \r\n"));
}

TEST(LSDiagSetup, ModuleLimitsSetPerFileVerbosity)
{
    EXPECT_EQ("LSBaseWS:2 LSSetting:1 ", Limits(L"LSBaseWS=2,LSSetting"));
    EXPECT_EQ("a:1 b:0 c:1 d:7 ", Limits(L",,a=,b=letters,=,c=3=4,,d=07"));
    EXPECT_EQ("", Limits(L""));

    DiagStateGuard state;
    LSDiagSetup::ApplyVerbosity(L"LSDiagVerbosityProbeA=2,LSDiagVerbosityProbeB", 0);
    EXPECT_EQ(0, FLAGS_v);
    EXPECT_EQ(2, HighestVerbosityOnInProbeA());
    EXPECT_EQ(1, HighestVerbosityOnInProbeB());
    EXPECT_FALSE(VLOG_IS_ON(1)) << "files not in the list use the default";

    LSDiagSetup::ApplyVerbosity(L"LSDiagVerbosityProbeA=0,LSDiagVerbosityProbeB=letters", 3);
    EXPECT_EQ(3, FLAGS_v);
    EXPECT_EQ(0, HighestVerbosityOnInProbeA());
    EXPECT_EQ(0, HighestVerbosityOnInProbeB());

    FLAGS_v = 0;
    LSDiagSetup::ApplyVerbosity(L",,", 3);
    EXPECT_EQ(1, FLAGS_v) << "no item: every diagnostic line";

    // The probes' entries cannot be removed from the library; leave them at
    // the program's global level.
    LSDiagSetup::ApplyVerbosity(L"LSDiagVerbosityProbeA=1,LSDiagVerbosityProbeB=1", 1);
}

TEST(LSDiagSetup, SwitchesBannerAndWindowsSearchRule)
{
    RegistryKeyGuard user(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Diag");
    RegistryValueGuard diag(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Diag", LSSettingTable::LogDiag.name);
    RegistryValueGuard error(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Diag", LSSettingTable::LogError.name);
    RegistryValueGuard search(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Diag", LSSettingTable::LogWindowsSearch.name);
    RegistryValueGuard modules(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Diag",
                               LSSettingTable::LogLimitDiagModules.name);
    diag.SetDword(1);
    error.SetDword(1);
    LSSettingAccess::Store store = LSSettingAccess::Create(L"SOFTWARE\\KOVATests\\Diag", L"SOFTWARE\\KOVATests\\None");
    DiagStateGuard state;
    const std::wstring searchHost = L"C:\\Windows\\System32\\SearchProtocolHost.exe";
    {
        LogCapture capture;
        LSDiagSetup::Run(*store, L"KOVA-Test", searchHost);
        EXPECT_FALSE(LSDiag::DiagEnabled() || LSDiag::PerfEnabled() || LSDiag::ErrorEnabled());
        EXPECT_EQ("", capture.All()) << "no banner while every switch is off";
    }
    search.SetDword(1);
    modules.SetString(L"LSBaseWS=2,LSSetting");
    FLAGS_logbuflevel = 0;
    {
        LogCapture capture;
        LSDiagSetup::Run(*store, L"KOVA-Test", searchHost);
        EXPECT_TRUE(LSDiag::DiagEnabled());
        EXPECT_FALSE(LSDiag::PerfEnabled());
        EXPECT_TRUE(LSDiag::ErrorEnabled());
        EXPECT_EQ(-1, FLAGS_logbuflevel);
        EXPECT_EQ(1, FLAGS_v) << "the library was set up by the test program: its verbosity stays";
        EXPECT_EQ((std::vector<std::string>{std::string("Logging initialised for c:\\windows\\system32\\"
                                                        "searchprotocolhost.exe, Version: ") +
                                                KOVA_LONG_VERSION_TEXT + " 64bit, Windows version: 64bit",
                                            "Warning messages limited - default 0, modules are LSBaseWS=2,LSSetting"}),
                  capture.Texts());
        for (const CapturedLine& line : capture.Lines())
            EXPECT_EQ(google::GLOG_INFO, line.severity);
    }
}

TEST(LSDiagSetup, LogRootIsTheSettingOrDocuments)
{
    RegistryKeyGuard user(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Diag");
    RegistryValueGuard logDir(HKEY_CURRENT_USER, L"SOFTWARE\\KOVATests\\Diag", LSSettingTable::LogDir.name);
    user.Create();
    LSSettingAccess::Store store = LSSettingAccess::Create(L"SOFTWARE\\KOVATests\\Diag", L"SOFTWARE\\KOVATests\\None");
    wchar_t documents[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents));
    EXPECT_EQ(std::wstring(documents), LSDiagSetup::GetLogDir(*store));

    ScratchFolder scratch(L"KOVATests-logroot");
    logDir.SetString(scratch / L"root");
    EXPECT_EQ(scratch / L"root", LSDiagSetup::GetLogDir(*store));
    EXPECT_TRUE(PathExists(scratch / L"root")) << "created when missing";
    EXPECT_EQ(L"C:\\logs\\KOVA Logs", LSDiagSetup::LogFolderFor(L"C:\\logs"));
    EXPECT_EQ(L"C:\\KOVA Logs", LSDiagSetup::LogFolderFor(L"C:\\"));
}

TEST(LSDiagSetup, OldLogsOfTheModuleAreSwept)
{
    ScratchFolder folder(L"KOVATests-sweep");
    const long long fourDays = 4 * 24 * 60;
    const std::vector<std::wstring> kept = {
        L"KOVA-UnifiedGroups-20260101-090000.99.log", // two days old
        L"KOVA-UnifiedGroups-old.log",
        L"KOVA-UnifiedGroups-20250101-090000.7.txt",
        L"Other-20250101-090000.7.log",
    };
    WriteFileAged(folder / L"KOVA-UnifiedGroups-20250101-090000.1234.log", "old", fourDays);
    WriteFileAged(folder / kept[0], "recent", 2 * 24 * 60);
    for (size_t i = 1; i < kept.size(); ++i)
        WriteFileAged(folder / kept[i], "old", fourDays);

    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    LogCapture capture;
    LSDiagSetup::DeleteLogsOlderThan(folder.Path(), L"KOVA-UnifiedGroups", 4320, now);
    std::vector<std::wstring> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, FileNames(folder.Path()));
    EXPECT_EQ((std::vector<std::string>{"Deleting old log file - KOVA-UnifiedGroups-20250101-090000.1234.log"}),
              capture.Texts());

    // A file from the future is not old.
    LSDiagSetup::DeleteLogsOlderThan(folder.Path(), L"KOVA-UnifiedGroups", 1, MinutesAfter(now, -fourDays - 10));
    EXPECT_EQ(expected, FileNames(folder.Path()));

    // Only "-" and "." of the module name are escaped.
    const std::wregex pattern = LSDiagSetup::OldLogPattern(L"KOVA.Test-Mod");
    EXPECT_TRUE(std::regex_match(L"KOVA.Test-Mod-20250101-090000.12.log", pattern));
    EXPECT_FALSE(std::regex_match(L"KOVAxTest-Mod-20250101-090000.12.log", pattern));
    EXPECT_FALSE(std::regex_match(L"KOVA.Test-Mod-20250101-090000.12.log.bak", pattern));
}

TEST(LSFileSystemListDirectory, ListsEntriesWithFullPathsAndReportsFailure)
{
    ScratchFolder folder(L"KOVATests-list");
    WriteFileAged(folder / L"a.log", "a", 0);
    WriteFileAged(folder / L"b.log", "b", 0);
    CreateDirectoryW((folder / L"sub").c_str(), nullptr);

    std::vector<std::wstring> seen;
    EXPECT_EQ(S_OK, LSFileSystem::ListDirectory(folder.Path(), L"*", [&](bool isDirectory, const std::wstring& path,
                                                                         const WIN32_FIND_DATAW& entry) {
                  seen.push_back((isDirectory ? L"dir " : L"file ") + path);
                  EXPECT_EQ(folder / entry.cFileName, path);
                  return true;
              }));
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ((std::vector<std::wstring>{L"dir " + (folder / L"sub"), L"file " + (folder / L"a.log"),
                                         L"file " + (folder / L"b.log")}),
              seen);

    size_t calls = 0;
    EXPECT_EQ(S_OK, LSFileSystem::ListDirectory(folder.Path(), L"*.log", [&](bool, const std::wstring&,
                                                                             const WIN32_FIND_DATAW&) {
                  ++calls;
                  return false;
              }));
    EXPECT_EQ(1u, calls) << "stops when the callback says so";

    LogCapture capture;
    const std::wstring missing = folder / L"missing";
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
              LSFileSystem::ListDirectory(missing, L"*.log", [&](bool, const std::wstring&, const WIN32_FIND_DATAW&) {
                  ++calls;
                  return true;
              }));
    EXPECT_EQ(1u, calls);
    EXPECT_EQ((std::vector<std::string>{"Error getting directory contents :" + ToLogText(missing) + "\\*.log:3"}),
              capture.Texts());
}
