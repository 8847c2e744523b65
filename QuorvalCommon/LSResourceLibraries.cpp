// Finding, loading and searching the resource libraries.
#include "QuorvalCommon/LSResourceLibraries.h"

#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/LSResourceLibrariesDetail.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/UniqueHandles.h"
#include "QuorvalCommon/hresult_exception.h"

#include <cwchar>
#include <mutex>
#include <optional>
#include <vector>

namespace LSResourceLibraries {
namespace {

// LOAD_LIBRARY_AS_DATAFILE: no code of the libraries ever runs, and the file is
// mapped as it lies, with no image section to build (about 3 ms of the filter's
// creation under Wine); strings and resources read the same.
constexpr DWORD kDataOnlyImage = LOAD_LIBRARY_AS_DATAFILE;
const wchar_t kLanguageModuleName[] = L"KOVAUnifiedGroupsSync64";

struct ResourceModules
{
    HMODULE language = nullptr;
    HMODULE own = nullptr;
    HMODULE common = nullptr;
    HMODULE brand = nullptr;
    StringPostProcessor postProcessor = nullptr;
    // What LoadAtProcessAttach loaded; kept until the process ends.
    UniqueHModule loadedLanguage;
    UniqueHModule loadedCommon;
    UniqueHModule loadedBrand;
};

// Never destroyed: the libraries stay loaded for the process lifetime and are
// not freed under the loader lock at unload.
ResourceModules& Modules()
{
    static ResourceModules* modules = new ResourceModules();
    return *modules;
}

std::mutex g_installFolderLock;
std::optional<CStdStr> g_installFolder;

CStdStr InstallFolder()
{
    std::lock_guard<std::mutex> lock(g_installFolderLock);
    if (!g_installFolder)
        g_installFolder = LSSetting::GetInstance().Read(LSSettingTable::InstallDir).value;
    return *g_installFolder;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HMODULE LoadDataOnly(const std::wstring& path)
{
    return LoadLibraryExW(path.c_str(), nullptr, kDataOnlyImage);
}

CStdStr IsoLanguageName(LANGID langId)
{
    const LCID locale = MAKELCID(langId, SORT_DEFAULT);
    int length = GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, nullptr, 0);
    if (length <= 0)
        return CStdStr();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, buffer.data(), length);
    return CStdStr(buffer.data());
}

// One module's attempt; the output is left empty when it has no such string.
bool LoadStringFrom(HMODULE module, uint32_t id, StringPostProcessor postProcessor, std::wstring& output)
{
    output.clear();
    HRSRC block = FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), RT_STRING);
    if (!block)
        return false;
    const DWORD blockBytes = SizeofResource(module, block);
    if (blockBytes <= 1)
        return false;
    // The block holds every string of it, so half its size always suffices.
    std::vector<wchar_t> buffer(blockBytes / 2, L'\0');
    const int length = LoadStringW(module, id, buffer.data(), static_cast<int>(buffer.size()));
    if (length <= 0)
        return false;
    output.assign(buffer.data(), static_cast<size_t>(length));
    output.resize(std::wcslen(output.c_str()));
    if (postProcessor)
        postProcessor(output);
    return true;
}

} // namespace

bool LoadResourceString(uint32_t id, std::wstring& output)
{
    output.clear();
    // String identifiers are 16-bit; a larger one would alias a lower block.
    if (id > 0xFFFF)
        return false;
    const ResourceModules& modules = Modules();
    for (HMODULE module : {modules.language, modules.own, modules.common, modules.brand})
    {
        if (module && LoadStringFrom(module, id, modules.postProcessor, output))
            return true;
    }
    return false;
}

CStdStr LoadResourceString(uint32_t id)
{
    std::wstring text;
    LoadResourceString(id, text);
    return CStdStr(text);
}

CStdStr GetLanguage()
{
    CStdStr name = LSSetting::GetInstance().Read(LSSettingTable::OverrideLangId).value;
    LANGID langId = 0;
    if (name.empty())
    {
        langId = GetUserDefaultUILanguage();
        name = IsoLanguageName(langId);
    }
    if (!name.empty() && !name.EqualsNoCase(L"en"))
    {
        LS_DIAG_LOG << "Using language for langId " << langId << ", Lang " << ToLogText(name);
    }
    else
    {
        LS_DIAG_LOG << "Using default language for langId " << langId << ", Lang " << ToLogText(name);
    }
    return name;
}

