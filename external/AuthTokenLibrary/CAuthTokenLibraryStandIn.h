#pragma once
// A stand-in for the external OAuth token library: instead of talking to the
// identity platform it hands out the token texts a test configured in the
// registry, and records how it was called (README.md has the key's layout).
#include "KOVAAuthTokenLibrary_h.h"

#include <windows.h>
#include <string>

class CAuthTokenLibraryStandIn : public IAuthTokenLibrary, public ISupportErrorInfo
{
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** result);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch, served from the embedded type library
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override;

    // IAuthTokenLibrary
    STDMETHODIMP Initialise(BSTR clientId, BSTR redirectAddress, BSTR cacheFilePath) override;
    STDMETHODIMP StartAcquire(BSTR scope, short retry, LONG ownerWindow, short reserved) override;
    STDMETHODIMP PollResult(BSTR* token, VARIANT_BOOL* done) override;
    STDMETHODIMP Cancel() override;
    STDMETHODIMP GetLastErrorMessage(BSTR* text) override;
    STDMETHODIMP GetLastErrorStack(BSTR* text) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

private:
    enum class State { Idle, Acquiring, Done };

    CAuthTokenLibraryStandIn();
    virtual ~CAuthTokenLibraryStandIn();
    CAuthTokenLibraryStandIn(const CAuthTokenLibraryStandIn&) = delete;
    CAuthTokenLibraryStandIn& operator=(const CAuthTokenLibraryStandIn&) = delete;

    // Counts the call and answers the configured failure, if this call is to fail.
    HRESULT EnterCall(const wchar_t* method);
    HRESULT Fail(const wchar_t* method, HRESULT hr, const std::wstring& message);
    std::wstring TokenForAcquisition(unsigned number) const;

    LONG m_refCount = 1;
    ITypeInfo* m_typeInfo = nullptr;
    State m_state = State::Idle;
    unsigned m_acquisitions = 0;
    DWORD m_pollsThisAcquisition = 0;
    std::wstring m_token;
    std::wstring m_lastErrorMessage;
    std::wstring m_lastErrorStack;
};
