#pragma once
// A host shutdown informer for tests and tools: scriptable answers, counted
// notifications, optional failures of its calls, each with error information
// naming the call.
#include "KOVACommon/host/KOVASyncBasicsPtrs.h"
#include "QuorvalCommon/LSComObject.h"

#include <windows.h>
#include <atomic>
#include <functional>
#include <vector>

class LSHostShutdownInformer
    : public LSDispatchImpl<ILSShutdownInformer, &LIBID_KOVASyncBasicsLib, 1, 0, false>,
      public ISupportErrorInfo
{
public:
    // Returns a new informer with one reference held by the caller.
    static LSHostShutdownInformer* Create();

    // Shutdown answer: fixed, or computed at every call (for "shut down
    // during the wait" scenarios).
    void SetShutdownRequested(bool requested) { m_shutdown = requested; }
    void SetShutdownAnswer(std::function<bool()> answer) { m_shutdownAnswer = std::move(answer); }
    void SetOnTimer(bool onTimer) { m_onTimer = onTimer; }
    void SetOwnerWindowValue(long window) { m_ownerWindow = window; }
    void FailBeginDelay(HRESULT hr) { m_beginDelayFailure = hr; }
    void FailEndDelay(HRESULT hr) { m_endDelayFailure = hr; }
    void FailIsOnTimer(HRESULT hr) { m_isOnTimerFailure = hr; }
    void FailIsShutdownRequested(HRESULT hr) { m_shutdownFailure = hr; }

    int NotifyActivityCount() const { return m_notifyCount; }
    int ShutdownQueryCount() const { return m_shutdownQueries; }
    int EndDelayCount() const { return m_endDelayCount; }
    const std::vector<long>& BeginDelayArguments() const { return m_beginDelays; }
    ULONG RefCount() const { return m_refCount; }
    ILSShutdownInformer* Interface() { return this; }

    STDMETHODIMP QueryInterface(REFIID riid, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    STDMETHODIMP IsShutdownRequested(VARIANT_BOOL* requested) override;
    STDMETHODIMP RequestShutdown() override;
    STDMETHODIMP GetShutdownReason(BSTR* reason) override;
    STDMETHODIMP GetOwnerWindow(LONG* window) override;
    STDMETHODIMP SetOwnerWindow(LONG window) override;
    STDMETHODIMP GetElapsedMs(LONG* elapsed) override;
    STDMETHODIMP IsUserIdle(VARIANT_BOOL* idle) override;
    STDMETHODIMP SetTimerMode(VARIANT_BOOL onTimer) override;
    STDMETHODIMP IsOnTimer(VARIANT_BOOL* onTimer) override;
    STDMETHODIMP NotifyActivity() override;
    STDMETHODIMP GetLastActivity(LONG* tick) override;
    STDMETHODIMP GetDelayCount(LONG* count) override;
    STDMETHODIMP BeginDelay(LONG milliseconds) override;
    STDMETHODIMP EndDelay() override;

private:
    LSHostShutdownInformer() = default;
    virtual ~LSHostShutdownInformer() = default;
    // Returns hr; a failure leaves error information "<call> failed" behind.
    static HRESULT Answer(HRESULT hr, const wchar_t* call);

    ULONG m_refCount = 1;
    std::atomic<bool> m_shutdown{false};
    std::function<bool()> m_shutdownAnswer;
    bool m_onTimer = false;
    long m_ownerWindow = 0;
    HRESULT m_beginDelayFailure = S_OK;
    HRESULT m_endDelayFailure = S_OK;
    HRESULT m_isOnTimerFailure = S_OK;
    HRESULT m_shutdownFailure = S_OK;
    int m_notifyCount = 0;
    int m_shutdownQueries = 0;
    int m_endDelayCount = 0;
    std::vector<long> m_beginDelays;
    DWORD m_created = GetTickCount();
};
