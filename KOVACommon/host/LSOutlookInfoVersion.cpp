// The Office major version of the running mail client, found through the
// process's own files, the installer or an override.
#include "KOVACommon/host/LSOutlookInfo.h"

#include "QuorvalCommon/LSDiag.h"
#include "QuorvalCommon/LSFileSystem.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "QuorvalCommon/hresult_exception.h"

#include <msi.h>
#include <cwctype>
#include <limits>
#include <vector>

namespace {

const char kMajorVersionFunction[] = "LSOutlookInfo::GetOfficeProcessMajorVersion";

// Windows Installer component categories under which Office release lines
// register the mail client as a qualified component, in search order.
const wchar_t* const kOutlookComponentCategories[] = {
    L"{842BCB00-81EC-4D2E-B13D-5C6AF9860545}",
    L"{2581D64D-3560-47CE-8154-092E3428A399}",
    L"{5BD7BDAA-B830-427C-80D5-C6DAC2C00126}",
    L"{CCCBB0B2-F125-4C0D-9466-8B2D0ECC7BB0}",
    L"{67C8D8B0-FE41-4C14-951E-023E079796D3}",
};
constexpr DWORD kVersionBufferLength = 260;

// The unsigned decimal number at the start of the text (after white space);
// 0 when the text does not begin with one or the number does not fit.
uint32_t LeadingUnsigned(const std::wstring& text)
{
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    uint64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
    {
        value = value * 10 + static_cast<uint64_t>(text[i] - L'0');
        if (value > std::numeric_limits<uint32_t>::max())
            return 0;
    }
    return static_cast<uint32_t>(value);
}

// The file whose version tells the Office release: the executable in an
// Office process, else a mail-client DLL loaded in this one.
CStdStr OfficeFileOfThisProcess()
{
    if (LSDiag::IsOfficeProcess())
        return LSSetting::GetModuleFileNameSafe(nullptr);
    CStdStr path = LSOutlookInfo::GetDllPathFromCurrentProcess(L"MSPST32.dll");
    if (path.empty())
        path = LSOutlookInfo::GetDllPathFromCurrentProcess(L"MSMAPI32.dll");
    return path;
}

// The installer's library is loaded on first use, not with the component:
// only a process without the mail client's files asks it, and it brings a
// dozen other libraries into the process.
struct InstallerFunctions
{
    UniqueHModule library;
    decltype(&MsiProvideQualifiedComponentW) provideQualifiedComponent = nullptr;
    decltype(&MsiGetFileVersionW) getFileVersion = nullptr;
};

template <typename Function>
Function InstallerFunction(HMODULE library, const char* name)
{
    FARPROC found = library ? GetProcAddress(library, name) : nullptr;
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

InstallerFunctions LoadInstaller()
{
    InstallerFunctions installer;
    installer.library.Reset(LoadLibraryW(L"msi.dll"));
    installer.provideQualifiedComponent = InstallerFunction<decltype(&MsiProvideQualifiedComponentW)>(
        installer.library.Get(), "MsiProvideQualifiedComponentW");
    installer.getFileVersion =
        InstallerFunction<decltype(&MsiGetFileVersionW)>(installer.library.Get(), "MsiGetFileVersionW");
    if (!installer.provideQualifiedComponent || !installer.getFileVersion)
    {
        LS_ERROR_LOG << "Windows Installer not available: " << GetLastError();
        installer.provideQualifiedComponent = nullptr;
        installer.getFileVersion = nullptr;
    }
    return installer;
}

// Kept for the life of the process on purpose: freeing the library from a
// static destructor would run under the loader lock at process detach.
const InstallerFunctions& Installer()
{
    static const InstallerFunctions* installer = new InstallerFunctions(LoadInstaller());
    return *installer;
}

UINT ProvideQualifiedComponent(const wchar_t* category, const wchar_t* qualifier, wchar_t* path, DWORD* length)
{
    const auto provide = Installer().provideQualifiedComponent;
    return provide ? provide(category, qualifier, INSTALLMODE_DEFAULT, path, length) : ERROR_UNKNOWN_COMPONENT;
}

bool SizeQuerySucceeded(UINT result)
{
    return result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
}

// Asks the installer for the length of the mail client's path in a category.
bool QueryPathLength(const wchar_t* category, DWORD& length)
{
    length = 0;
    if (SizeQuerySucceeded(ProvideQualifiedComponent(category, L"outlook.x64.exe", nullptr, &length)))
        return true;
    length = 0;
    return SizeQuerySucceeded(ProvideQualifiedComponent(category, L"outlook.exe", nullptr, &length));
}

bool FindInstalledOutlook(const wchar_t* category, LSInstalledOutlook& found)
{
    DWORD length = 0;
    if (!QueryPathLength(category, length))
        return false;
    std::vector<wchar_t> path(static_cast<size_t>(length) + 1, L'\0');
    DWORD capacity = length + 1;
    if (ProvideQualifiedComponent(category, L"outlook.exe", path.data(), &capacity) != ERROR_SUCCESS)
        return false;
    const CStdStr pathText(path.data());
    LS_DIAG_LOG << "MsiProvideQualifiedComponent for path: GOT: " << ToLogText(category) << " - "
                << ToLogText(pathText);

    std::vector<wchar_t> version(kVersionBufferLength, L'\0');
    std::vector<wchar_t> language(kVersionBufferLength, L'\0');
    // Separate sizes: the version call writes its length back.
    DWORD versionLength = kVersionBufferLength;
    DWORD languageLength = kVersionBufferLength;
    if (Installer().getFileVersion(pathText.c_str(), version.data(), &versionLength, language.data(),
                                   &languageLength) != ERROR_SUCCESS)
        return false;
    const CStdStr versionText(version.data());
    LS_DIAG_LOG << "Got outlook version string:" << ToLogText(versionText);
    found = {pathText, LeadingUnsigned(versionText)};
    return true;
}

[[noreturn]] void FailMajorVersion(const char* reason)
{
    LS_ERROR_LOG << kMajorVersionFunction << reason;
    ThrowHr(E_FAIL);
}

// A test runner has no mail client loaded: it takes the first installed one.
uint32_t FirstInstalledMajorVersion()
{
    const std::vector<LSInstalledOutlook> installed = LSOutlookInfo::GetInstalledOutlookVersions();
    if (installed.empty())
        FailMajorVersion(" - No installed Outlook found by Windows Installer");
    return installed.front().majorVersion;
}

} // namespace

// Two threads may find the version at once; they find the same.
uint32_t LSOutlookInfo::GetOfficeProcessMajorVersion()
{
    const uint32_t known = s_majorVersion.load();
    if (known != 0)
        return known;

    const CStdStr forced = LSSetting::GetInstance().Read(LSSettingTable::ForceOutlookVersion).value;
    if (!forced.empty())
    {
        LS_DIAG_LOG << "Got outlook version string:" << ToLogText(forced);
        s_majorVersion = LeadingUnsigned(forced);
        LS_DIAG_LOG << "Returning Office major version number:" << s_majorVersion.load();
        return s_majorVersion;
    }

    CStdStr file = OfficeFileOfThisProcess();
    if (file.empty())
    {
        file = LSSetting::GetInstance().Read(LSSettingTable::CachedOutlookLocation).value;
        LS_DIAG_LOG << "Loading cached MSPST location (as last desperate measure) " << ToLogText(file);
        if (file.empty())
            FailMajorVersion(" - Failed to get path to office dll");
    }

    const LSFileVersion version = LSFileSystem::GetFileVersion(file);
    if (version.valid)
    {
        s_majorVersion = version.major;
        LS_DIAG_LOG << "got major version from outlook.exe process " << s_majorVersion.load();
    }
    if (s_majorVersion != 0)
        return s_majorVersion;
    if (LSDiag::IsTestRunnerProcess())
        return FirstInstalledMajorVersion();
    FailMajorVersion(" - Failed to get version data from Outlook process");
}

CStdStr LSOutlookInfo::GetDllPathFromCurrentProcess(const std::wstring& dllName)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(0, dllName.c_str(), &module))
    {
        const DWORD error = GetLastError();
        LS_ERROR_LOG << "GetDllPathFromCurrentProcess failed - " << ToLogText(dllName) << ":" << error;
        return CStdStr();
    }
    // The look-up took a reference on the module; give it back.
    UniqueHModule reference(module);
    const CStdStr path = LSSetting::GetModuleFileNameSafe(module);
    if (!path.empty())
    {
        LS_DIAG_LOG << "GetDllPathFromCurrentProcess returned - " << ToLogText(path);
    }
    else
    {
        LS_ERROR_LOG << "GetDllPathFromCurrentProcess failed - " << ToLogText(dllName) << ":" << GetLastError();
    }
    return path;
}

std::vector<LSInstalledOutlook> LSOutlookInfo::GetInstalledOutlookVersions()
{
    std::vector<LSInstalledOutlook> installed;
    for (const wchar_t* category : kOutlookComponentCategories)
    {
        LSInstalledOutlook found;
        if (FindInstalledOutlook(category, found))
            installed.push_back(found);
    }
    return installed;
}
