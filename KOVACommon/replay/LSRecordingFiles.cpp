#include "KOVACommon/replay/LSRecordingFiles.h"

#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/hresult_exception.h"

#include <windows.h>
#include <cwctype>

namespace LSRequestReplay {

namespace {

std::wstring g_prefix;
// Its address identifies the module that holds this code.
const int g_moduleMarker = 0;

void AppendBackslash(std::wstring& path)
{
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
}

std::wstring OwnModuleName()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&g_moduleMarker), &module))
    {
        const DWORD error = GetLastError();
        LS_ERROR_LOG << "Failed to get address of static " << error;
        ThrowHr(E_FAIL);
    }
    std::wstring name = LSSetting::GetModuleFileNameSafe(module);
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return name;
}

std::wstring BuildPrefix(const std::wstring& configuration)
{
    std::wstring base = LSSetting::GetInstance().Read(LSSettingTable::RequestReplayFolder).value;
    CreateDirectoryW(base.c_str(), nullptr);
    if (!configuration.empty())
    {
        AppendBackslash(base);
        base += ReplaceNonAlphanumeric(configuration);
        CreateDirectoryW(base.c_str(), nullptr);
    }
    AppendBackslash(base);
    return base + OwnModuleName();
}

[[noreturn]] void ThrowWriteFailure(const std::wstring& path)
{
    LS_ERROR_LOG << "Failed writing to file " << ToLogText(path);
    ThrowHr(E_FAIL);
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    UniqueFile file(_wfopen(path.c_str(), L"rb"));
    if (!file)
        return false;
    char buffer[8192];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, count);
    return std::ferror(file.get()) == 0;
}

} // namespace

SafeArrayData::SafeArrayData(SAFEARRAY* array) : m_array(array)
{
    ThrowIfFailedCom(SafeArrayAccessData(array, &m_data));
}

UniqueFile OpenForWriting(const std::wstring& path)
{
    UniqueFile file(_wfopen(path.c_str(), L"wb"));
    if (!file)
        ThrowWriteFailure(path);
    return file;
}

void WriteBytes(std::FILE* file, const std::wstring& path, const std::string& bytes)
{
    if (bytes.empty())
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size())
        ThrowWriteFailure(path);
}

void CloseWritten(UniqueFile& file, const std::wstring& path)
{
    // fclose writes out the buffer: its failure is a write failure.
    if (std::fclose(file.release()) != 0)
        ThrowWriteFailure(path);
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes)
{
    UniqueFile file = OpenForWriting(path);
    WriteBytes(file.get(), path, bytes);
    CloseWritten(file, path);
}

bool ReadBinaryFile(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    if (ReadWholeFile(path, bytes))
        return true;
    LS_ERROR_LOG << "Failed to read binary file " << ToLogText(path);
    return false;
}

std::wstring ReplaceNonAlphanumeric(std::wstring text)
{
    for (wchar_t& c : text)
        if (!std::iswalnum(c))
            c = L'_';
    return text;
}

const std::wstring& RecordingPrefix(const std::wstring& configuration)
{
    if (g_prefix.empty())
        g_prefix = BuildPrefix(configuration);
    return g_prefix;
}

void ClearRecordingPrefix()
{
    g_prefix.clear();
}

} // namespace LSRequestReplay
