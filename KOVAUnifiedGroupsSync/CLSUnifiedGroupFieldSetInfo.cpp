#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupFieldSetInfo.h"

#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupsFieldInfo.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSLog.h"
#include "QuorvalCommon/hresult_exception.h"
#include "QuorvalCommon/narrowcasts.h"

CLSUnifiedGroupFieldSetInfo::CLSUnifiedGroupFieldSetInfo(IUnknown* outer) : LSComObjectRoot(outer) {}

HRESULT CLSUnifiedGroupFieldSetInfo::CreateInstance(IUnknown* outer, REFIID riid, void** result)
{
    return CreateComObject<CLSUnifiedGroupFieldSetInfo>(outer, riid, result);
}

void* CLSUnifiedGroupFieldSetInfo::FindInterface(REFIID riid)
{
    return LSFindInterface<ILSUnifiedGroupFieldSetInfo, ILSUnifiedGroupFieldSetInfo, ILSKOVAFieldSetInfo>(this, riid);
}

IUnknown* CLSUnifiedGroupFieldSetInfo::PrimaryInterface()
{
    return static_cast<ILSUnifiedGroupFieldSetInfo*>(this);
}

HRESULT CLSUnifiedGroupFieldSetInfo::readAllProps(IUnknown* source)
{
    if (source)
        return S_OK;
    LS_ERROR_LOG << "CLSUnifiedGroupFieldSetInfo::readAllProps" << "Unexpected return: " << LogHex(E_INVALIDARG);
    return E_INVALIDARG;
}

// The host does not act on a failed read of the described object's
// properties, so the three readers always answer S_OK.
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::ReadFolderProps(IUnknown* folder)
{
    readAllProps(folder);
    return S_OK;
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::ReadItemProps(IUnknown* item)
{
    readAllProps(item);
    return S_OK;
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::ReadDefaultProps(IUnknown* source)
{
    readAllProps(source);
    return S_OK;
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::HasFields(VARIANT_BOOL* value)
{
    if (!value)
        return E_POINTER;
    *value = VARIANT_TRUE;
    return S_OK;
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::getFieldInfo(BSTR name, ILSKOVAFieldInfo** info)
{
    LS_COM_BOUNDARY_BEGIN
    if (!info)
        return E_POINTER;
    *info = nullptr;
    const HRESULT hr = CLSUnifiedGroupsFieldInfo::CreateForField(CStdStr::FromBSTR(name), __uuidof(ILSKOVAFieldInfo),
                                                                reinterpret_cast<void**>(info));
    if (hr == E_NOINTERFACE)
    {
        *info = nullptr;
        return S_OK;
    }
    ThrowIfFailedCom(hr);
    return S_OK;
    LS_COM_BOUNDARY_END("CLSUnifiedGroupFieldSetInfo::raw_getFieldInfo")
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::AddField(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::RemoveField(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetFieldSchema(BSTR*) { return E_NOTIMPL; }

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetFieldValueText(BSTR, BSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = SysAllocString(L"");
    return *text ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::SetFieldOrder(VARIANT) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetFieldOrder(VARIANT*) { return E_NOTIMPL; }

HRESULT CLSUnifiedGroupFieldSetInfo::StoreFieldCount(ULONG* count) const
{
    if (!count)
        return E_POINTER;
    *count = QuorvalCommon::narrowcasts::to_uint32(m_fieldNames.size());
    return S_OK;
}

HRESULT CLSUnifiedGroupFieldSetInfo::StoreFieldName(ULONG index, BSTR* name) const
{
    if (!name)
        return E_POINTER;
    // The list is empty in practice: never read past it, and leave the out
    // argument alone when the index does not name a field.
    if (index >= m_fieldNames.size())
        return E_INVALIDARG;
    *name = m_fieldNames[index].AllocSysString();
    return S_OK;
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetFieldCount(ULONG* count)
{
    LS_COM_BOUNDARY_BEGIN
    return StoreFieldCount(count);
    LS_COM_BOUNDARY_END("CLSUnifiedGroupFieldSetInfo::raw_GetFieldCount")
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetFieldName(ULONG index, BSTR* name)
{
    LS_COM_BOUNDARY_BEGIN
    return StoreFieldName(index, name);
    LS_COM_BOUNDARY_END("CLSUnifiedGroupFieldSetInfo::raw_GetFieldName")
}

// Every field of the set is visible.
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetVisibleFieldCount(ULONG* count) { return GetFieldCount(count); }

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetVisibleFieldName(ULONG index, BSTR* name)
{
    return GetFieldName(index, name);
}

STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetViewName(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::SetViewName(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetViewXml(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::SetViewXml(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetSortField(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::SetSortField(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetGroupField(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::SetGroupField(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::Refresh() { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::Reset() { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::GetContentTypeId(BSTR*) { return E_NOTIMPL; }
STDMETHODIMP CLSUnifiedGroupFieldSetInfo::SetContentTypeId(BSTR) { return E_NOTIMPL; }
