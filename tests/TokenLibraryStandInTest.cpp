// The token library stand-in as an independent COM server: registered in the
// prefix, apartment-threaded, and dual (its IDispatch answers from its own
// embedded type library in the method order the component relies on).
#include "KOVACommon/auth/LSGetAuthTokens.h"

#include "QuorvalCommon/UniqueHandles.h"
#include "TokenLibraryStandIn.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct ComReleaser
{
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using Owned = std::unique_ptr<Interface, ComReleaser>;

std::wstring ClassValue(const std::wstring& subKey, const wchar_t* name)
{
    UniqueHKey key;
    const std::wstring path = L"CLSID\\{FBCACD24-92EC-4684-BB10-23D53903198A}" + subKey;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
        return L"(missing)";
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        return L"(missing)";
    return buffer;
}

TEST(TokenLibraryStandInTest, IsRegisteredAsAnApartmentThreadedInProcessServer)
{
    EXPECT_EQ(L"Apartment", ClassValue(L"\\InprocServer32", L"ThreadingModel"));
    const std::wstring server = ClassValue(L"\\InprocServer32", nullptr);
    EXPECT_NE(std::wstring::npos, server.find(L"KOVAAuthTokenLibrary64.dll")) << server;
    EXPECT_EQ(L"{E56288C5-A527-4AF2-B0BD-5B5D59C2C26F}", ClassValue(L"\\TypeLib", nullptr));
}

TEST(TokenLibraryStandInTest, DispatchNamesFollowTheMethodTableAndCallsReachTheObject)
{
    TokenLibraryStandIn standIn;
    standIn.SetLastError(L"last failure", L"");
    IDispatch* created = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(__uuidof(AuthTokenLibrary), nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     reinterpret_cast<void**>(&created)));
    Owned<IDispatch> library(created);
    std::vector<DISPID> ids;
    for (const wchar_t* name : {L"Initialise", L"StartAcquire", L"PollResult", L"Cancel", L"GetLastErrorMessage",
                                L"GetLastErrorStack"})
    {
        DISPID id = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        ASSERT_EQ(S_OK, library->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id)) << name;
        ids.push_back(id);
    }
    ITypeInfo* typeInfo = nullptr;
    ASSERT_EQ(S_OK, library->GetTypeInfo(0, LOCALE_USER_DEFAULT, &typeInfo));
    Owned<ITypeInfo> info(typeInfo);
    for (size_t i = 0; i < ids.size(); ++i)
    {
        FUNCDESC* function = nullptr;
        ASSERT_EQ(S_OK, info->GetFuncDesc(static_cast<UINT>(7 + i), &function));
        EXPECT_EQ(ids[i], function->memid) << i;
        EXPECT_EQ(static_cast<SHORT>((7 + i) * sizeof(void*)), function->oVft) << i;
        info->ReleaseFuncDesc(function);
    }

    _variant_t result;
    DISPPARAMS none = {};
    ASSERT_EQ(S_OK, library->Invoke(ids[4], IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr,
                                    nullptr));
    EXPECT_EQ(std::wstring(L"last failure"), std::wstring(static_cast<const wchar_t*>(_bstr_t(result))));
    EXPECT_EQ(1u, standIn.Count(L"GetLastErrorMessage"));
}

} // namespace
