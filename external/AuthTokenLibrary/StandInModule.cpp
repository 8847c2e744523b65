#include "StandInModule.h"

#include "KOVAAuthTokenLibrary_h.h"

#include <vector>

namespace {
HMODULE g_module = nullptr;
LONG g_locks = 0;
} // namespace

namespace StandInModule {

HMODULE Handle() { return g_module; }

std::wstring FilePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;)
    {
        DWORD length = GetModuleFileNameW(g_module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

void Lock() { InterlockedIncrement(&g_locks); }
void Unlock() { InterlockedDecrement(&g_locks); }
LONG LockCount() { return g_locks; }

HRESULT InterfaceTypeInfo(ITypeInfo** result)
{
    *result = nullptr;
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(FilePath().c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    hr = library->GetTypeInfoOfGuid(IID_IAuthTokenLibrary, result);
    library->Release();
    return hr;
}

} // namespace StandInModule

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
    {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}
