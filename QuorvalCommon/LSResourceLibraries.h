#pragma once
// The resource libraries (language, common, brand) beside this component: found
// by language, loaded as data only, searched in a fixed order, with brand
// tokens replaced in every string loaded.
#include "QuorvalCommon/CStdStr.h"

#include <windows.h>
#include <cstdint>
#include <string>

namespace LSResourceLibraries {

// Looks the identifier up in the language library, this module, the common
// library and the brand library, in that order. True when a non-empty string
// was found.
bool LoadResourceString(uint32_t id, std::wstring& output);
// The string, or empty when no library has it.
CStdStr LoadResourceString(uint32_t id);

CStdStr GetLanguage();
// Full path of base-<language>.extension in the install folder (or the folder
// the named setting gives), else with the fall-back flag base.extension; empty
// when no localised file exists and there is no fall-back. Throws
// a COM error E_INVALIDARG when the generic file is missing too.
CStdStr FindLocalisedFile(const std::wstring& baseName, const std::wstring& extension, bool fallBack,
                          const std::wstring& folderSetting);
HMODULE LoadLanguageDll(const std::wstring& moduleName);
// The language library LoadAtProcessAttach loaded, else (none was found then)
// one more attempt to load it: the library is mapped once per process.
HMODULE LanguageLibrary(const std::wstring& moduleName);
HMODULE LoadUsersCommonResources(const std::wstring& folderSetting);
HMODULE LoadBrandResources(const std::wstring& folderSetting);
void ReplaceBrandTokens(std::wstring& text);
CStdStr GetUserAgent();

// What the module entry does at process attach: loads the brand, common and
// language libraries, records them with this module, and installs the brand
// token replacement for every loaded string. Never throws.
void LoadAtProcessAttach(HMODULE ownModule);

// Records the modules LoadResourceString searches (any may be null).
void SetResourceModules(HMODULE language, HMODULE own, HMODULE common, HMODULE brand);
using StringPostProcessor = void (*)(std::wstring&);
void SetStringPostProcessor(StringPostProcessor processor);

} // namespace LSResourceLibraries

// The process-wide state behind the functions above, which only the tests'
// accessor resets.
class LSResourceLibrariesState
{
    friend class LSResourceLibrariesAccess;

    // Forgets the once-per-process values (install folder, user-agent text,
    // brand token table), the recorded modules (freeing those
    // LoadAtProcessAttach loaded) and the post-processing step.
    static void Forget();
    // Fixes the install folder as if InstallDir had held it.
    static void FixInstallFolder(const std::wstring& folder);
};
