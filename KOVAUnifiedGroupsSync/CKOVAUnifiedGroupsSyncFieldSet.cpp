// The field-set descriptor the filter hands out: a new one at every call.
#include "KOVAUnifiedGroupsSync/CKOVAUnifiedGroupsSync.h"

#include "KOVAUnifiedGroupsSync/CLSUnifiedGroupFieldSetInfo.h"
#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/hresult_exception.h"

STDMETHODIMP CKOVAUnifiedGroupsSync::GetFieldSetInfo(BSTR, ILSKOVAFieldSetInfo** info)
{
    LS_COM_BOUNDARY_BEGIN
    if (!info)
        return E_POINTER;
    *info = nullptr;
    IUnknown* created = nullptr;
    const HRESULT createResult =
        CLSUnifiedGroupFieldSetInfo::CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&created));
    if (FAILED(createResult))
        ThrowHr(createResult);
    const IUnknownPtr descriptor(created, false);
    const HRESULT hr = descriptor->QueryInterface(__uuidof(ILSKOVAFieldSetInfo), reinterpret_cast<void**>(info));
    if (hr == E_NOINTERFACE)
    {
        *info = nullptr;
        return S_OK;
    }
    ThrowIfFailedCom(hr);
    return S_OK;
    LS_COM_BOUNDARY_END("CKOVAUnifiedGroupsSync::raw_GetFieldSetInfo")
}
