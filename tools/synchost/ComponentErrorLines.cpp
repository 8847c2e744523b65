#include "ComponentErrorLines.h"

#include "LSSetting.h"
#include "RegistryValueOverride.h"
#include "UniqueHandles.h"
#include "hresult_exception.h"

#include <windows.h>
#include <regex>
#include <vector>

namespace {

const wchar_t PassCopyVariable[] = L"KOVA_SYNCHOST_PASS_COPY";

// The logging library's line prefix: severity, date, time.
bool IsLogLine(const std::string& line)
{
    static const std::regex prefix("^[IWEF][0-9]{8} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    return std::regex_search(line, prefix);
}

std::wstring ScratchLogFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "GetTempPathW");
    const std::wstring folder = std::wstring(temp) + L"synchost-logs-" + std::to_wstring(GetCurrentProcessId());
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "CreateDirectoryW");
    return folder;
}

// The folder holds only what the component's logging made: "KOVA Logs" and its files.
void RemoveScratchLogFolder(const std::wstring& folder)
{
    const std::wstring logs = folder + L"\\KOVA Logs";
    WIN32_FIND_DATAW entry;
    UniqueFindHandle find(FindFirstFileW((logs + L"\\*").c_str(), &entry));
    if (find)
    {
        do
        {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((logs + L"\\" + entry.cFileName).c_str());
        } while (FindNextFileW(find.Get(), &entry));
    }
    find.Reset();
    RemoveDirectoryW(logs.c_str());
    RemoveDirectoryW(folder.c_str());
}

// Ctrl+C reaches both processes: the copy stops its pass, this one waits for it.
BOOL WINAPI WaitForTheCopy(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

UniqueHandle InheritableCopy(HANDLE handle)
{
    HANDLE copy = nullptr;
    if (handle && handle != INVALID_HANDLE_VALUE &&
        DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        return UniqueHandle(copy);
    return UniqueHandle();
}

class PassCopy
{
public:
    PassCopy()
    {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE read = nullptr;
        HANDLE write = nullptr;
        if (!CreatePipe(&read, &write, &inherit, 0))
            throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "CreatePipe");
        m_errors.Reset(read);
        UniqueHandle errorEnd(write);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
        Start(errorEnd.Get());
    }

    // Every line the copy writes to standard error, until it ends.
    template <typename OnLine>
    void ReadLines(OnLine onLine)
    {
        std::string pending;
        char buffer[4096];
        DWORD count = 0;
        while (ReadFile(m_errors.Get(), buffer, sizeof buffer, &count, nullptr) && count > 0)
        {
            pending.append(buffer, count);
            for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n'))
            {
                onLine(pending.substr(0, end + 1));
                pending.erase(0, end + 1);
            }
        }
        if (!pending.empty())
            onLine(pending + "\n");
    }

    int ExitCode()
    {
        WaitForSingleObject(m_process.Get(), INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(m_process.Get(), &code);
        return static_cast<int>(code);
    }

private:
    void Start(HANDLE errorEnd)
    {
        UniqueHandle input = InheritableCopy(GetStdHandle(STD_INPUT_HANDLE));
        UniqueHandle output = InheritableCopy(GetStdHandle(STD_OUTPUT_HANDLE));
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = input.Get();
        startup.hStdOutput = output.Get();
        startup.hStdError = errorEnd;
        std::wstring commandLine = GetCommandLineW();
        const std::wstring program = LSSetting::GetModuleFileNameSafe(nullptr);
        PROCESS_INFORMATION started = {};
        if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                            &started))
            throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "CreateProcessW");
        CloseHandle(started.hThread);
        m_process.Reset(started.hProcess);
    }

    UniqueHandle m_errors;
    UniqueHandle m_process;
};

} // namespace

bool ShouldCaptureComponentErrorLines()
{
    if (GetEnvironmentVariableW(PassCopyVariable, nullptr, 0) != 0)
        return false;
    return LSSetting::GetInstance().GetUserDwordConfigDetails(L"KOVA.Log.Error", 0).value == 0;
}

int RunPassCapturingComponentErrorLines(const std::function<void(const std::string&)>& write)
{
    const std::wstring folder = ScratchLogFolder();
    std::vector<std::string> componentLines;
    int exitCode = 1;
    try
    {
        const std::wstring settings = LSSetting::GetSettingsKeyPath();
        RegistryValueOverride errors(HKEY_CURRENT_USER, settings, L"KOVA.Log.Error", DWORD(1));
        RegistryValueOverride logDir(HKEY_CURRENT_USER, settings, L"KOVA.LogDir", folder);
        SetEnvironmentVariableW(PassCopyVariable, L"1");
        PassCopy copy;
        SetConsoleCtrlHandler(WaitForTheCopy, TRUE);
        copy.ReadLines([&](const std::string& line) {
            if (IsLogLine(line))
                componentLines.push_back(line);
            else
                write(line);
        });
        exitCode = copy.ExitCode();
        SetConsoleCtrlHandler(WaitForTheCopy, FALSE);
    }
    catch (...)
    {
        SetEnvironmentVariableW(PassCopyVariable, nullptr);
        RemoveScratchLogFolder(folder);
        throw;
    }
    RemoveScratchLogFolder(folder);
    if (exitCode == 1 && !componentLines.empty())
    {
        write("synchost: the component's error lines of this run:\n");
        for (const std::string& line : componentLines)
            write(line);
    }
    return exitCode;
}