CStdStr FindLocalisedFile(const std::wstring& baseName, const std::wstring& extension, bool fallBack,
                          const std::wstring& folderSetting)
{
    const CStdStr language = GetLanguage();
    const CStdStr installFolder = InstallFolder();
    LS_DIAG_LOG << "Looking in:" << ToLogText(installFolder);
    const CStdStr folder = folderSetting.empty()
                               ? installFolder
                               : LSSetting::GetInstance().GetUserString(folderSetting, installFolder);

    const CStdStr localised = folder + L"\\" + baseName + L"-" + language + L"." + extension;
    LS_DIAG_LOG << "Localised location:" << ToLogText(localised);
    if (FileExists(localised))
    {
        LS_DIAG_LOG << "Found lang specific path to file " << ToLogText(localised);
        return localised;
    }
    if (!fallBack)
        return CStdStr();

    const CStdStr generic = folder + L"\\" + baseName + L"." + extension;
    LS_DIAG_LOG << "Generic location:" << ToLogText(generic);
    if (FileExists(generic))
    {
        LS_DIAG_LOG << "Found generic path to file " << ToLogText(generic);
        return generic;
    }
    LS_ERROR_LOG << "Failed to locate generic path to file " << ToLogText(generic);
    throw hresult_exception::Com(E_INVALIDARG);
}

HMODULE LoadLanguageDll(const std::wstring& moduleName)
{
    const CStdStr path = FindLocalisedFile(moduleName, L"dll", false, L"");
    if (path.empty())
        return nullptr;
    HMODULE module = LoadDataOnly(path);
    if (!module)
    {
        LS_DIAG_LOG << "Failed loading language dll " << ToLogText(path);
    }
    return module;
}

HMODULE LanguageLibrary(const std::wstring& moduleName)
{
    if (HMODULE loaded = Modules().loadedLanguage.Get())
        return loaded;
    return LoadLanguageDll(moduleName);
}

namespace {

// The common and the brand library are found and loaded alike; only their
// lines differ, and only the common library's failure line names the code.
HMODULE LoadSharedResources(const wchar_t* baseName, const char* kind, const char* reporter, bool withErrorCode,
                            const std::wstring& folderSetting)
{
    LS_COM_BOUNDARY_BEGIN
    {
        const CStdStr path = FindLocalisedFile(baseName, L"dll", true, folderSetting);
        if (path.empty())
        {
            LS_ERROR_LOG << "Failed loading " << kind << " resources dll - no path found";
            return nullptr;
        }
        HMODULE module = LoadDataOnly(path);
        if (!module)
        {
            const DWORD error = GetLastError();
            if (withErrorCode)
            {
                LS_ERROR_LOG << "Failed loading " << kind << " resources dll:" << LogHex(error) << " "
                             << ToLogText(path);
            }
            else
            {
                LS_ERROR_LOG << "Failed loading " << kind << " resources dll " << ToLogText(path);
            }
        }
        return module;
    }
    LS_COM_BOUNDARY_END_THEN(reporter, return nullptr)
}

} // namespace

HMODULE LoadUsersCommonResources(const std::wstring& folderSetting)
{
    return LoadSharedResources(L"KOVACommonResources32", "common", "LoadUsersCommonResources", true, folderSetting);
}

HMODULE LoadBrandResources(const std::wstring& folderSetting)
{
    return LoadSharedResources(L"KOVABrandResources32", "brand", "LoadBrandResources", false, folderSetting);
}

void LoadAtProcessAttach(HMODULE ownModule)
{
    // Missing texts never stop the component from starting.
    LS_COM_BOUNDARY_BEGIN
    {
        ResourceModules& modules = Modules();
        modules.loadedBrand.Reset(LoadBrandResources(L""));
        modules.loadedCommon.Reset(LoadUsersCommonResources(L""));
        modules.loadedLanguage.Reset(LoadLanguageDll(kLanguageModuleName));
        SetResourceModules(modules.loadedLanguage.Get(), ownModule, modules.loadedCommon.Get(),
                           modules.loadedBrand.Get());
        SetStringPostProcessor(&ReplaceBrandTokens);
    }
    LS_COM_BOUNDARY_END_THEN("LoadAtProcessAttach")
}

void SetResourceModules(HMODULE language, HMODULE own, HMODULE common, HMODULE brand)
{
    ResourceModules& modules = Modules();
    modules.language = language;
    modules.own = own;
    modules.common = common;
    modules.brand = brand;
}

void SetStringPostProcessor(StringPostProcessor processor)
{
    Modules().postProcessor = processor;
}

} // namespace LSResourceLibraries

using namespace LSResourceLibraries;

void LSResourceLibrariesState::Forget()
{
    SetResourceModules(nullptr, nullptr, nullptr, nullptr);
    SetStringPostProcessor(nullptr);
    ResourceModules& modules = Modules();
    modules.loadedLanguage.Reset();
    modules.loadedCommon.Reset();
    modules.loadedBrand.Reset();
    {
        std::lock_guard<std::mutex> lock(g_installFolderLock);
        g_installFolder.reset();
    }
    detail::ResetBrandTokenTable();
    detail::ResetUserAgent();
}

void LSResourceLibrariesState::FixInstallFolder(const std::wstring& folder)
{
    std::lock_guard<std::mutex> lock(g_installFolderLock);
    g_installFolder = CStdStr(folder);
}
