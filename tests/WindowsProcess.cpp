#include "WindowsProcess.h"

#include "TestFiles.h"
#include "UniqueHandles.h"

#include <windows.h>
#include <thread>
#include <vector>

namespace {

std::string ReadAll(HANDLE pipe)
{
    std::string output;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        output.append(buffer, read);
    return output;
}

} // namespace

ProcessResult RunProcess(const std::wstring& commandLine, unsigned long timeoutMs)
{
    ProcessResult result;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    UniqueHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.Put(), writeEnd.Put(), &inherit, 0))
        return result;
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return result;
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    writeEnd.Reset(); // the pipe ends when the child closes its copy

    std::string output;
    std::thread reader([&] { output = ReadAll(readEnd.Get()); });
    result.finished = WaitForSingleObject(processHandle.Get(), timeoutMs) == WAIT_OBJECT_0;
    if (!result.finished)
        TerminateProcess(processHandle.Get(), 1);
    reader.join();
    GetExitCodeProcess(processHandle.Get(), &result.exitCode);
    result.output = output;
    return result;
}

std::wstring ComponentDllPath()
{
    return TestProgramFolder() + L"\\KOVAUnifiedGroupsSync64.dll";
}
