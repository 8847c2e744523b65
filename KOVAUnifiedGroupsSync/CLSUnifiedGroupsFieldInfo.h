#pragma once
// Descriptor of one field of the filter's items: a plain text field whose value
// is the item's property of the same name.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSComObject.h"

using LSUnifiedGroupsFieldInfoDispatch =
    LSDispatchImpl<ILSUnifiedGroupsFieldInfo, &LIBID_KOVAUnifiedGroupsSyncLib, 1, 0, true>;

class CLSUnifiedGroupsFieldInfo : public LSComObjectRoot,
                                  public LSUnifiedGroupsFieldInfoDispatch,
                                  public ILSKOVAFieldInfo
{
public:
    explicit CLSUnifiedGroupsFieldInfo(IUnknown* outer);
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** result);
    // A standalone descriptor for the named field, queried for riid.
    // Throws a COM error when the descriptor cannot be made.
    static HRESULT CreateForField(const std::wstring& name, REFIID riid, void** result);

    void SetName(const std::wstring& name) { m_name = name; }

    LS_DELEGATING_IUNKNOWN

    // ILSKOVAFieldInfo, in table order
    STDMETHODIMP GetName(BSTR* name) override;
    STDMETHODIMP GetDisplayName(BSTR* name) override;
    STDMETHODIMP IsVisible(VARIANT_BOOL* value) override;
    STDMETHODIMP IsEditable(VARIANT_BOOL* value) override;
    STDMETHODIMP IsRequired(VARIANT_BOOL* value) override;
    STDMETHODIMP IsReadOnly(VARIANT_BOOL* value) override;
    STDMETHODIMP IsHidden(VARIANT_BOOL* value) override;
    STDMETHODIMP IsMultiValue(VARIANT_BOOL* value) override;
    STDMETHODIMP IsLookup(VARIANT_BOOL* value) override;
    STDMETHODIMP IsCalculated(VARIANT_BOOL* value) override;
    STDMETHODIMP IsIndexed(VARIANT_BOOL* value) override;
    STDMETHODIMP IsSortable(VARIANT_BOOL* value) override;
    STDMETHODIMP GetChoices(VARIANT* choices) override;
    STDMETHODIMP GetDefaultValue(BSTR* value) override;
    STDMETHODIMP GetMaxLength(LONG* length) override;
    STDMETHODIMP GetMinValue(VARIANT* value) override;
    STDMETHODIMP GetMaxValue(VARIANT* value) override;
    STDMETHODIMP GetFormat(BSTR* format) override;
    STDMETHODIMP GetLookupList(BSTR* list) override;
    STDMETHODIMP GetLookupField(BSTR* field) override;
    STDMETHODIMP GetGroupName(BSTR* group) override;
    STDMETHODIMP GetDescription(BSTR* description) override;
    STDMETHODIMP GetValidationFormula(BSTR* formula) override;
    STDMETHODIMP GetValidationMessage(BSTR* message) override;
    STDMETHODIMP GetSchemaXml(BSTR* xml) override;
    STDMETHODIMP GetFieldType(LONG* type) override;
    STDMETHODIMP GetSortOrder(LONG* order) override;
    STDMETHODIMP GetFieldProgId(BSTR* progId) override;
    STDMETHODIMP FormatValueForDisplay(BSTR value, BSTR* formatted) override;
    STDMETHODIMP FormatValueForServer(BSTR value, BSTR* formatted) override;
    STDMETHODIMP IsSimpleText(VARIANT_BOOL* value) override;
    STDMETHODIMP ParseDisplayValue(BSTR value, BSTR* parsed) override;
    STDMETHODIMP WriteValueToItem(ILSPropertyMap* item, BSTR value) override;
    STDMETHODIMP CompareValues(BSTR left, BSTR right, LONG* order) override;
    STDMETHODIMP ReadValueFromItem(ILSPropertyMap* item, short flags, BSTR* value) override;
    STDMETHODIMP IsDateTime(VARIANT_BOOL* value) override;

protected:
    ~CLSUnifiedGroupsFieldInfo() override = default;
    void* FindInterface(REFIID riid) override;
    IUnknown* PrimaryInterface() override;

private:
    CStdStr m_name;
};
