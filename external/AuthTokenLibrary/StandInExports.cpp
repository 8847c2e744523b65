// The COM server exports of the stand-in: class object, unload check and
// self-registration (class keys written directly, type library registered).
#include "CAuthTokenLibraryStandIn.h"
#include "StandInModule.h"

#include <string>

namespace {

class ClassFactory : public IClassFactory
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** result) override
    {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
            return E_NOINTERFACE;
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    // A static object: its references keep the module loaded instead.
    STDMETHODIMP_(ULONG) AddRef() override
    {
        StandInModule::Lock();
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        StandInModule::Unlock();
        return 1;
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** result) override
    {
        return CAuthTokenLibraryStandIn::CreateInstance(outer, riid, result);
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            StandInModule::Lock();
        else
            StandInModule::Unlock();
        return S_OK;
    }
};

ClassFactory g_factory;

std::wstring GuidText(REFGUID id)
{
    wchar_t buffer[40] = {};
    StringFromGUID2(id, buffer, 40);
    return buffer;
}

std::wstring ClassKeyPath() { return L"CLSID\\" + GuidText(CLSID_AuthTokenLibrary); }

HRESULT SetText(const std::wstring& path, const wchar_t* name, const std::wstring& value)
{
    HKEY key = nullptr;
    LONG status = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(status);
    status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(status);
}

HRESULT RegisterClassKeys()
{
    const std::wstring classKey = ClassKeyPath();
    HRESULT hr = SetText(classKey, nullptr, L"KOVA Auth Token Library stand-in");
    if (SUCCEEDED(hr))
        hr = SetText(classKey + L"\\InprocServer32", nullptr, StandInModule::FilePath());
    if (SUCCEEDED(hr))
        hr = SetText(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    if (SUCCEEDED(hr))
        hr = SetText(classKey + L"\\TypeLib", nullptr, GuidText(LIBID_KOVAAuthTokenLibraryLib));
    return hr;
}

HRESULT RegisterOwnTypeLibrary()
{
    const std::wstring path = StandInModule::FilePath();
    ITypeLib* library = nullptr;
    HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    if (FAILED(hr))
        return hr;
    hr = RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()), nullptr);
    library->Release();
    return hr;
}

} // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (!IsEqualCLSID(clsid, CLSID_AuthTokenLibrary))
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, result);
}

STDAPI DllCanUnloadNow() { return StandInModule::LockCount() == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer()
{
    HRESULT hr = RegisterClassKeys();
    return SUCCEEDED(hr) ? RegisterOwnTypeLibrary() : hr;
}

STDAPI DllUnregisterServer()
{
    UnRegisterTypeLib(LIBID_KOVAAuthTokenLibraryLib, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    LONG status = RegDeleteTreeW(HKEY_CLASSES_ROOT, ClassKeyPath().c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(status);
}
