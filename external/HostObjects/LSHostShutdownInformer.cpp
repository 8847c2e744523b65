#include "external/HostObjects/LSHostShutdownInformer.h"

#include <string>

LSHostShutdownInformer* LSHostShutdownInformer::Create()
{
    return new LSHostShutdownInformer();
}

STDMETHODIMP LSHostShutdownInformer::QueryInterface(REFIID riid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, __uuidof(ILSShutdownInformer)))
    {
        *result = static_cast<ILSShutdownInformer*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(riid, IID_ISupportErrorInfo))
    {
        *result = static_cast<ISupportErrorInfo*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP LSHostShutdownInformer::InterfaceSupportsErrorInfo(REFIID riid)
{
    return IsEqualIID(riid, __uuidof(ILSShutdownInformer)) ? S_OK : S_FALSE;
}

HRESULT LSHostShutdownInformer::Answer(HRESULT hr, const wchar_t* call)
{
    if (SUCCEEDED(hr))
        return hr;
    ICreateErrorInfo* created = nullptr;
    if (FAILED(CreateErrorInfo(&created)))
        return hr;
    const std::wstring description = std::wstring(call) + L" failed";
    created->SetGUID(__uuidof(ILSShutdownInformer));
    created->SetDescription(const_cast<wchar_t*>(description.c_str()));
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(created->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))))
    {
        SetErrorInfo(0, info);
        info->Release();
    }
    created->Release();
    return hr;
}

STDMETHODIMP_(ULONG) LSHostShutdownInformer::AddRef() { return ++m_refCount; }

STDMETHODIMP_(ULONG) LSHostShutdownInformer::Release()
{
    ULONG count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

STDMETHODIMP LSHostShutdownInformer::IsShutdownRequested(VARIANT_BOOL* requested)
{
    if (!requested)
        return E_POINTER;
    ++m_shutdownQueries;
    if (FAILED(m_shutdownFailure))
        return Answer(m_shutdownFailure, L"IsShutdownRequested");
    bool answer = m_shutdownAnswer ? m_shutdownAnswer() : m_shutdown.load();
    *requested = answer ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::RequestShutdown()
{
    m_shutdown = true;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::GetShutdownReason(BSTR* reason)
{
    if (!reason)
        return E_POINTER;
    *reason = SysAllocString(m_shutdown ? L"shutdown requested" : L"");
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::GetOwnerWindow(LONG* window)
{
    if (!window)
        return E_POINTER;
    *window = m_ownerWindow;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::SetOwnerWindow(LONG window)
{
    m_ownerWindow = window;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::GetElapsedMs(LONG* elapsed)
{
    if (!elapsed)
        return E_POINTER;
    *elapsed = static_cast<LONG>(GetTickCount() - m_created);
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::IsUserIdle(VARIANT_BOOL* idle)
{
    if (!idle)
        return E_POINTER;
    *idle = VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::SetTimerMode(VARIANT_BOOL onTimer)
{
    m_onTimer = onTimer != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::IsOnTimer(VARIANT_BOOL* onTimer)
{
    if (!onTimer)
        return E_POINTER;
    if (FAILED(m_isOnTimerFailure))
        return Answer(m_isOnTimerFailure, L"IsOnTimer");
    *onTimer = m_onTimer ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::NotifyActivity()
{
    ++m_notifyCount;
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::GetLastActivity(LONG* tick)
{
    if (!tick)
        return E_POINTER;
    *tick = static_cast<LONG>(GetTickCount());
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::GetDelayCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(m_beginDelays.size());
    return S_OK;
}

STDMETHODIMP LSHostShutdownInformer::BeginDelay(LONG milliseconds)
{
    m_beginDelays.push_back(milliseconds);
    return Answer(m_beginDelayFailure, L"BeginDelay");
}

STDMETHODIMP LSHostShutdownInformer::EndDelay()
{
    ++m_endDelayCount;
    return Answer(m_endDelayFailure, L"EndDelay");
}
