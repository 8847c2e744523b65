#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"

#include "KOVACommon/host/LSOutlookInfo.h"
#include "KOVACommon/host/LSPropertyNames.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSGuidText.h"
#include "QuorvalCommon/hresult_exception.h"
#include "QuorvalCommon/narrowcasts.h"

#include <stdexcept>

namespace {

// A new copy of a text, owned until it is handed out.
_bstr_t OwnedCopy(const _bstr_t& text)
{
    return _bstr_t(text.copy(), false);
}

} // namespace

CKOVAUnifiedGroupsSync::CKOVAUnifiedGroupsSync(IUnknown* outer) : LSComObjectRoot(outer) {}

HRESULT CKOVAUnifiedGroupsSync::CreateInstance(IUnknown* outer, REFIID riid, void** result)
{
    return CreateComObject<CKOVAUnifiedGroupsSync>(outer, riid, result);
}

void* CKOVAUnifiedGroupsSync::FindInterface(REFIID riid)
{
    return LSFindInterface<ILSSyncFilter2, IKOVAUnifiedGroupsSync, ILSDeleteableSyncFilter, ILSSyncFilter2, ILSSyncFilter,
                           ILSManualDeletionsSyncFilter, ILSNeedsShutdownInfo, IKOVAWaitingGroups, IKOVAPassFigures>(
        this, riid);
}

IUnknown* CKOVAUnifiedGroupsSync::PrimaryInterface()
{
    return static_cast<IKOVAUnifiedGroupsSync*>(this);
}

