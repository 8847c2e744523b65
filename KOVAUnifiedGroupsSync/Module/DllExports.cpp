// The DLL's entry points; the module object does the work.
#include "KOVAUnifiedGroupsSync/Module/CKOVAUnifiedGroupsSyncModule.h"

#include <windows.h>

namespace {
CKOVAUnifiedGroupsSyncModule& Module()
{
    return CKOVAUnifiedGroupsSyncModule::Instance();
}

// The module stays loaded until the process ends, whatever DllCanUnloadNow
// answers: the static runtime and the logging library keep process-wide
// state (threads, events, open files) that no unload can release cleanly,
// and each unload would leave it behind.
void PinModule(HINSTANCE instance)
{
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(instance), &pinned);
}
} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    PinModule(instance);
    return Module().ProcessAttach(instance) ? TRUE : FALSE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** result)
{
    return Module().GetClassObject(clsid, riid, result);
}

HRESULT WINAPI DllCanUnloadNow()
{
    return Module().CanUnloadNow();
}

HRESULT WINAPI DllRegisterServer()
{
    return Module().RegisterServer();
}

HRESULT WINAPI DllUnregisterServer()
{
    return Module().UnregisterServer();
}

HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    return Module().Install(install != FALSE, commandLine);
}

} // extern "C"
