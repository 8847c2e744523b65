// Placeholder: no resource libraries are loaded yet, so every lookup misses.
#include "LSResourceLibraries.h"

namespace LSResourceLibraries {

bool LoadResourceString(uint32_t, std::wstring& output)
{
    output.clear();
    return false;
}

CStdStr LoadResourceString(uint32_t id)
{
    std::wstring text;
    LoadResourceString(id, text);
    return CStdStr(text);
}

CStdStr GetLanguage() { return L"en"; }
CStdStr FindLocalisedFile(const std::wstring&, const std::wstring&, bool, const std::wstring&) { return CStdStr(); }
HMODULE LoadLanguageDll(const std::wstring&) { return nullptr; }
HMODULE LoadUsersCommonResources(const std::wstring&) { return nullptr; }
HMODULE LoadBrandResources(const std::wstring&) { return nullptr; }
void ReplaceBrandTokens(std::wstring&) {}
CStdStr GetUserAgent() { return CStdStr(); }
void LoadAtProcessAttach(HMODULE) {}
void SetResourceModules(HMODULE, HMODULE, HMODULE, HMODULE) {}
void SetStringPostProcessor(StringPostProcessor) {}

} // namespace LSResourceLibraries
