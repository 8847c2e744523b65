#pragma once
// Descriptor of the set of fields the filter's items carry. The set is empty:
// per-field descriptors are made on request for whatever name the host asks.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSComObject.h"

#include <vector>

using LSUnifiedGroupFieldSetInfoDispatch =
    LSDispatchImpl<ILSUnifiedGroupFieldSetInfo, &LIBID_KOVAUnifiedGroupsSyncLib, 1, 0, true>;

class CLSUnifiedGroupFieldSetInfo : public LSComObjectRoot,
                                    public LSUnifiedGroupFieldSetInfoDispatch,
                                    public ILSKOVAFieldSetInfo
{
public:
    explicit CLSUnifiedGroupFieldSetInfo(IUnknown* outer);
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** result);

    LS_DELEGATING_IUNKNOWN

    // ILSKOVAFieldSetInfo, in table order
    STDMETHODIMP ReadFolderProps(IUnknown* folder) override;
    STDMETHODIMP ReadItemProps(IUnknown* item) override;
    STDMETHODIMP ReadDefaultProps(IUnknown* source) override;
    STDMETHODIMP HasFields(VARIANT_BOOL* value) override;
    STDMETHODIMP getFieldInfo(BSTR name, ILSKOVAFieldInfo** info) override;
    STDMETHODIMP AddField(BSTR name) override;
    STDMETHODIMP RemoveField(BSTR name) override;
    STDMETHODIMP GetFieldSchema(BSTR* schema) override;
    STDMETHODIMP GetFieldValueText(BSTR name, BSTR* text) override;
    STDMETHODIMP SetFieldOrder(VARIANT order) override;
    STDMETHODIMP GetFieldOrder(VARIANT* order) override;
    STDMETHODIMP GetFieldCount(ULONG* count) override;
    STDMETHODIMP GetFieldName(ULONG index, BSTR* name) override;
    STDMETHODIMP GetVisibleFieldCount(ULONG* count) override;
    STDMETHODIMP GetVisibleFieldName(ULONG index, BSTR* name) override;
    STDMETHODIMP GetViewName(BSTR* name) override;
    STDMETHODIMP SetViewName(BSTR name) override;
    STDMETHODIMP GetViewXml(BSTR* xml) override;
    STDMETHODIMP SetViewXml(BSTR xml) override;
    STDMETHODIMP GetSortField(BSTR* name) override;
    STDMETHODIMP SetSortField(BSTR name) override;
    STDMETHODIMP GetGroupField(BSTR* name) override;
    STDMETHODIMP SetGroupField(BSTR name) override;
    STDMETHODIMP Refresh() override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP GetContentTypeId(BSTR* id) override;
    STDMETHODIMP SetContentTypeId(BSTR id) override;

protected:
    ~CLSUnifiedGroupFieldSetInfo() override = default;
    void* FindInterface(REFIID riid) override;
    IUnknown* PrimaryInterface() override;

private:
    friend class CLSUnifiedGroupFieldSetInfoAccess;

    HRESULT readAllProps(IUnknown* source);
    HRESULT StoreFieldCount(ULONG* count) const;
    HRESULT StoreFieldName(ULONG index, BSTR* name) const;

    std::vector<CStdStr> m_fieldNames; // nothing in the component fills it yet
};
