#include "ComponentErrorCapture.h"

#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"
#include "RegistryValueOverride.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <regex>

namespace {

const int StandardErrorDescriptor = 2;

// The logging library's prefix of an error or fatal line: severity, date, time.
bool IsErrorLine(const std::string& line)
{
    static const std::regex prefix("^[EF][0-9]{8} [0-9]{2}:[0-9]{2}:[0-9]{2}");
    return std::regex_search(line, prefix);
}

std::wstring CaptureFilePath()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH)
        throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "GetTempPathW");
    return std::wstring(temp) + L"synchost-errors-" + std::to_wstring(GetCurrentProcessId()) + L".log";
}

std::string ReadAll(HANDLE file)
{
    std::string text;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return text;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(file, buffer, sizeof buffer, &count, nullptr) && count > 0)
        text.append(buffer, count);
    return text;
}

std::vector<std::string> ErrorLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size())
    {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (IsErrorLine(line))
            lines.push_back(line + "\n");
        start = end + 1;
    }
    return lines;
}

} // namespace

ComponentErrorCapture::ComponentErrorCapture() : m_path(CaptureFilePath())
{
    m_file.Reset(CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!m_file)
        throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "CreateFileW");
}

ComponentErrorCapture::~ComponentErrorCapture()
{
    Restore();
}

bool ComponentErrorCapture::Wanted()
{
    return LSSetting::GetInstance().Read(LSSettingTable::LogError).value == 0;
}

void ComponentErrorCapture::AroundCreation(const std::function<void()>& create)
{
    Redirect();
    const std::wstring settings = LSSetting::GetSettingsKeyPath();
    const RegistryValueOverride errors(settings, LSSettingTable::LogError.name, DWORD(1));
    const RegistryValueOverride logFolder(settings, LSSettingTable::LogDir.name, m_path);
    // Nothing to sweep in a log folder that is a file.
    const RegistryValueOverride noSweep(settings, LSSettingTable::LogRetentionMinutes.name, DWORD(0));
    create();
}

std::vector<std::string> ComponentErrorCapture::Finish()
{
    Restore();
    return ErrorLines(ReadAll(m_file.Get()));
}

// The runtime's standard error (which the component's logging writes to)
// goes into the capture; the process's standard error handle, which synchost
// writes its own lines to, stays where it was.
void ComponentErrorCapture::Redirect()
{
    if (m_redirected)
        return;
    const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    UniqueHandle writer;
    if (!DuplicateHandle(GetCurrentProcess(), m_file.Get(), GetCurrentProcess(), writer.Put(), 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        throw hresult_exception(HRESULT_FROM_WIN32(GetLastError()), "DuplicateHandle");
    // The descriptor owns the handle once it is made.
    const UniqueCrtDescriptor descriptor(
        _open_osfhandle(reinterpret_cast<intptr_t>(writer.Get()), _O_WRONLY | _O_BINARY));
    if (!descriptor)
        throw hresult_exception(E_FAIL, "_open_osfhandle");
    writer.Release();
    fflush(stderr);
    m_savedStandardError.Reset(_dup(StandardErrorDescriptor));
    // The runtime closes the descriptor's handle and makes the new one the
    // process's standard error: that goes back to (a copy of) the original.
    _dup2(descriptor.Get(), StandardErrorDescriptor);
    SetStdHandle(STD_ERROR_HANDLE, m_savedStandardError
                                       ? reinterpret_cast<HANDLE>(_get_osfhandle(m_savedStandardError.Get()))
                                       : standardError);
    m_redirected = true;
}

void ComponentErrorCapture::Restore()
{
    if (!m_redirected)
        return;
    fflush(stderr);
    if (m_savedStandardError)
    {
        _dup2(m_savedStandardError.Get(), StandardErrorDescriptor);
        SetStdHandle(STD_ERROR_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(StandardErrorDescriptor)));
        m_savedStandardError.Reset();
    }
    m_redirected = false;
}
