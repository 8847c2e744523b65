// File versions and the comparison of this component's version with the host
// product's DLL.
#include "QuorvalCommon/LSFileSystem.h"

#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/UniqueHandles.h"

#include <cstring>
#include <vector>

namespace LSFileSystem {
namespace {

const wchar_t kHostDllName[] = L"KOVA32.dll";
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;
const wchar_t kVersionKey[] = L"VS_VERSION_INFO";
constexpr size_t kKeyOffset = 3 * sizeof(WORD);
constexpr size_t kFixedInfoOffset = (kKeyOffset + sizeof(kVersionKey) + 3) & ~size_t{3};
constexpr UINT kSystemDirectoryCapacity = 520;

CStdStr VersionText(const LSFileVersion& version)
{
    return CStdStr::Format(L"%lu.%lu.%lu.%lu", static_cast<unsigned long>(version.major),
                           static_cast<unsigned long>(version.minor), static_cast<unsigned long>(version.build),
                           static_cast<unsigned long>(version.revision));
}

bool SameMajorMinorBuild(const LSFileVersion& a, const LSFileVersion& b)
{
    return a.major == b.major && a.minor == b.minor && a.build == b.build;
}

} // namespace

LSFileVersion GetFileVersion(const std::wstring& path)
{
    // Mapped once as data (no code runs), where the platform's version
    // functions map the file twice.
    const UniqueHModule file(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    return file ? GetModuleVersion(file.Get()) : LSFileVersion();
}

LSFileVersion GetModuleVersion(HMODULE module)
{
    LSFileVersion version;
    const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    // VS_VERSIONINFO: three WORDs (the value's length second), the key, then
    // the fixed information at the next 32-bit boundary; never read past the
    // resource's end.
    if (!data || SizeofResource(module, found) < kFixedInfoOffset + sizeof(VS_FIXEDFILEINFO))
        return version;
    WORD valueLength = 0;
    std::memcpy(&valueLength, data + sizeof(WORD), sizeof(valueLength));
    if (valueLength < sizeof(VS_FIXEDFILEINFO) || std::memcmp(data + kKeyOffset, kVersionKey, sizeof(kVersionKey)) != 0)
        return version;
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, data + kFixedInfoOffset, sizeof(info));
    if (info.dwSignature != kFixedFileInfoSignature)
        return version;
    version.major = HIWORD(info.dwFileVersionMS);
    version.minor = LOWORD(info.dwFileVersionMS);
    version.build = HIWORD(info.dwFileVersionLS);
    version.revision = LOWORD(info.dwFileVersionLS);
    version.valid = true;
    return version;
}

CStdStr HostDllPathIn(const std::wstring& systemDirectory)
{
    CStdStr path(systemDirectory);
    if (path.empty() || path.back() != L'\\')
        path += L'\\';
    return path + kHostDllName;
}

// Empty when the system directory cannot be found.
CStdStr HostDllPath()
{
    std::vector<wchar_t> buffer(kSystemDirectoryCapacity, L'\0');
    const UINT length = GetSystemDirectoryW(buffer.data(), kSystemDirectoryCapacity);
    if (length == 0 || length >= kSystemDirectoryCapacity)
    {
        LS_ERROR_LOG << "Failed getting system directory";
        return CStdStr();
    }
    return HostDllPathIn(std::wstring(buffer.data(), length));
}

LSFileVersion GetHostDllVersion()
{
    const CStdStr path = HostDllPath();
    return path.empty() ? LSFileVersion() : GetFileVersion(path);
}

bool CheckHostVersion(HMODULE ownModule)
{
    const CStdStr path = HostDllPath();
    if (path.empty())
    {
        LS_ERROR_LOG << "Failed comparing version with KOVA32.dll";
        return false;
    }
    return CheckHostVersionAgainst(ownModule, path);
}

bool CheckHostVersionAgainst(HMODULE ownModule, const std::wstring& hostDllPath)
{
    const LSFileVersion host = GetFileVersion(hostDllPath);
    const LSFileVersion own = GetModuleVersion(ownModule);
    if (!host.valid || !own.valid)
    {
        LS_ERROR_LOG << "Failed comparing version with KOVA32.dll";
        return false;
    }
    if (SameMajorMinorBuild(own, host))
        return true;
    LS_ERROR_LOG << "Current version " << ToLogText(VersionText(own)) << " mismatch with KOVA "
                 << ToLogText(VersionText(host));
    return false;
}

} // namespace LSFileSystem
