// The filter object through its COM interfaces: identity, the trivial slots,
// the informer it holds, the deletion check and the dispatch path.
#include "CKOVAUnifiedGroupsSyncAccess.h"
#include "KOVACommon/host/LSPropertyNames.h"
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"
#include "LogCapture.h"
#include "external/HostObjects/LSHostPropertyMap.h"
#include "external/HostObjects/LSHostShutdownInformer.h"

#include <gtest/gtest.h>

namespace {

ILSSyncFilter2Ptr NewFilter()
{
    ILSSyncFilter2Ptr filter;
    HRESULT hr = CKOVAUnifiedGroupsSync::CreateInstance(nullptr, __uuidof(ILSSyncFilter2),
                                                        reinterpret_cast<void**>(&filter));
    EXPECT_EQ(S_OK, hr);
    return filter;
}

IUnknown* QueryRaw(IUnknown* object, REFIID iid)
{
    void* result = nullptr;
    if (FAILED(object->QueryInterface(iid, &result)))
        return nullptr;
    static_cast<IUnknown*>(result)->Release();
    return static_cast<IUnknown*>(result);
}

CKOVAUnifiedGroupsSync::Group MakeGroup(const wchar_t* idText, const wchar_t* name)
{
    CKOVAUnifiedGroupsSync::Group group;
    CLSIDFromString(idText, &group.id);
    group.displayName = name;
    group.url = L"https://example.test/sites/x";
    return group;
}

} // namespace

TEST(FilterIdentity, SyncFilterTablesAndDispatchShareOnePointerAndIUnknownIsTheOwnInterface)
{
    ILSSyncFilter2Ptr filter = NewFilter();
    IUnknown* v1 = QueryRaw(filter, __uuidof(ILSSyncFilter));
    IUnknown* v2 = QueryRaw(filter, __uuidof(ILSSyncFilter2));
    IUnknown* dispatch = QueryRaw(filter, IID_IDispatch);
    EXPECT_NE(nullptr, v1);
    EXPECT_EQ(v1, v2);
    EXPECT_EQ(v1, dispatch);

    IUnknown* unknown = QueryRaw(filter, IID_IUnknown);
    EXPECT_EQ(QueryRaw(filter, __uuidof(IKOVAUnifiedGroupsSync)), unknown);
    EXPECT_NE(static_cast<IUnknown*>(v1), unknown);
    // Identity holds from every table.
    for (REFIID iid : {__uuidof(ILSDeleteableSyncFilter), __uuidof(ILSManualDeletionsSyncFilter),
                       __uuidof(ILSNeedsShutdownInfo)})
    {
        IUnknown* other = QueryRaw(filter, iid);
        ASSERT_NE(nullptr, other);
        EXPECT_EQ(unknown, QueryRaw(other, IID_IUnknown));
    }
}

TEST(FilterIdentity, UnknownInterfaceAndNullOutPointer)
{
    ILSSyncFilter2Ptr filter = NewFilter();
    void* result = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_EQ(E_POINTER, filter->QueryInterface(__uuidof(ILSSyncFilter), nullptr));
}

namespace {
// A minimal outer object: owns the inner filter's non-delegating IUnknown.
class Outer : public IUnknown
{
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** result) override
    {
        if (IsEqualIID(riid, IID_IUnknown))
        {
            *result = this;
            AddRef();
            return S_OK;
        }
        return inner->QueryInterface(riid, result);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
    IUnknown* inner = nullptr;
};
} // namespace

TEST(FilterIdentity, AggregatedFilterDelegatesIdentityAndLifetimeToTheOuterObject)
{
    Outer outer;
    void* notUnknown = nullptr;
    EXPECT_EQ(CLASS_E_NOAGGREGATION,
              CKOVAUnifiedGroupsSync::CreateInstance(&outer, __uuidof(ILSSyncFilter2), &notUnknown));
    ASSERT_EQ(S_OK, CKOVAUnifiedGroupsSync::CreateInstance(&outer, IID_IUnknown,
                                                           reinterpret_cast<void**>(&outer.inner)));
    ILSSyncFilter2* filter = nullptr;
    ASSERT_EQ(S_OK, outer.QueryInterface(__uuidof(ILSSyncFilter2), reinterpret_cast<void**>(&filter)));
    ULONG before = outer.refs;
    void* unknown = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IUnknown, &unknown));
    EXPECT_EQ(static_cast<IUnknown*>(&outer), unknown);
    EXPECT_EQ(before + 1, outer.refs);
    outer.Release();
    filter->Release();
    EXPECT_EQ(0u, outer.inner->Release());
}

