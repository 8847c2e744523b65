#pragma once
// The sync filter the host sync engine drives: one item per Unified Group of
// the signed-in user, plus the description of its top folder.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "KOVAUnifiedGroupsSync/GroupSources/LSGroupRecords.h"
#include "KOVAUnifiedGroupsSync_h.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSComObject.h"

#include <string>
#include <vector>

using LSKOVAUnifiedGroupsSyncDispatch =
    LSDispatchImpl<IKOVAUnifiedGroupsSync, &LIBID_KOVAUnifiedGroupsSyncLib, 1, 0, true>;
using LSSyncFilter2Dispatch = LSDispatchImpl<ILSSyncFilter2, &LIBID_KOVASyncBasicsLib, 1, 0, false>;

// The longest start point accepted: an address, never a document.
constexpr size_t MaxStartPointLength = 2048;

class CKOVAUnifiedGroupsSync : public LSComObjectRoot,
                               public LSKOVAUnifiedGroupsSyncDispatch,
                               public ILSDeleteableSyncFilter,
                               public LSSyncFilter2Dispatch,
                               public ILSManualDeletionsSyncFilter,
                               public ILSNeedsShutdownInfo,
                               public IKOVAWaitingGroups,
                               public IKOVAPassFigures
{
public:
    using Group = LSUnifiedGroup;

    explicit CKOVAUnifiedGroupsSync(IUnknown* outer);
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** result);

    LS_DELEGATING_IUNKNOWN

    // ILSSyncFilter / ILSSyncFilter2, in table order
    STDMETHODIMP SetSyncStartPointByString(BSTR text) override;
    STDMETHODIMP Reserved02(BSTR text) override;
    STDMETHODIMP Reserved03(LONG value) override;
    STDMETHODIMP Reserved04(BSTR text, LONG value) override;
    STDMETHODIMP get_ItemCount(USHORT* count) override;
    STDMETHODIMP GetItemBasicProps(USHORT index, ILSPropertyMap* map) override;
    STDMETHODIMP Reserved07(USHORT index) override;
    STDMETHODIMP SetItemProperties(USHORT index, ILSPropertyMap* map) override;
    STDMETHODIMP Reserved09(ILSPropertyMap* map) override;
    STDMETHODIMP PreContentSyncFolderUpdate(ILSPropertyMap* folder) override;
    STDMETHODIMP Reserved11(VARIANT_BOOL* value) override;
    STDMETHODIMP Reserved12(ILSPropertyMap* map) override;
    STDMETHODIMP Reserved13(ILSPropertyMap* map) override;
    STDMETHODIMP GetFilterNames(BSTR* name, BSTR* displayName) override;
    STDMETHODIMP Reserved15(BSTR text, LONG value, LONG* result) override;
    STDMETHODIMP Reserved16(LONG* result, LONG value) override;
    STDMETHODIMP Reserved17(BSTR text) override;
    STDMETHODIMP Reserved18(LONG value) override;
    STDMETHODIMP SetCurrentProfileName(BSTR profileName) override;
    STDMETHODIMP Reserved20(VARIANT_BOOL* value, BSTR text) override;
    STDMETHODIMP Reserved21(BSTR text) override;
    STDMETHODIMP Reserved22(LONG value) override;
    STDMETHODIMP Reserved23(ILSPropertyMap* map) override;
    STDMETHODIMP GetFieldSetInfo(BSTR reserved, ILSKOVAFieldSetInfo** info) override;

    // ILSDeleteableSyncFilter
    STDMETHODIMP DeleteableMethod1(VARIANT_BOOL* value) override;
    STDMETHODIMP DeleteableMethod2(BSTR key) override;
    STDMETHODIMP DeleteableMethod3(BSTR key, LONG flags) override;
    STDMETHODIMP DeleteableMethod4(ILSPropertyMap* map) override;
    STDMETHODIMP DeleteableMethod5(LONG* value) override;
    STDMETHODIMP DeleteableMethod6() override;

    // ILSManualDeletionsSyncFilter
    STDMETHODIMP GetDeletionKeyPropertyName(BSTR* name) override;
    STDMETHODIMP IsDeleted(BSTR key, LONG flag) override;

    // ILSNeedsShutdownInfo
    STDMETHODIMP GetShutdownInformer(ILSShutdownInformer** informer) override;
    STDMETHODIMP SetShutdownInformer(ILSShutdownInformer* informer) override;

    // IKOVAWaitingGroups
    STDMETHODIMP GetWaitingCount(LONG* count) override;
    STDMETHODIMP GetWaitingGroup(LONG index, BSTR* id, BSTR* name, BSTR* message) override;

    // IKOVAPassFigures
    STDMETHODIMP GetLastUpdateRequests(ULONG* requests) override;
    STDMETHODIMP GetListService(BSTR* service) override;

protected:
    ~CKOVAUnifiedGroupsSync() override = default;
    void* FindInterface(REFIID riid) override;
    IUnknown* PrimaryInterface() override;

private:
    HRESULT BasicPropsOfTopFolder(ILSPropertyMap* map);
    HRESULT BasicPropsOfGroup(USHORT index, ILSPropertyMap* map);
    HRESULT PropertiesOfGroup(USHORT index, ILSPropertyMap* map);
    HRESULT SetTopFolderDetails(ILSPropertyMap* map);
    void ReadFolderSettings(ILSPropertyMap* folder);
    void RefreshGroups();
    const Group& GroupAt(USHORT index) const;

    std::vector<Group> m_groups;
    // Listed groups without their library yet: no items, but not deleted.
    std::vector<LSWaitingGroup> m_waiting;
    bool m_hasGroupList = false; // a folder update has succeeded on this object
    bool m_folderUpdateRunning = false;
    ULONG m_lastUpdateRequests = 0;
    std::wstring m_listService; // the service that produced m_groups
    ILSShutdownInformerPtr m_shutdownInformer;
    CStdStr m_startPoint;
    CStdStr m_clientId;

    // Defined by the tests only, which set the list the item operations address.
    friend class CKOVAUnifiedGroupsSyncAccess;
};

// Splits at every separator; empty fields are kept.
std::vector<CStdStr> SplitOnSeparator(const std::wstring& text, const std::wstring& separator);
