#include "CAuthTokenLibraryStandIn.h"

#include "StandInModule.h"
#include "StandInRegistry.h"

#include <new>

namespace {

std::wstring FromBstr(BSTR text)
{
    return text ? std::wstring(text, SysStringLen(text)) : std::wstring();
}

HRESULT StoreText(BSTR* out, const std::wstring& text)
{
    *out = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Fail.Method holds one method name or several separated by ";".
bool IsListed(const std::wstring& list, const wchar_t* method)
{
    size_t start = 0;
    while (start <= list.size())
    {
        size_t end = list.find(L';', start);
        if (end == std::wstring::npos)
            end = list.size();
        if (lstrcmpiW(list.substr(start, end - start).c_str(), method) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

void SetErrorDescription(const std::wstring& description)
{
    ICreateErrorInfo* create = nullptr;
    if (FAILED(CreateErrorInfo(&create)))
        return;
    create->SetGUID(IID_IAuthTokenLibrary);
    create->SetSource(const_cast<LPOLESTR>(L"AuthTokenLibraryStandIn"));
    create->SetDescription(const_cast<LPOLESTR>(description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))))
    {
        SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

} // namespace

HRESULT CAuthTokenLibraryStandIn::CreateInstance(IUnknown* outer, REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) CAuthTokenLibraryStandIn();
    if (!object)
        return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, result);
    object->Release();
    return hr;
}

CAuthTokenLibraryStandIn::CAuthTokenLibraryStandIn() { StandInModule::Lock(); }

CAuthTokenLibraryStandIn::~CAuthTokenLibraryStandIn()
{
    if (m_typeInfo)
        m_typeInfo->Release();
    StandInModule::Unlock();
}

STDMETHODIMP CAuthTokenLibraryStandIn::QueryInterface(REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IAuthTokenLibrary))
        *result = static_cast<IAuthTokenLibrary*>(this);
    else if (IsEqualIID(riid, IID_ISupportErrorInfo))
        *result = static_cast<ISupportErrorInfo*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CAuthTokenLibraryStandIn::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refCount)); }

STDMETHODIMP_(ULONG) CAuthTokenLibraryStandIn::Release()
{
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0)
        delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CAuthTokenLibraryStandIn::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP CAuthTokenLibraryStandIn::GetTypeInfo(UINT index, LCID, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    return StandInModule::InterfaceTypeInfo(info);
}

STDMETHODIMP CAuthTokenLibraryStandIn::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids)
{
    if (!m_typeInfo && FAILED(StandInModule::InterfaceTypeInfo(&m_typeInfo)))
        return E_UNEXPECTED;
    return m_typeInfo->GetIDsOfNames(names, count, ids);
}

STDMETHODIMP CAuthTokenLibraryStandIn::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                              VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    if (!m_typeInfo && FAILED(StandInModule::InterfaceTypeInfo(&m_typeInfo)))
        return E_UNEXPECTED;
    return m_typeInfo->Invoke(static_cast<IAuthTokenLibrary*>(this), id, flags, params, result, exception,
                              argError);
}

STDMETHODIMP CAuthTokenLibraryStandIn::InterfaceSupportsErrorInfo(REFIID riid)
{
    return IsEqualIID(riid, IID_IAuthTokenLibrary) ? S_OK : S_FALSE;
}

HRESULT CAuthTokenLibraryStandIn::EnterCall(const wchar_t* method)
{
    SetErrorInfo(0, nullptr);
    const DWORD call = StandInRegistry::Increment(std::wstring(L"Count.") + method);
    if (!IsListed(StandInRegistry::ReadText(L"Fail.Method", L""), method))
        return S_OK;
    if (call < StandInRegistry::ReadNumber(L"Fail.FromCall", 1))
        return S_OK;
    const auto hr = static_cast<HRESULT>(StandInRegistry::ReadNumber(L"Fail.HResult", static_cast<DWORD>(E_FAIL)));
    return Fail(method, hr, std::wstring(L"Stand-in failure of ") + method);
}

