// The field-set and field descriptors, used through the interfaces the host
// calls, as handed out by the filter.
#include <gtest/gtest.h>

#include "CLSUnifiedGroupFieldSetInfoAccess.h"
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"
#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupFieldSetInfo.h"
#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupsFieldInfo.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSModuleLock.h"
#include "external/HostObjects/LSHostPropertyMap.h"

#include <string>

namespace {

const BSTR Sentinel = reinterpret_cast<BSTR>(static_cast<uintptr_t>(0x5151));

std::wstring Take(BSTR text)
{
    std::wstring copy = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    SysFreeString(text);
    return copy;
}

ILSSyncFilter2Ptr NewFilter()
{
    ILSSyncFilter2Ptr filter;
    EXPECT_EQ(S_OK, CKOVAUnifiedGroupsSync::CreateInstance(nullptr, __uuidof(ILSSyncFilter2),
                                                           reinterpret_cast<void**>(&filter)));
    return filter;
}

ILSKOVAFieldSetInfoPtr FieldSetOf(const ILSSyncFilter2Ptr& filter)
{
    ILSKOVAFieldSetInfo* raw = nullptr;
    EXPECT_EQ(S_OK, filter->GetFieldSetInfo(nullptr, &raw));
    return ILSKOVAFieldSetInfoPtr(raw, false);
}

ILSKOVAFieldInfoPtr FieldNamed(const ILSKOVAFieldSetInfoPtr& set, const wchar_t* name)
{
    ILSKOVAFieldInfo* raw = nullptr;
    EXPECT_EQ(S_OK, set->getFieldInfo(name ? _bstr_t(name).GetBSTR() : nullptr, &raw));
    return ILSKOVAFieldInfoPtr(raw, false);
}

// A minimal outer object for aggregation: counts its own references.
class OuterObject : public IUnknown
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
        return inner ? inner->QueryInterface(riid, result) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++count; }
    STDMETHODIMP_(ULONG) Release() override { return --count; }
    ULONG count = 1;
    IUnknown* inner = nullptr;
};

} // namespace

TEST(FieldSetDescriptor, FilterHandsOutANewEmptySetAtEveryCall)
{
    ILSSyncFilter2Ptr filter = NewFilter();
    ILSKOVAFieldSetInfoPtr first = FieldSetOf(filter);
    ILSKOVAFieldSetInfoPtr second = FieldSetOf(filter);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first.GetInterfacePtr(), second.GetInterfacePtr());

    for (const ILSKOVAFieldSetInfoPtr& set : {first, second})
    {
        ULONG count = 99;
        EXPECT_EQ(S_OK, set->GetFieldCount(&count));
        EXPECT_EQ(0u, count);
        count = 99;
        EXPECT_EQ(S_OK, set->GetVisibleFieldCount(&count));
        EXPECT_EQ(0u, count);
    }
    EXPECT_EQ(E_POINTER, filter->GetFieldSetInfo(nullptr, nullptr));
}

TEST(FieldSetDescriptor, NameLookupsOutsideTheListLeaveTheOutArgumentAlone)
{
    ILSKOVAFieldSetInfoPtr set = FieldSetOf(NewFilter());
    for (ULONG index : {0ul, 1ul, 0xFFFFFFFFul})
    {
        BSTR name = Sentinel;
        EXPECT_EQ(E_INVALIDARG, set->GetFieldName(index, &name));
        EXPECT_EQ(Sentinel, name);
        EXPECT_EQ(E_INVALIDARG, set->GetVisibleFieldName(index, &name));
        EXPECT_EQ(Sentinel, name);
    }
}

TEST(FieldSetDescriptor, NameLookupsInsideTheListCopyTheName)
{
    CLSUnifiedGroupFieldSetInfo* object = new CLSUnifiedGroupFieldSetInfo(nullptr);
    ILSKOVAFieldSetInfoPtr set(static_cast<ILSKOVAFieldSetInfo*>(object)); // first reference
    CLSUnifiedGroupFieldSetInfoAccess::SetFieldNames(*object, {L"ows-Title", L"ows-ID"});
    BSTR name = nullptr;
    ASSERT_EQ(S_OK, set->GetFieldName(1, &name));
    EXPECT_EQ(L"ows-ID", Take(name));
    ASSERT_EQ(S_OK, set->GetVisibleFieldName(0, &name));
    EXPECT_EQ(L"ows-Title", Take(name));
    BSTR untouched = Sentinel;
    EXPECT_EQ(E_INVALIDARG, set->GetFieldName(2, &untouched));
    EXPECT_EQ(Sentinel, untouched);
}

