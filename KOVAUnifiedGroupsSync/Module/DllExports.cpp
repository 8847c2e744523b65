// The DLL's entry points. Class objects, registration and the start-up duties
// of the module grow here.
#include "CKOVAUnifiedGroupsSync.h"

#include <windows.h>
#include <unknwn.h>

#include "LSModuleLock.h"

namespace {

class FilterClassFactory : public IClassFactory
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** result) override
    {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory))
        {
            *result = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** result) override
    {
        return CKOVAUnifiedGroupsSync::CreateInstance(outer, riid, result);
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? LSModuleLock::Lock() : LSModuleLock::Unlock();
        return S_OK;
    }
};

FilterClassFactory g_filterFactory;

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID)
{
    return TRUE;
}

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (IsEqualCLSID(clsid, CLSID_KOVAUnifiedGroupsSync))
        return g_filterFactory.QueryInterface(riid, result);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT WINAPI DllCanUnloadNow()
{
    return LSModuleLock::Count() == 0 ? S_OK : S_FALSE;
}

HRESULT WINAPI DllRegisterServer() { return E_NOTIMPL; }
HRESULT WINAPI DllUnregisterServer() { return E_NOTIMPL; }
HRESULT WINAPI DllInstall(BOOL, LPCWSTR) { return E_NOTIMPL; }

} // extern "C"
