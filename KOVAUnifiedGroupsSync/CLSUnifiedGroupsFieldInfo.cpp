#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupsFieldInfo.h"

#include "KOVACommon/host/LSPropertyNames.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/hresult_exception.h"

namespace {

// A new BSTR holding the text, embedded NULs included; never null.
BSTR NewText(const wchar_t* text, UINT length)
{
    BSTR copy = SysAllocStringLen(text, length);
    if (!copy)
        throw hresult_exception::Com(E_OUTOFMEMORY);
    return copy;
}

BSTR NewText(const std::wstring& text)
{
    return NewText(text.data(), static_cast<UINT>(text.size()));
}

BSTR CopyOf(BSTR value)
{
    return NewText(value ? value : L"", SysStringLen(value));
}

// Text is shown and sent as it is: the copy is the formatted value.
HRESULT StoreCopy(BSTR value, BSTR* out, const char* qualifiedName)
{
    return LSStoreOut(out, qualifiedName, [value] { return CopyOf(value); });
}

HRESULT StoreFlag(VARIANT_BOOL* out, VARIANT_BOOL value)
{
    return LSStoreValue(out, value);
}

} // namespace

CLSUnifiedGroupsFieldInfo::CLSUnifiedGroupsFieldInfo(IUnknown* outer) : LSComObjectRoot(outer) {}

HRESULT CLSUnifiedGroupsFieldInfo::CreateInstance(IUnknown* outer, REFIID riid, void** result)
{
    return CreateComObject<CLSUnifiedGroupsFieldInfo>(outer, riid, result);
}

HRESULT CLSUnifiedGroupsFieldInfo::CreateForField(const std::wstring& name, REFIID riid, void** result)
{
    ILSUnifiedGroupsFieldInfo* own = nullptr;
    ThrowIfFailedCom(CreateComObject<CLSUnifiedGroupsFieldInfo>(nullptr, __uuidof(ILSUnifiedGroupsFieldInfo),
                                                                reinterpret_cast<void**>(&own)));
    IUnknownPtr holder(own, false);
    static_cast<CLSUnifiedGroupsFieldInfo*>(own)->SetName(name);
    return own->QueryInterface(riid, result);
}

void* CLSUnifiedGroupsFieldInfo::FindInterface(REFIID riid)
{
    return LSFindInterface<ILSUnifiedGroupsFieldInfo, ILSUnifiedGroupsFieldInfo, ILSKOVAFieldInfo>(this, riid);
}

IUnknown* CLSUnifiedGroupsFieldInfo::PrimaryInterface()
{
    return static_cast<ILSUnifiedGroupsFieldInfo*>(this);
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetName(BSTR* name)
{
    return LSStoreOut(name, "CLSUnifiedGroupsFieldInfo::raw_GetName", [&] { return NewText(m_name); });
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetDisplayName(BSTR* name)
{
    LS_COM_BOUNDARY_BEGIN
    if (!name)
        return E_POINTER;
    *name = NewText(m_name);
    return S_OK;
    LS_COM_BOUNDARY_END("CLSUnifiedGroupsFieldInfo::raw_GetDisplayName")
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsVisible(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_TRUE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsEditable(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_TRUE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsRequired(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsReadOnly(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsHidden(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsMultiValue(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsLookup(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsCalculated(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsIndexed(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsSortable(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetChoices(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetDefaultValue(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetMaxLength(LONG*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetMinValue(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetMaxValue(VARIANT*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetFormat(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetLookupList(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetLookupField(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetGroupName(BSTR*) { return E_NOTIMPL; }

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetDescription(BSTR* description)
{
    return LSStoreOut(description, "CLSUnifiedGroupsFieldInfo::raw_GetDescription",
                      [] { return NewText(std::wstring()); });
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetValidationFormula(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetValidationMessage(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetSchemaXml(BSTR*) { return E_NOTIMPL; }

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetFieldType(LONG* type) { return LSStoreValue<LONG>(type, 2); }

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetSortOrder(LONG*) { return E_NOTIMPL; }

STDMETHODIMP CLSUnifiedGroupsFieldInfo::GetFieldProgId(BSTR* progId)
{
    return LSStoreOut(progId, "CLSUnifiedGroupsFieldInfo::raw_GetFieldProgId",
                      [] { return LSPropertyNames::FieldProgId_KOVA_SimpleField_1.copy(); });
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::FormatValueForDisplay(BSTR value, BSTR* formatted)
{
    return StoreCopy(value, formatted, "CLSUnifiedGroupsFieldInfo::raw_FormatValueForDisplay");
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::FormatValueForServer(BSTR value, BSTR* formatted)
{
    return StoreCopy(value, formatted, "CLSUnifiedGroupsFieldInfo::raw_FormatValueForServer");
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsSimpleText(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_TRUE); }

STDMETHODIMP CLSUnifiedGroupsFieldInfo::ParseDisplayValue(BSTR, BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::WriteValueToItem(ILSPropertyMap*, BSTR) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupsFieldInfo::CompareValues(BSTR, BSTR, LONG*) { return E_NOTIMPL; }

STDMETHODIMP CLSUnifiedGroupsFieldInfo::ReadValueFromItem(ILSPropertyMap* item, short flags, BSTR* value)
{
    LS_COM_BOUNDARY_BEGIN
    // Without an item or a place for the answer there is nothing to read into.
    if (!item || !value)
        return E_POINTER;
    const _bstr_t name = m_name.ToBstr();
    BSTR returned = nullptr;
    const HRESULT hr = item->GetProperty(name, &returned);
    const _bstr_t text(returned, false); // the map's string is ours to free, whatever the outcome
    if (SUCCEEDED(hr))
    {
        *value = CopyOf(returned); // a null answer gives the empty text
        return S_OK;
    }
    if (flags == 0)
        return E_FAIL;
    *value = NewText(std::wstring());
    return S_OK;
    LS_COM_BOUNDARY_END("CLSUnifiedGroupsFieldInfo::raw_ReadValueFromItem")
}

STDMETHODIMP CLSUnifiedGroupsFieldInfo::IsDateTime(VARIANT_BOOL* value) { return StoreFlag(value, VARIANT_FALSE); }