STDMETHODIMP CKOVAUnifiedGroupsSync::SetSyncStartPointByString(BSTR text)
{
    LS_COM_BOUNDARY_BEGIN
    if (text && SysStringLen(text) > MaxStartPointLength)
        throw hresult_exception(E_INVALIDARG, "start point longer than 2048 characters");
    m_startPoint = CStdStr::FromBSTR(text);
    return S_OK;
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_SetSyncStartPointByString")
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved02(BSTR) { return S_OK; }
STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved03(LONG) { return E_NOTIMPL; }
STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved04(BSTR, LONG) { return E_NOTIMPL; }

STDMETHODIMP CKOVAUnifiedGroupsSync::get_ItemCount(USHORT* count)
{
    return LSStoreOut(count, "CKOVAUnifiedGroupsSync::get_ItemCount",
                      [&] { return QuorvalCommon::narrowcasts::to_uint16(m_groups.size()); });
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved07(USHORT) { return S_FALSE; }
STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved09(ILSPropertyMap*) { return S_OK; }

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved11(VARIANT_BOOL* value)
{
    return LSStoreValue<VARIANT_BOOL>(value, VARIANT_FALSE);
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved12(ILSPropertyMap*) { return E_NOTIMPL; }
STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved13(ILSPropertyMap*) { return S_OK; }

STDMETHODIMP CKOVAUnifiedGroupsSync::GetFilterNames(BSTR* name, BSTR* displayName)
{
    LS_COM_BOUNDARY_BEGIN
    if (!name || !displayName)
        return E_POINTER;
    // Both copies are made before either is handed out, so a failure leaves
    // the caller nothing to free.
    _bstr_t nameCopy = OwnedCopy(LSPropertyNames::RepoType_KOVAUnifiedGroups);
    _bstr_t displayNameCopy = OwnedCopy(LSPropertyNames::RepoType_KOVAUnifiedGroups);
    *name = nameCopy.Detach();
    *displayName = displayNameCopy.Detach();
    return S_OK;
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_GetFilterNames")
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved15(BSTR, LONG, LONG* result)
{
    if (!result)
        return E_POINTER;
    *result = 1;
    return S_OK;
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved16(LONG* result, LONG)
{
    return LSStoreValue<LONG>(result, 0);
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved17(BSTR) { return S_OK; }
STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved18(LONG) { return S_OK; }

STDMETHODIMP CKOVAUnifiedGroupsSync::SetCurrentProfileName(BSTR profileName)
{
    LS_COM_BOUNDARY_BEGIN
    LSOutlookInfo::SetProfileName(CStdStr::FromBSTR(profileName));
    return S_OK;
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_SetCurrentProfileName")
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved20(VARIANT_BOOL* value, BSTR)
{
    return LSStoreValue<VARIANT_BOOL>(value, VARIANT_FALSE);
}

STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved21(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved22(LONG) { return S_OK; }
STDMETHODIMP CKOVAUnifiedGroupsSync::Reserved23(ILSPropertyMap*) { return S_OK; }

STDMETHODIMP CKOVAUnifiedGroupsSync::DeleteableMethod1(VARIANT_BOOL* value)
{
    return LSStoreValue<VARIANT_BOOL>(value, VARIANT_FALSE);
}

STDMETHODIMP CKOVAUnifiedGroupsSync::DeleteableMethod2(BSTR) { return E_NOTIMPL; }
STDMETHODIMP CKOVAUnifiedGroupsSync::DeleteableMethod3(BSTR, LONG) { return E_NOTIMPL; }
STDMETHODIMP CKOVAUnifiedGroupsSync::DeleteableMethod4(ILSPropertyMap*) { return E_NOTIMPL; }
STDMETHODIMP CKOVAUnifiedGroupsSync::DeleteableMethod5(LONG*) { return E_NOTIMPL; }
STDMETHODIMP CKOVAUnifiedGroupsSync::DeleteableMethod6() { return E_NOTIMPL; }

STDMETHODIMP CKOVAUnifiedGroupsSync::GetDeletionKeyPropertyName(BSTR* name)
{
    if (!name)
        return E_POINTER;
    *name = SysAllocString(static_cast<const wchar_t*>(LSPropertyNames::Tenbrid_FromServerItem));
    return *name ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CKOVAUnifiedGroupsSync::IsDeleted(BSTR key, LONG flag)
{
    LS_COM_BOUNDARY_BEGIN
    if (flag != 0)
        return S_FALSE;
    if (!key || SysStringLen(key) == 0)
        throw hresult_exception(E_INVALIDARG, "no key to look up");
    // Without a list every folder would look deleted: the host would remove them all.
    if (!m_hasGroupList)
        throw hresult_exception(E_UNEXPECTED, "no group list yet");
    const CStdStr wanted = CStdStr::FromBSTR(key);
    for (const Group& group : m_groups)
    {
        if (LSGuidText::ToRegistryText(group.id) == wanted)
            return S_FALSE;
    }
    // A group still waiting for its library keeps the folder it has.
    for (const LSWaitingGroup& group : m_waiting)
    {
        if (LSGuidText::ToRegistryText(group.id) == wanted)
            return S_FALSE;
    }
    return S_OK;
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_IsDeleted")
}

STDMETHODIMP CKOVAUnifiedGroupsSync::GetWaitingCount(LONG* count)
{
    return LSStoreValue<LONG>(count, static_cast<LONG>(m_waiting.size()));
}

STDMETHODIMP CKOVAUnifiedGroupsSync::GetWaitingGroup(LONG index, BSTR* id, BSTR* name, BSTR* message)
{
    LS_COM_BOUNDARY_BEGIN
    if (!id || !name || !message)
        return E_POINTER;
    *id = *name = *message = nullptr;
    if (index < 0 || static_cast<size_t>(index) >= m_waiting.size())
        return E_INVALIDARG;
    const LSWaitingGroup& group = m_waiting[static_cast<size_t>(index)];
    _bstr_t idText(LSGuidText::ToRegistryText(group.id).c_str());
    _bstr_t nameText(group.displayName.c_str());
    _bstr_t messageText(group.message.c_str());
    *id = idText.Detach();
    *name = nameText.Detach();
    *message = messageText.Detach();
    return S_OK;
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::GetWaitingGroup")
}

STDMETHODIMP CKOVAUnifiedGroupsSync::GetLastUpdateRequests(ULONG* requests)
{
    return LSStoreValue<ULONG>(requests, m_lastUpdateRequests);
}

STDMETHODIMP CKOVAUnifiedGroupsSync::GetListService(BSTR* service)
{
    return LSStoreOut(service, "CKOVAUnifiedGroupsSync::GetListService",
                      [&] { return _bstr_t(m_listService.c_str()).Detach(); });
}

STDMETHODIMP CKOVAUnifiedGroupsSync::GetShutdownInformer(ILSShutdownInformer** informer)
{
    if (!informer)
        return E_POINTER;
    *informer = m_shutdownInformer;
    if (*informer)
        (*informer)->AddRef();
    return S_OK;
}

STDMETHODIMP CKOVAUnifiedGroupsSync::SetShutdownInformer(ILSShutdownInformer* informer)
{
    m_shutdownInformer = informer; // adds the new reference before releasing the old
    return S_OK;
}

const CKOVAUnifiedGroupsSync::Group& CKOVAUnifiedGroupsSync::GroupAt(USHORT index) const
{
    if (index >= m_groups.size())
        throw hresult_exception::Standard("invalid vector subscript");
    return m_groups[index];
}
