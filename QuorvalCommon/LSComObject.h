#pragma once
// Support for the component's COM classes without ATL: a single-threaded
// reference count, aggregation through a non-delegating IUnknown, and
// IDispatch served from a type library.
#include "QuorvalCommon/LSModuleLock.h"

#include <windows.h>
#include <oleauto.h>
#include <new>

// An interface table: IDispatch through DispatchVia, then each of the
// Interfaces by its own IID; null for any other.
template <typename DispatchVia, typename... Interfaces, typename Object>
void* LSFindInterface(Object* object, REFIID riid)
{
    if (IsEqualIID(riid, IID_IDispatch))
        return static_cast<IDispatch*>(static_cast<DispatchVia*>(object));
    void* found = nullptr;
    ((found = found ? found : IsEqualIID(riid, __uuidof(Interfaces)) ? static_cast<Interfaces*>(object) : nullptr),
     ...);
    return found;
}

class LSComObjectRoot
{
public:
    LSComObjectRoot(const LSComObjectRoot&) = delete;
    LSComObjectRoot& operator=(const LSComObjectRoot&) = delete;

protected:
    explicit LSComObjectRoot(IUnknown* outer) : m_inner(this), m_outer(outer ? outer : &m_inner)
    {
        LSModuleLock::Lock();
    }
    virtual ~LSComObjectRoot() { LSModuleLock::Unlock(); }

    // The interface table: the pointer for riid, or null. IID_IUnknown is
    // answered by the root itself.
    virtual void* FindInterface(REFIID riid) = 0;
    // The interface that stands for IUnknown when the object is not aggregated.
    virtual IUnknown* PrimaryInterface() = 0;

    IUnknown* ControllingUnknown() const { return m_outer; }
    bool IsAggregated() const { return m_outer != &m_inner; }
    IUnknown* InnerUnknown() { return &m_inner; }

    template <typename T>
    friend HRESULT CreateComObject(IUnknown* outer, REFIID riid, void** result);

private:
    HRESULT InnerQueryInterface(REFIID riid, void** result)
    {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        IUnknown* found = nullptr;
        if (IsEqualIID(riid, IID_IUnknown))
            found = IsAggregated() ? &m_inner : PrimaryInterface();
        else
            found = static_cast<IUnknown*>(FindInterface(riid));
        if (!found)
            return E_NOINTERFACE;
        found->AddRef();
        *result = found;
        return S_OK;
    }
    ULONG InnerAddRef() { return ++m_refCount; }
    ULONG InnerRelease()
    {
        ULONG count = --m_refCount;
        if (count == 0)
            delete this;
        return count;
    }

    class InnerUnknownImpl : public IUnknown
    {
    public:
        explicit InnerUnknownImpl(LSComObjectRoot* owner) : m_owner(owner) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** result) override
        {
            return m_owner->InnerQueryInterface(riid, result);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return m_owner->InnerAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_owner->InnerRelease(); }

    private:
        LSComObjectRoot* m_owner;
    };

    ULONG m_refCount = 0; // single-threaded model: apartment calls only
    InnerUnknownImpl m_inner;
    IUnknown* m_outer;
};

// Keeps an object alive for the length of a call that can wait (pump
// messages, sleep, poll): a host may release its last reference from a message
// handled meanwhile, and the object must then go only when the call returns.
class LSObjectCallGuard
{
public:
    explicit LSObjectCallGuard(IUnknown* object) : m_object(object) { m_object->AddRef(); }
    ~LSObjectCallGuard() { m_object->Release(); }
    LSObjectCallGuard(const LSObjectCallGuard&) = delete;
    LSObjectCallGuard& operator=(const LSObjectCallGuard&) = delete;

private:
    IUnknown* m_object;
};

// The IUnknown methods of every interface of a class delegate to the
// controlling unknown (the outer object when aggregated).
#define LS_DELEGATING_IUNKNOWN                                                           \
    STDMETHODIMP QueryInterface(REFIID riid, void** result) override                   \
    {                                                                                    \
        return ControllingUnknown()->QueryInterface(riid, result);                     \
    }                                                                                    \
    STDMETHODIMP_(ULONG) AddRef() override { return ControllingUnknown()->AddRef(); }   \
    STDMETHODIMP_(ULONG) Release() override { return ControllingUnknown()->Release(); }

// Creates T standalone or as an aggregated inner object (which must be asked
// for IUnknown) and queries it for riid.
template <typename T>
HRESULT CreateComObject(IUnknown* outer, REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T(outer);
    if (!object)
        return E_OUTOFMEMORY;
    LSComObjectRoot* root = object;
    root->InnerAddRef();
    HRESULT hr = root->InnerQueryInterface(riid, result);
    root->InnerRelease();
    return hr;
}

// Loads the type information of Interface from a registered type library
// (falling back to the type library inside this module file).
HRESULT LoadInterfaceTypeInfo(REFGUID libId, WORD major, WORD minor, REFIID iid, bool fallBackToModule,
                              ITypeInfo** result);

// IDispatch of one dual interface, served from its type library. Several of
// these in one class each serve their own table.
template <typename Interface, const GUID* LibId, WORD Major, WORD Minor, bool FallBackToModule>
class LSDispatchImpl : public Interface
{
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        HRESULT hr = EnsureTypeInfo();
        if (FAILED(hr))
            return hr;
        m_typeInfo->AddRef();
        *info = m_typeInfo;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        HRESULT hr = EnsureTypeInfo();
        if (FAILED(hr))
            return hr;
        return m_typeInfo->GetIDsOfNames(names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override
    {
        HRESULT hr = EnsureTypeInfo();
        if (FAILED(hr))
            return hr;
        // The method invoked may wait; the type information must outlive it.
        const LSObjectCallGuard alive(static_cast<Interface*>(this));
        return m_typeInfo->Invoke(static_cast<Interface*>(this), id, flags, params, result, exception,
                                  argError);
    }

protected:
    ~LSDispatchImpl()
    {
        if (m_typeInfo)
            m_typeInfo->Release();
    }

private:
    HRESULT EnsureTypeInfo()
    {
        if (m_typeInfo)
            return S_OK;
        return LoadInterfaceTypeInfo(*LibId, Major, Minor, __uuidof(Interface), FallBackToModule, &m_typeInfo);
    }
    ITypeInfo* m_typeInfo = nullptr;
};