TEST(FilterTrivialSlots, AnswerAsTheHostExpects)
{
    ILSSyncFilter2Ptr filter = NewFilter();
    EXPECT_EQ(S_OK, filter->Reserved02(nullptr));
    EXPECT_EQ(E_NOTIMPL, filter->Reserved03(0));
    EXPECT_EQ(E_NOTIMPL, filter->Reserved04(nullptr, 0));
    EXPECT_EQ(S_FALSE, filter->Reserved07(0));
    EXPECT_EQ(S_OK, filter->Reserved09(nullptr));
    VARIANT_BOOL flag = VARIANT_TRUE;
    EXPECT_EQ(S_OK, filter->Reserved11(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_EQ(E_NOTIMPL, filter->Reserved12(nullptr));
    EXPECT_EQ(S_OK, filter->Reserved13(nullptr));
    LONG third = 99;
    EXPECT_EQ(S_OK, filter->Reserved15(nullptr, 7, &third));
    EXPECT_EQ(1, third);
    LONG first = 99;
    EXPECT_EQ(S_OK, filter->Reserved16(&first, 7));
    EXPECT_EQ(0, first);
    EXPECT_EQ(S_OK, filter->Reserved17(nullptr));
    EXPECT_EQ(S_OK, filter->Reserved18(0));
    flag = VARIANT_TRUE;
    EXPECT_EQ(S_OK, filter->Reserved20(&flag, nullptr));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_EQ(E_NOTIMPL, filter->Reserved21(nullptr));
    EXPECT_EQ(S_OK, filter->Reserved22(0));
    EXPECT_EQ(S_OK, filter->Reserved23(nullptr));

    ILSDeleteableSyncFilterPtr deleteable(filter);
    flag = VARIANT_TRUE;
    EXPECT_EQ(S_OK, deleteable->DeleteableMethod1(&flag));
    EXPECT_EQ(VARIANT_FALSE, flag);
    EXPECT_EQ(E_NOTIMPL, deleteable->DeleteableMethod2(nullptr));
    EXPECT_EQ(E_NOTIMPL, deleteable->DeleteableMethod6());
}

TEST(FilterTrivialSlots, FilterNamesAndDeletionKeyName)
{
    ILSSyncFilter2Ptr filter = NewFilter();
    BSTR name = nullptr;
    BSTR display = nullptr;
    ASSERT_EQ(S_OK, filter->GetFilterNames(&name, &display));
    EXPECT_STREQ(L"KOVAUnifiedGroups", name);
    EXPECT_STREQ(L"KOVAUnifiedGroups", display);
    EXPECT_NE(name, display);
    SysFreeString(name);
    SysFreeString(display);

    ILSManualDeletionsSyncFilterPtr deletions(filter);
    BSTR key = nullptr;
    ASSERT_EQ(S_OK, deletions->GetDeletionKeyPropertyName(&key));
    EXPECT_STREQ(L"Tenbrid.FromServerItem", key);
    SysFreeString(key);
}

TEST(FilterItemCount, NewFilterHasNoItemsAndTheStartPointDoesNotChangeTheCount)
{
    ILSSyncFilter2Ptr filter = NewFilter();
    USHORT count = 7;
    ASSERT_EQ(S_OK, filter->get_ItemCount(&count));
    EXPECT_EQ(0, count);
    EXPECT_EQ(S_OK, filter->SetSyncStartPointByString(_bstr_t(L"https://top")));
    EXPECT_EQ(S_OK, filter->get_ItemCount(&count));
    EXPECT_EQ(0, count);
}

// A start point is an address; a text longer than any address is refused and
// the previous one kept.
TEST(FilterStartPoint, LongerThan2048CharactersIsRefusedAndNullIsTheEmptyText)
{
    CKOVAUnifiedGroupsSync* object = new CKOVAUnifiedGroupsSync(nullptr);
    ILSSyncFilter2Ptr filter(static_cast<ILSSyncFilter2*>(object));
    CKOVAUnifiedGroupsSyncAccess::SetGroups(*object, {MakeGroup(L"{00000000-0000-0000-0000-000000000001}", L"group")});
    const std::wstring longest(2048, L'a');
    struct Case
    {
        _bstr_t text;
        HRESULT expected;
        std::wstring displayName; // of item 0 afterwards: the start point, or the group without one
    } cases[] = {
        {_bstr_t(longest.c_str()), S_OK, longest},
        {_bstr_t((longest + L"b").c_str()), E_INVALIDARG, longest},
        {_bstr_t(std::wstring(1048576, L'x').c_str()), E_INVALIDARG, longest},
        {_bstr_t(), S_OK, L"group"},
    };
    for (const Case& c : cases)
    {
        LogCapture capture;
        EXPECT_EQ(c.expected, filter->SetSyncStartPointByString(c.text));
        if (FAILED(c.expected))
        {
            EXPECT_TRUE(capture.Contains("start point longer than 2048 characters")) << capture.All();
        }
        LSHostPropertyMapHolder map;
        EXPECT_EQ(S_OK, filter->GetItemBasicProps(0, map.Interface()));
        EXPECT_EQ(c.displayName, map->Text(L"DisplayName"));
    }
}

TEST(FilterItemCount, MoreThan65535GroupsFailsWithStdExceptionLine)
{
    CKOVAUnifiedGroupsSync* object = new CKOVAUnifiedGroupsSync(nullptr);
    ILSSyncFilter2Ptr filter(static_cast<ILSSyncFilter2*>(object));
    CKOVAUnifiedGroupsSyncAccess::SetGroups(*object, std::vector<CKOVAUnifiedGroupsSync::Group>(65536));
    LogCapture capture;
    USHORT count = 7;
    EXPECT_EQ(E_FAIL, filter->get_ItemCount(&count));
    EXPECT_EQ(7, count);
    EXPECT_TRUE(capture.Contains("CKOVAUnifiedGroupsSync::get_ItemCount: Caught std::exception at interface -"))
        << capture.All();
    CKOVAUnifiedGroupsSyncAccess::SetGroups(*object, std::vector<CKOVAUnifiedGroupsSync::Group>(65535));
    EXPECT_EQ(S_OK, filter->get_ItemCount(&count));
    EXPECT_EQ(65535, count);
}

TEST(FilterDeletionCheck, ComparesExactRegistryTextOfEachGroup)
{
    CKOVAUnifiedGroupsSync* object = new CKOVAUnifiedGroupsSync(nullptr);
    ILSManualDeletionsSyncFilterPtr deletions(static_cast<ILSManualDeletionsSyncFilter*>(object));
    const wchar_t* id = L"{5A6B7C8D-1E2F-4A3B-9C8D-7E6F5A4B3C2D}";
    CKOVAUnifiedGroupsSyncAccess::SetGroups(
        *object, {MakeGroup(L"{00000000-0000-0000-0000-000000000001}", L"a"), MakeGroup(id, L"b")});
    EXPECT_EQ(S_FALSE, deletions->IsDeleted(_bstr_t(id), 0));
    EXPECT_EQ(S_OK, deletions->IsDeleted(_bstr_t(L"{5a6b7c8d-1e2f-4a3b-9c8d-7e6f5a4b3c2d}"), 0));
    EXPECT_EQ(S_OK, deletions->IsDeleted(_bstr_t(L"5A6B7C8D-1E2F-4A3B-9C8D-7E6F5A4B3C2D"), 0));
    EXPECT_EQ(S_FALSE, deletions->IsDeleted(_bstr_t(L"anything"), 1));
    CKOVAUnifiedGroupsSyncAccess::SetGroups(*object, {}); // an empty list from a listing: everything deleted
    EXPECT_EQ(S_OK, deletions->IsDeleted(_bstr_t(id), 0));
}

// Without a list the answer "deleted" would make the host remove every group
// folder: the check fails until a folder update has succeeded.
TEST(FilterDeletionCheck, NoAnswerWithoutAListOrWithoutAKey)
{
    CKOVAUnifiedGroupsSync* object = new CKOVAUnifiedGroupsSync(nullptr);
    ILSManualDeletionsSyncFilterPtr deletions(static_cast<ILSManualDeletionsSyncFilter*>(object));
    const _bstr_t id(L"{5A6B7C8D-1E2F-4A3B-9C8D-7E6F5A4B3C2D}");
    struct Case
    {
        BSTR key;
        bool withList;
        HRESULT expected;
        const char* line;
    } cases[] = {
        {id, false, E_UNEXPECTED, "Caught hresult_exception at interface -8000ffff - no group list yet"},
        {nullptr, false, E_INVALIDARG, "no key to look up"},
        {nullptr, true, E_INVALIDARG, "no key to look up"},
        {SysAllocString(L""), true, E_INVALIDARG, "no key to look up"},
    };
    for (const Case& c : cases)
    {
        if (c.withList)
            CKOVAUnifiedGroupsSyncAccess::SetGroups(*object, {MakeGroup(L"{00000000-0000-0000-0000-000000000001}", L"a")});
        LogCapture capture;
        EXPECT_EQ(c.expected, deletions->IsDeleted(c.key, 0)) << c.line;
        EXPECT_TRUE(capture.Contains(c.line)) << capture.All();
        EXPECT_EQ(S_FALSE, deletions->IsDeleted(c.key, 1)); // other flags: never deleted
    }
    SysFreeString(cases[3].key);
}

TEST(FilterShutdownInformer, HoldsOneReferenceAndReleasesItOnReplaceAndDestruction)
{
    LSHostShutdownInformer* informer = LSHostShutdownInformer::Create();
    {
        ILSSyncFilter2Ptr filter = NewFilter();
        ILSNeedsShutdownInfoPtr needs(filter);
        ASSERT_EQ(S_OK, needs->SetShutdownInformer(informer));
        EXPECT_EQ(2u, informer->RefCount());
        ASSERT_EQ(S_OK, needs->SetShutdownInformer(informer));
        EXPECT_EQ(2u, informer->RefCount());

        ILSShutdownInformer* held = nullptr;
        ASSERT_EQ(S_OK, needs->GetShutdownInformer(&held));
        EXPECT_EQ(static_cast<ILSShutdownInformer*>(informer), held);
        EXPECT_EQ(3u, informer->RefCount());
        held->Release();

        ASSERT_EQ(S_OK, needs->SetShutdownInformer(nullptr));
        EXPECT_EQ(1u, informer->RefCount());
        held = reinterpret_cast<ILSShutdownInformer*>(0x1);
        ASSERT_EQ(S_OK, needs->GetShutdownInformer(&held));
        EXPECT_EQ(nullptr, held);

        ASSERT_EQ(S_OK, needs->SetShutdownInformer(informer));
        EXPECT_EQ(2u, informer->RefCount());
    }
    EXPECT_EQ(1u, informer->RefCount());
    informer->Release();
}

TEST(FilterDispatch, HostTypeLibraryDrivesItemCountAndStartPointThroughIDispatch)
{
    ILSSyncFilter2Ptr filter = NewFilter();
    IDispatchPtr dispatch(filter);
    UINT count = 0;
    ASSERT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_EQ(E_POINTER, dispatch->GetTypeInfoCount(nullptr));

    OLECHAR* names[] = {const_cast<OLECHAR*>(L"ItemCount")};
    DISPID itemCountId = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &itemCountId));
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    _variant_t result;
    ASSERT_EQ(S_OK, dispatch->Invoke(itemCountId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                     &result, nullptr, nullptr));
    EXPECT_EQ(VT_UI2, result.vt);
    EXPECT_EQ(0, result.uiVal);

    OLECHAR* setName[] = {const_cast<OLECHAR*>(L"SetSyncStartPointByString")};
    DISPID setId = 0;
    ASSERT_EQ(S_OK, dispatch->GetIDsOfNames(IID_NULL, setName, 1, LOCALE_USER_DEFAULT, &setId));
    _variant_t argument(L"https://top/folder");
    DISPPARAMS one = {&argument, nullptr, 1, 0};
    EXPECT_EQ(S_OK, dispatch->Invoke(setId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &one, nullptr,
                                     nullptr, nullptr));

    // The component's own dual interface is served from its own type library.
    IKOVAUnifiedGroupsSync* own = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(__uuidof(IKOVAUnifiedGroupsSync), reinterpret_cast<void**>(&own)));
    ITypeInfo* info = nullptr;
    EXPECT_EQ(S_OK, own->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
    if (info)
    {
        TYPEATTR* attributes = nullptr;
        ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
        EXPECT_TRUE(IsEqualGUID(__uuidof(IKOVAUnifiedGroupsSync), attributes->guid));
        info->ReleaseTypeAttr(attributes);
        info->Release();
    }
    own->Release();
}
