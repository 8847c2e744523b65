#include "KOVAUnifiedGroupsSync/Module/LSClassFactory.h"

#include "QuorvalCommon/HandleInterfaceException.h"
#include "QuorvalCommon/LSModuleLock.h"

STDMETHODIMP LSClassFactory::QueryInterface(REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
        return E_NOINTERFACE;
    *result = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) LSClassFactory::AddRef()
{
    const LONG count = InterlockedIncrement(&m_refCount);
    if (count == 2)
        LSModuleLock::Lock();
    return static_cast<ULONG>(count);
}

STDMETHODIMP_(ULONG) LSClassFactory::Release()
{
    const LONG count = InterlockedDecrement(&m_refCount);
    if (count == 1)
        LSModuleLock::Unlock();
    else if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP LSClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    LS_COM_BOUNDARY_BEGIN
    return m_create(outer, riid, result);
    LS_COM_BOUNDARY_END("LSClassFactory::CreateInstance")
}

STDMETHODIMP LSClassFactory::LockServer(BOOL lock)
{
    if (lock)
        LSModuleLock::Lock();
    else
        LSModuleLock::Unlock();
    return S_OK;
}

void LSClassFactory::ReleaseFromCache()
{
    if (InterlockedDecrement(&m_refCount) == 0)
        delete this;
}