TEST(FieldSetDescriptor, PropertyReadersAnswerSOkAndLogANullSource)
{
    LogCapture capture;
    ILSKOVAFieldSetInfoPtr set = FieldSetOf(NewFilter());
    LSHostPropertyMapHolder map;
    EXPECT_EQ(S_OK, set->ReadFolderProps(map.Interface()));
    EXPECT_EQ(S_OK, set->ReadItemProps(map.Interface()));
    EXPECT_EQ(S_OK, set->ReadDefaultProps(map.Interface()));
    EXPECT_EQ(0u, capture.Count("readAllProps")) << capture.All();
    EXPECT_TRUE(map->Calls().empty()); // the source is not read

    EXPECT_EQ(S_OK, set->ReadFolderProps(nullptr));
    EXPECT_EQ(S_OK, set->ReadItemProps(nullptr));
    EXPECT_EQ(S_OK, set->ReadDefaultProps(nullptr));
    auto lines = capture.Matching("CLSUnifiedGroupFieldSetInfo::readAllPropsUnexpected return: 80070057");
    ASSERT_EQ(3u, lines.size()) << capture.All();
    EXPECT_EQ(google::GLOG_ERROR, lines[0].severity);
}

TEST(FieldSetDescriptor, FixedAnswersAndUnimplementedSlots)
{
    ILSKOVAFieldSetInfoPtr set = FieldSetOf(NewFilter());
    VARIANT_BOOL hasFields = VARIANT_FALSE;
    EXPECT_EQ(S_OK, set->HasFields(&hasFields));
    EXPECT_EQ(VARIANT_TRUE, hasFields);

    BSTR text = nullptr;
    ASSERT_EQ(S_OK, set->GetFieldValueText(_bstr_t(L"ows-Title"), &text));
    ASSERT_NE(nullptr, text); // an empty string, not a null one
    EXPECT_EQ(L"", Take(text));

    BSTR out = nullptr;
    VARIANT variant;
    VariantInit(&variant);
    EXPECT_EQ(E_NOTIMPL, set->AddField(nullptr));
    EXPECT_EQ(E_NOTIMPL, set->RemoveField(nullptr));
    EXPECT_EQ(E_NOTIMPL, set->GetFieldSchema(&out));
    EXPECT_EQ(E_NOTIMPL, set->SetFieldOrder(variant));
    EXPECT_EQ(E_NOTIMPL, set->GetFieldOrder(&variant));
    EXPECT_EQ(E_NOTIMPL, set->GetViewName(&out));
    EXPECT_EQ(E_NOTIMPL, set->Refresh());
    EXPECT_EQ(E_NOTIMPL, set->SetContentTypeId(nullptr));
    EXPECT_EQ(nullptr, out);
}

