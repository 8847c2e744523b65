#include "KOVAUnifiedGroupsSync/Module/LSTypeLibraryRegistration.h"

#include "QuorvalCommon/hresult_exception.h"

#include <windows.h>
#include <comdef.h>
#include <oleauto.h>

namespace {

_COM_SMARTPTR_TYPEDEF(ITypeLib, __uuidof(ITypeLib));

// Not declared by the MinGW headers; present in every oleaut32 that matters.
using RegisterForUserFunction = HRESULT(WINAPI*)(ITypeLib*, OLECHAR*, OLECHAR*);
using UnregisterForUserFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

template <typename Function>
Function OleAutomationFunction(const char* name)
{
    HMODULE oleaut = GetModuleHandleW(L"oleaut32.dll");
    FARPROC found = oleaut ? GetProcAddress(oleaut, name) : nullptr;
    // Through the generic function type, which converts to any other.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(found));
}

std::wstring WithTlbExtension(const std::wstring& path)
{
    const size_t dot = path.find_last_of(L'.');
    const size_t slash = path.find_last_of(L"\\/");
    const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + L".tlb";
}

struct LoadedTypeLibrary
{
    ITypeLibPtr library;
    std::wstring path;
};

LoadedTypeLibrary Load(const std::wstring& modulePath)
{
    LoadedTypeLibrary loaded{nullptr, modulePath};
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
    {
        loaded.path = WithTlbExtension(modulePath);
        hr = LoadTypeLibEx(loaded.path.c_str(), REGKIND_NONE, &library);
    }
    if (FAILED(hr))
        throw hresult_exception(hr, "LoadTypeLibEx");
    loaded.library.Attach(library);
    return loaded;
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

} // namespace

namespace LSTypeLibraryRegistration {

void Register(const std::wstring& modulePath, bool perUser)
{
    LoadedTypeLibrary loaded = Load(modulePath);
    std::wstring folder = FolderOf(loaded.path);
    OLECHAR* helpFolder = folder.empty() ? nullptr : &folder[0];
    auto forUser = OleAutomationFunction<RegisterForUserFunction>("RegisterTypeLibForUser");
    if (perUser && forUser)
        ThrowIfFailed(forUser(loaded.library, &loaded.path[0], helpFolder), "RegisterTypeLibForUser");
    else
        ThrowIfFailed(RegisterTypeLib(loaded.library, &loaded.path[0], helpFolder), "RegisterTypeLib");
}

void Unregister(const std::wstring& modulePath, bool perUser)
{
    LoadedTypeLibrary loaded = Load(modulePath);
    TLIBATTR* attributes = nullptr;
    ThrowIfFailed(loaded.library->GetLibAttr(&attributes), "ITypeLib::GetLibAttr");
    const TLIBATTR copy = *attributes;
    loaded.library->ReleaseTLibAttr(attributes);
    auto forUser = OleAutomationFunction<UnregisterForUserFunction>("UnRegisterTypeLibForUser");
    if (perUser && forUser)
        ThrowIfFailed(forUser(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind),
                      "UnRegisterTypeLibForUser");
    else
        ThrowIfFailed(UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind),
                      "UnRegisterTypeLib");
}

} // namespace LSTypeLibraryRegistration
