#include "WindowsProcess.h"

#include "QuorvalCommon/UniqueHandles.h"
#include "TestFiles.h"

#include <windows.h>
#include <thread>
#include <vector>

namespace {

// One pipe for one output stream of the child; the child gets the write end.
class OutputPipe
{
public:
    OutputPipe()
    {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        if (CreatePipe(m_read.Put(), m_write.Put(), &inherit, 0))
            SetHandleInformation(m_read.Get(), HANDLE_FLAG_INHERIT, 0);
    }
    bool Valid() const { return m_read.IsValid() && m_write.IsValid(); }
    HANDLE ChildEnd() const { return m_write.Get(); }
    // After the child started: our copy of its end goes, so reading ends
    // when the child's copy closes.
    void StartReading()
    {
        m_write.Reset();
        m_reader = std::thread([this] {
            char buffer[4096];
            DWORD read = 0;
            while (ReadFile(m_read.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
                m_text.append(buffer, read);
        });
    }
    std::string Finish()
    {
        if (m_reader.joinable())
            m_reader.join();
        return m_text;
    }

private:
    UniqueHandle m_read;
    UniqueHandle m_write;
    std::thread m_reader;
    std::string m_text;
};

} // namespace

ProcessResult RunProcess(const std::wstring& commandLine, unsigned long timeoutMs)
{
    ProcessResult result;
    OutputPipe output, errors;
    if (!output.Valid() || !errors.Valid())
        return result;

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.ChildEnd();
    startup.hStdError = errors.ChildEnd();
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process))
        return result;
    UniqueHandle processHandle(process.hProcess), threadHandle(process.hThread);
    output.StartReading();
    errors.StartReading();
    result.finished = WaitForSingleObject(processHandle.Get(), timeoutMs) == WAIT_OBJECT_0;
    if (!result.finished)
        TerminateProcess(processHandle.Get(), 1);
    result.output = output.Finish();
    result.errors = errors.Finish();
    GetExitCodeProcess(processHandle.Get(), &result.exitCode);
    return result;
}

std::wstring ComponentDllPath()
{
    return TestProgramFolder() + L"\\KOVAUnifiedGroupsSync64.dll";
}
