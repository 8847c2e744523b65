#include "QuorvalCommon/LSDiagSetup.h"

#include "KOVAVersion.h"
#include "QuorvalCommon/LSDiag.h"
#include "QuorvalCommon/LSFileSystem.h"
#include "QuorvalCommon/LSLog.h"

#include <shlobj.h>
#include <climits>
#include <cwchar>

namespace {

const wchar_t* const kLogFolderName = L"KOVA Logs";
const int64_t kFileTimeUnitsPerMinute = 600000000;

const wchar_t* const kOfficeExecutables[] = {L"outlook.exe", L"winword.exe", L"powerpnt.exe", L"excel.exe"};
const wchar_t* const kTestRunnerExecutables[] = {L"unitandcomponenttests.exe", L"vstest.console.exe",
                                                 L"vstest.executionengine.x86.exe", L"te.processhost.managed.exe"};
const wchar_t* const kWindowsSearchHost = L"searchprotocolhost.exe";

template <size_t N>
bool ContainsAny(const std::wstring& text, const wchar_t* const (&parts)[N])
{
    for (const wchar_t* part : parts)
        if (text.find(part) != std::wstring::npos)
            return true;
    return false;
}

// The non-empty pieces between separators.
std::vector<std::wstring> SplitNonEmpty(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> pieces;
    size_t start = 0;
    while (start <= text.size())
    {
        size_t end = text.find(separator, start);
        if (end == std::wstring::npos)
            end = text.size();
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

int ClampedLevel(long long level)
{
    return static_cast<int>(std::min<long long>(std::max<long long>(level, INT_MIN), INT_MAX));
}

bool IsExistingDirectory(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int64_t FileTimeValue(const FILETIME& time)
{
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

std::wstring ReplaceAll(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

void LSDiagSetup::Run(LSSetting& settings, const std::wstring& moduleName, const std::wstring& processPath)
{
    const CStdStr modulesText = settings.Read(LSSettingTable::LogLimitDiagModules).value;
    const uint32_t limitDefault = settings.Read(LSSettingTable::LogLimitDiagDefault).value;
    std::wstring logFolder;
    if (!google::IsGoogleLoggingInitialized())
    {
        google::InitGoogleLogging("");
        logFolder = ConfigureLogFiles(settings, moduleName, modulesText, limitDefault);
    }

    const std::wstring path = NormaliseProcessPath(processPath);
    SetProcessFacts(ClassifyProcess(path));
    SetSwitches(settings, path);
    if (LSDiag::DiagEnabled() || LSDiag::PerfEnabled() || LSDiag::ErrorEnabled())
    {
        if (!logFolder.empty())
            CreateDirectoryW(logFolder.c_str(), nullptr);
        WriteBanner(path, modulesText, limitDefault);
    }
    // Without a folder of our own there is nothing of ours to sweep.
    if (!logFolder.empty())
        SweepOldLogs(settings, logFolder, moduleName);
}

std::wstring LSDiagSetup::ConfigureLogFiles(LSSetting& settings, const std::wstring& moduleName,
                                            const std::wstring& modulesText, uint32_t limitDefault)
{
    const std::wstring root = GetLogDir(settings);
    if (root.empty())
        return std::wstring();
    const std::wstring folder = LogFolderFor(root);
    // The library appends date, time and process id to the base name.
    const std::string base = WideToMultiByte(folder + L"\\" + moduleName + L"-", CP_ACP);
    google::SetLogDestination(google::GLOG_WARNING, "");
    google::SetLogDestination(google::GLOG_ERROR, "");
    google::SetLogDestination(google::GLOG_INFO, base.c_str());
    ApplyVerbosity(modulesText, limitDefault);
    google::SetLogFilenameExtension(".log");
    return folder;
}

std::wstring LSDiagSetup::NormaliseProcessPath(const std::wstring& path)
{
    CStdStr normalised = CStdStr(path).ToLower();
    normalised.Trim();
    return normalised;
}

LSDiagSetup::ProcessFacts LSDiagSetup::ClassifyProcess(const std::wstring& normalisedPath)
{
    ProcessFacts facts;
    facts.testRunner = ContainsAny(normalisedPath, kTestRunnerExecutables);
    facts.office = facts.testRunner || ContainsAny(normalisedPath, kOfficeExecutables);
    return facts;
}

void LSDiagSetup::SetProcessFacts(const ProcessFacts& facts)
{
    LSDiag::s_isOfficeProcess = facts.office;
    LSDiag::s_isTestRunnerProcess = facts.testRunner;
}

std::vector<LSDiagSetup::ModuleLimit> LSDiagSetup::ParseModuleLimits(const std::wstring& modulesText)
{
    std::vector<ModuleLimit> limits;
    for (const std::wstring& item : SplitNonEmpty(modulesText, L','))
    {
        const std::vector<std::wstring> parts = SplitNonEmpty(item, L'=');
        if (parts.empty())
            continue; // an item made only of "=" names no module
        const int level = parts.size() == 2 ? ClampedLevel(std::wcstoll(parts[1].c_str(), nullptr, 10)) : 1;
        limits.push_back({WideToMultiByte(parts[0], CP_ACP), level});
    }
    return limits;
}

void LSDiagSetup::ApplyVerbosity(const std::wstring& modulesText, uint32_t limitDefault)
{
    if (SplitNonEmpty(modulesText, L',').empty())
    {
        FLAGS_v = 1;
        return;
    }
    FLAGS_v = ClampedLevel(limitDefault);
    for (const ModuleLimit& limit : ParseModuleLimits(modulesText))
        google::SetVLOGLevel(limit.module.c_str(), limit.level);
}

std::wstring LSDiagSetup::GetLogDir(LSSetting& settings)
{
    std::wstring root = settings.Read(LSSettingTable::LogDir).value;
    if (root.empty())
    {
        wchar_t documents[MAX_PATH] = {};
        if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, documents)))
            return std::wstring();
        root = documents;
    }
    if (!root.empty() && !IsExistingDirectory(root))
        CreateDirectoryW(root.c_str(), nullptr);
    return root;
}

std::wstring LSDiagSetup::LogFolderFor(const std::wstring& root)
{
    if (!root.empty() && root.back() == L'\\')
        return root + kLogFolderName;
    return root + L"\\" + kLogFolderName;
}

void LSDiagSetup::SetSwitches(LSSetting& settings, const std::wstring& normalisedPath)
{
    LSDiag::s_diagEnabled = LSDiag::s_perfEnabled = LSDiag::s_errorEnabled = false;
    if (normalisedPath.find(kWindowsSearchHost) != std::wstring::npos &&
        settings.Read(LSSettingTable::LogWindowsSearch).value == 0)
        return;
    LSDiag::s_diagEnabled = settings.Read(LSSettingTable::LogDiag).value != 0;
    LSDiag::s_perfEnabled = settings.Read(LSSettingTable::LogPerf).value != 0;
    LSDiag::s_errorEnabled = settings.Read(LSSettingTable::LogError).value != 0;
    if (LSDiag::s_errorEnabled)
        FLAGS_logbuflevel = -1; // nothing held back in the library's buffer
}

void LSDiagSetup::WriteBanner(const std::wstring& normalisedPath, const std::wstring& modulesText,
                              uint32_t limitDefault)
{
    LS_BANNER_LOG << "Logging initialised for " << ToLogText(normalisedPath) << ", Version: " << KOVA_LONG_VERSION_TEXT
                  << " 64bit" << ", Windows version:" << " 64bit";
    if (!modulesText.empty())
        LS_BANNER_LOG << "Warning messages limited - default " << limitDefault << ", modules are "
                      << ToLogText(modulesText);
}

std::optional<std::wregex> LSDiagSetup::CompiledOldLogPattern(const std::wstring& moduleName)
{
    try
    {
        return OldLogPattern(moduleName);
    }
    catch (const std::regex_error&)
    {
        return std::nullopt;
    }
}

std::wregex LSDiagSetup::OldLogPattern(const std::wstring& moduleName)
{
    const std::wstring escaped = ReplaceAll(ReplaceAll(moduleName, L"-", L"\\-"), L".", L"\\.");
    return std::wregex(CStdStr::Format(L"%ls-\\d+\\-\\d+\\.\\d+.log", escaped.c_str()), std::regex::ECMAScript);
}

void LSDiagSetup::SweepOldLogs(LSSetting& settings, const std::wstring& folder, const std::wstring& moduleName)
{
    const uint32_t minutes = settings.Read(LSSettingTable::LogRetentionMinutes).value;
    if (minutes == 0)
        return;
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    DeleteLogsOlderThan(folder, moduleName, minutes, now);
}

void LSDiagSetup::DeleteLogsOlderThan(const std::wstring& folder, const std::wstring& moduleName, uint32_t minutes,
                                      const FILETIME& now)
{
    // Compiled at the first file old enough: most sweeps at start-up find
    // none, and compiling costs more than the listing.
    std::optional<std::wregex> pattern;
    const int64_t maximumAge = static_cast<int64_t>(minutes) * kFileTimeUnitsPerMinute;
    LSFileSystem::ListDirectory(folder, moduleName + L"-*.log",
                                [&](bool isDirectory, const std::wstring& fullPath, const WIN32_FIND_DATAW& entry) {
                                    const int64_t age = FileTimeValue(now) - FileTimeValue(entry.ftLastWriteTime);
                                    if (isDirectory || age <= maximumAge)
                                        return true;
                                    if (!pattern && !(pattern = CompiledOldLogPattern(moduleName)))
                                        return false; // a name the expression cannot hold: keep every file
                                    if (std::regex_match(entry.cFileName, *pattern))
                                    {
                                        LS_DIAG_LOG << "Deleting old log file - " << ToLogText(entry.cFileName);
                                        DeleteFileW(fullPath.c_str());
                                    }
                                    return true;
                                });
}