HRESULT CAuthTokenLibraryStandIn::Fail(const wchar_t* method, HRESULT hr, const std::wstring& message)
{
    m_lastErrorMessage = message;
    m_lastErrorStack = std::wstring(L"at CAuthTokenLibraryStandIn::") + method;
    SetErrorDescription(StandInRegistry::ReadText(L"LastErrorMessage", m_lastErrorMessage));
    return hr;
}

std::wstring CAuthTokenLibraryStandIn::TokenForAcquisition(unsigned number) const
{
    const std::wstring numbered = L"Token." + std::to_wstring(number);
    if (StandInRegistry::HasValue(numbered))
        return StandInRegistry::ReadText(numbered, L"");
    return StandInRegistry::ReadText(L"Token", L"stand-in-token-" + std::to_wstring(number));
}

STDMETHODIMP CAuthTokenLibraryStandIn::Initialise(BSTR clientId, BSTR redirectAddress, BSTR cacheFilePath)
{
    const StandInRegistry::CallScope registry;
    HRESULT hr = EnterCall(L"Initialise");
    StandInRegistry::WriteText(L"Initialise.ClientId", FromBstr(clientId));
    StandInRegistry::WriteText(L"Initialise.RedirectAddress", FromBstr(redirectAddress));
    StandInRegistry::WriteText(L"Initialise.CacheFilePath", FromBstr(cacheFilePath));
    return hr;
}

STDMETHODIMP CAuthTokenLibraryStandIn::StartAcquire(BSTR scope, short retry, LONG ownerWindow, short reserved)
{
    const StandInRegistry::CallScope registry;
    HRESULT hr = EnterCall(L"StartAcquire");
    const DWORD call = StandInRegistry::ReadNumber(L"Count.StartAcquire", 0);
    StandInRegistry::WriteText(L"StartAcquire." + std::to_wstring(call),
                               FromBstr(scope) + L"\t" + std::to_wstring(retry) + L"\t" +
                                   std::to_wstring(ownerWindow) + L"\t" + std::to_wstring(reserved));
    if (FAILED(hr))
        return hr;
    m_token = TokenForAcquisition(++m_acquisitions);
    m_pollsThisAcquisition = 0;
    m_state = State::Acquiring;
    return S_OK;
}

STDMETHODIMP CAuthTokenLibraryStandIn::PollResult(BSTR* token, VARIANT_BOOL* done)
{
    const StandInRegistry::CallScope registry;
    HRESULT hr = EnterCall(L"PollResult");
    if (FAILED(hr))
        return hr;
    if (!token || !done)
        return Fail(L"PollResult", E_POINTER, L"PollResult needs both out arguments");
    *token = nullptr;
    *done = VARIANT_FALSE;
    if (m_state == State::Idle)
        return Fail(L"PollResult", E_UNEXPECTED, L"PollResult without an acquisition under way");
    if (m_state == State::Acquiring && m_pollsThisAcquisition < StandInRegistry::ReadNumber(L"PollsBeforeDone", 0))
    {
        ++m_pollsThisAcquisition;
        return S_OK;
    }
    m_state = State::Done;
    *done = VARIANT_TRUE;
    return StoreText(token, m_token);
}

STDMETHODIMP CAuthTokenLibraryStandIn::Cancel()
{
    const StandInRegistry::CallScope registry;
    HRESULT hr = EnterCall(L"Cancel");
    m_state = State::Idle;
    return hr;
}

STDMETHODIMP CAuthTokenLibraryStandIn::GetLastErrorMessage(BSTR* text)
{
    const StandInRegistry::CallScope registry;
    HRESULT hr = EnterCall(L"GetLastErrorMessage");
    if (FAILED(hr))
        return hr;
    if (!text)
        return E_POINTER;
    return StoreText(text, StandInRegistry::ReadText(L"LastErrorMessage", m_lastErrorMessage));
}

STDMETHODIMP CAuthTokenLibraryStandIn::GetLastErrorStack(BSTR* text)
{
    const StandInRegistry::CallScope registry;
    HRESULT hr = EnterCall(L"GetLastErrorStack");
    if (FAILED(hr))
        return hr;
    if (!text)
        return E_POINTER;
    return StoreText(text, StandInRegistry::ReadText(L"LastErrorStack", m_lastErrorStack));
}