TEST(FieldSetDescriptor, InterfaceTableAndModuleLock)
{
    const LONG before = LSModuleLock::Count();
    {
        ILSKOVAFieldSetInfoPtr set = FieldSetOf(NewFilter());
        EXPECT_EQ(before + 1, LSModuleLock::Count());
        IUnknownPtr unknown;
        ASSERT_EQ(S_OK, set->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
        IUnknown* own = nullptr;
        ASSERT_EQ(S_OK, set->QueryInterface(__uuidof(ILSUnifiedGroupFieldSetInfo), reinterpret_cast<void**>(&own)));
        IUnknown* dispatch = nullptr;
        ASSERT_EQ(S_OK, set->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
        EXPECT_EQ(own, unknown.GetInterfacePtr());
        EXPECT_EQ(own, dispatch);
        own->Release();
        dispatch->Release();
        void* other = Sentinel;
        EXPECT_EQ(E_NOINTERFACE, set->QueryInterface(__uuidof(ILSKOVAFieldInfo), &other));
        EXPECT_EQ(nullptr, other);
    }
    EXPECT_EQ(before, LSModuleLock::Count());
}

TEST(FieldDescriptor, DescribesAPlainTextFieldOfTheAskedName)
{
    ILSKOVAFieldInfoPtr field = FieldNamed(FieldSetOf(NewFilter()), L"ows-Title");
    ASSERT_TRUE(field);
    BSTR text = nullptr;
    ASSERT_EQ(S_OK, field->GetName(&text));
    EXPECT_EQ(L"ows-Title", Take(text));
    ASSERT_EQ(S_OK, field->GetDisplayName(&text));
    EXPECT_EQ(L"ows-Title", Take(text));
    ASSERT_EQ(S_OK, field->GetFieldProgId(&text));
    EXPECT_EQ(L"KOVA.SimpleField.1", Take(text));
    ASSERT_EQ(S_OK, field->GetDescription(&text));
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(L"", Take(text));
    LONG type = 0;
    EXPECT_EQ(S_OK, field->GetFieldType(&type));
    EXPECT_EQ(2, type);

    using Flag = HRESULT (STDMETHODCALLTYPE ILSKOVAFieldInfo::*)(VARIANT_BOOL*);
    const Flag trueFlags[] = {&ILSKOVAFieldInfo::IsVisible, &ILSKOVAFieldInfo::IsEditable,
                              &ILSKOVAFieldInfo::IsSimpleText};
    const Flag falseFlags[] = {&ILSKOVAFieldInfo::IsRequired,  &ILSKOVAFieldInfo::IsReadOnly,
                               &ILSKOVAFieldInfo::IsHidden,    &ILSKOVAFieldInfo::IsMultiValue,
                               &ILSKOVAFieldInfo::IsLookup,    &ILSKOVAFieldInfo::IsCalculated,
                               &ILSKOVAFieldInfo::IsIndexed,   &ILSKOVAFieldInfo::IsSortable,
                               &ILSKOVAFieldInfo::IsDateTime};
    for (Flag method : trueFlags)
    {
        VARIANT_BOOL value = VARIANT_FALSE;
        EXPECT_EQ(S_OK, ((*field).*method)(&value));
        EXPECT_EQ(VARIANT_TRUE, value);
    }
    for (Flag method : falseFlags)
    {
        VARIANT_BOOL value = VARIANT_TRUE;
        EXPECT_EQ(S_OK, ((*field).*method)(&value));
        EXPECT_EQ(VARIANT_FALSE, value);
    }
    BSTR out = nullptr;
    LONG number = 0;
    EXPECT_EQ(E_NOTIMPL, field->GetDefaultValue(&out));
    EXPECT_EQ(E_NOTIMPL, field->GetMaxLength(&number));
    EXPECT_EQ(E_NOTIMPL, field->GetSchemaXml(&out));
    EXPECT_EQ(E_NOTIMPL, field->GetSortOrder(&number));
    EXPECT_EQ(E_NOTIMPL, field->ParseDisplayValue(nullptr, &out));
    EXPECT_EQ(E_NOTIMPL, field->WriteValueToItem(nullptr, nullptr));
    EXPECT_EQ(E_NOTIMPL, field->CompareValues(nullptr, nullptr, &number));
    EXPECT_EQ(nullptr, out);
}

TEST(FieldDescriptor, NullNameGivesTheEmptyName)
{
    ILSKOVAFieldInfoPtr field = FieldNamed(FieldSetOf(NewFilter()), nullptr);
    ASSERT_TRUE(field);
    BSTR text = nullptr;
    ASSERT_EQ(S_OK, field->GetName(&text));
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(L"", Take(text));
}

TEST(FieldDescriptor, FormattingEchoesTheValueUnchanged)
{
    ILSKOVAFieldInfoPtr field = FieldNamed(FieldSetOf(NewFilter()), L"ows-Title");
    const std::wstring withNul(L"a\0b \u00C9", 5);
    for (const std::wstring& value : {std::wstring(L"R&D <Labs>"), std::wstring(), withNul})
    {
        _bstr_t input(SysAllocStringLen(value.data(), static_cast<UINT>(value.size())), false);
        BSTR out = nullptr;
        ASSERT_EQ(S_OK, field->FormatValueForDisplay(input, &out));
        EXPECT_EQ(value, Take(out));
        ASSERT_EQ(S_OK, field->FormatValueForServer(input, &out));
        EXPECT_EQ(value, Take(out));
    }
    BSTR out = nullptr;
    ASSERT_EQ(S_OK, field->FormatValueForDisplay(nullptr, &out));
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(L"", Take(out));
}

TEST(FieldDescriptor, ReadsTheItemsPropertyOfItsName)
{
    ILSKOVAFieldInfoPtr field = FieldNamed(FieldSetOf(NewFilter()), L"ows-Title");
    LSHostPropertyMapHolder item;
    item->Preset(L"ows-Title", L"\u00C9quipe Finance");
    for (short flags : {short(0), short(1)})
    {
        BSTR value = nullptr;
        ASSERT_EQ(S_OK, field->ReadValueFromItem(item.Interface(), flags, &value));
        EXPECT_EQ(L"\u00C9quipe Finance", Take(value));
    }
    ASSERT_EQ(2u, item->Calls().size());
    EXPECT_EQ(L"GetProperty", item->Calls()[0].method);
    EXPECT_EQ(L"ows-Title", item->Calls()[0].name);
}

TEST(FieldDescriptor, MissingPropertyFailsOnlyWithAZeroFlag)
{
    ILSKOVAFieldInfoPtr field = FieldNamed(FieldSetOf(NewFilter()), L"ows-Title");
    LSHostPropertyMapHolder item; // no ows-Title
    BSTR value = Sentinel;
    EXPECT_EQ(E_FAIL, field->ReadValueFromItem(item.Interface(), 0, &value));
    EXPECT_EQ(Sentinel, value);

    for (short flags : {short(1), short(-1)})
    {
        value = nullptr;
        ASSERT_EQ(S_OK, field->ReadValueFromItem(item.Interface(), flags, &value));
        ASSERT_NE(nullptr, value);
        EXPECT_EQ(L"", Take(value));
    }

    item->Preset(L"ows-Title", L"kept");
    item->FailRead(L"ows-Title", E_ACCESSDENIED);
    value = Sentinel;
    EXPECT_EQ(E_FAIL, field->ReadValueFromItem(item.Interface(), 0, &value));
    EXPECT_EQ(Sentinel, value);
}

TEST(FieldDescriptor, NullItemMapIsRefusedWithoutWriting)
{
    ILSKOVAFieldInfoPtr field = FieldNamed(FieldSetOf(NewFilter()), L"ows-Title");
    for (short flags : {short(0), short(1)})
    {
        BSTR value = Sentinel;
        EXPECT_EQ(E_POINTER, field->ReadValueFromItem(nullptr, flags, &value));
        EXPECT_EQ(Sentinel, value);
    }
}

TEST(FieldDescriptor, InterfaceTable)
{
    ILSKOVAFieldInfoPtr field = FieldNamed(FieldSetOf(NewFilter()), L"x");
    IUnknownPtr unknown;
    ASSERT_EQ(S_OK, field->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    IUnknown* own = nullptr;
    ASSERT_EQ(S_OK, field->QueryInterface(__uuidof(ILSUnifiedGroupsFieldInfo), reinterpret_cast<void**>(&own)));
    IUnknown* dispatch = nullptr;
    ASSERT_EQ(S_OK, field->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    EXPECT_EQ(own, unknown.GetInterfacePtr());
    EXPECT_EQ(own, dispatch);
    own->Release();
    dispatch->Release();
    void* other = Sentinel;
    EXPECT_EQ(E_NOINTERFACE, field->QueryInterface(__uuidof(ILSKOVAFieldSetInfo), &other));
    EXPECT_EQ(nullptr, other);
}

TEST(FieldDescriptors, CanBeAggregated)
{
    using Creator = HRESULT (*)(IUnknown*, REFIID, void**);
    const std::pair<Creator, IID> classes[] = {
        {&CLSUnifiedGroupsFieldInfo::CreateInstance, __uuidof(ILSKOVAFieldInfo)},
        {&CLSUnifiedGroupFieldSetInfo::CreateInstance, __uuidof(ILSKOVAFieldSetInfo)},
    };
    for (const auto& [create, hostInterface] : classes)
    {
        OuterObject outer;
        void* refused = Sentinel;
        EXPECT_EQ(CLASS_E_NOAGGREGATION, create(&outer, hostInterface, &refused));
        EXPECT_EQ(nullptr, refused);

        ASSERT_EQ(S_OK, create(&outer, IID_IUnknown, reinterpret_cast<void**>(&outer.inner)));
        IUnknown* viaOuter = nullptr;
        ASSERT_EQ(S_OK, outer.QueryInterface(hostInterface, reinterpret_cast<void**>(&viaOuter)));
        EXPECT_EQ(2u, outer.count); // the inner object's interface counts on the outer object
        IUnknown* identity = nullptr;
        ASSERT_EQ(S_OK, viaOuter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)));
        EXPECT_EQ(static_cast<IUnknown*>(&outer), identity);
        identity->Release();
        viaOuter->Release();
        EXPECT_EQ(1u, outer.count);
        outer.inner->Release();
    }
}
