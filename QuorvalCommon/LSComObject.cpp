#include "QuorvalCommon/LSComObject.h"

#include "QuorvalCommon/LSSetting.h"

namespace {
HMODULE ThisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}
} // namespace

HRESULT LoadInterfaceTypeInfo(REFGUID libId, WORD major, WORD minor, REFIID iid, bool fallBackToModule,
                              ITypeInfo** result)
{
    *result = nullptr;
    ITypeLib* library = nullptr;
    HRESULT hr = LoadRegTypeLib(libId, major, minor, LOCALE_USER_DEFAULT, &library);
    if (FAILED(hr) && fallBackToModule)
    {
        CStdStr path = LSSetting::GetModuleFileNameSafe(ThisModule());
        hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    }
    if (FAILED(hr))
        return hr;
    hr = library->GetTypeInfoOfGuid(iid, result);
    library->Release();
    return hr;
}
