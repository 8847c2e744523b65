#pragma once
// The class object of one class: standalone and aggregated creation, and
// LockServer on the module's lock count.
#include "KOVAUnifiedGroupsSync/Module/LSObjectMapEntry.h"

#include <unknwn.h>

class LSClassFactory : public IClassFactory
{
public:
    // Made with the one reference the module's cache holds. References
    // beyond that one keep the module locked, as a held factory must.
    explicit LSClassFactory(LSCreatorFunction create) : m_create(create) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** result) override;
    STDMETHODIMP LockServer(BOOL lock) override;

    // Drops the cache's reference when the module goes away; never touches
    // the lock count, which belongs to the other holders.
    void ReleaseFromCache();

    LSClassFactory(const LSClassFactory&) = delete;
    LSClassFactory& operator=(const LSClassFactory&) = delete;

private:
    virtual ~LSClassFactory() = default;

    LSCreatorFunction m_create;
    volatile LONG m_refCount = 1;
};
