// The DLL's entry points; the module object does the work.
#include "CKOVAUnifiedGroupsSyncModule.h"

#include <windows.h>

namespace {
CKOVAUnifiedGroupsSyncModule& Module()
{
    return CKOVAUnifiedGroupsSyncModule::Instance();
}
} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
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
