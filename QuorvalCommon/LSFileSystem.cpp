// File versions and the comparison of this component's version with the host
// product's DLL.
#include "LSFileSystem.h"

#include "LSLog.h"
#include "LSSetting.h"

#include <vector>

namespace LSFileSystem {
namespace {

const wchar_t kHostDllName[] = L"KOVA32.dll";
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;
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
    LSFileVersion version;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return version;
    std::vector<wchar_t> buffer(size, L'\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, size, buffer.data()))
        return version;
    void* block = nullptr;
    UINT length = 0;
    // A block shorter than the fixed information would be read past its end.
    if (!VerQueryValueW(buffer.data(), L"\\", &block, &length) || !block || length < sizeof(VS_FIXEDFILEINFO))
        return version;
    const auto* info = static_cast<const VS_FIXEDFILEINFO*>(block);
    if (info->dwSignature != kFixedFileInfoSignature)
        return version;
    version.major = HIWORD(info->dwFileVersionMS);
    version.minor = LOWORD(info->dwFileVersionMS);
    version.build = HIWORD(info->dwFileVersionLS);
    version.revision = LOWORD(info->dwFileVersionLS);
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
    const CStdStr ownPath = LSSetting::GetModuleFileNameSafe(ownModule);
    const LSFileVersion own = ownPath.empty() ? LSFileVersion() : GetFileVersion(ownPath);
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
