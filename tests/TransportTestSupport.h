#pragma once
// Shared pieces of the transport tests: a fixture that resets the simulator
// and the once-read settings, a virtual clock, a host informer, and helpers
// to run one exchange.
#include "EwsSimClient.h"
#include "KOVACommon/http/ILSHttpRequest.h"
#include "KOVACommon/http/LSPassContext.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "UserSettingGuard.h"
#include "external/HostObjects/LSHostShutdownInformer.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Replaces LSTiming's sleep and tick count while it lives: sleeping advances
// the virtual time at once. tickStep > 0 also advances it on every read.
class VirtualClock
{
public:
    explicit VirtualClock(uint64_t tickStep = 0);
    ~VirtualClock();
    uint64_t TotalSleptMs() const { return m_slept; }
    size_t SleepCount() const { return m_sleeps.size(); }
    const std::vector<DWORD>& Sleeps() const { return m_sleeps; }
    // Time passes without anything sleeping (between passes).
    void Advance(uint64_t ms) { m_now += ms; }

private:
    uint64_t m_now = 5000000;
    uint64_t m_slept = 0;
    uint64_t m_tickStep;
    std::vector<DWORD> m_sleeps;
};

// A host shutdown informer owned for the length of a test, and the pass
// that hands it to the waits meanwhile.
class TestInformer
{
public:
    TestInformer() : m_host(LSHostShutdownInformer::Create()), m_pointer(m_host->Interface(), false) {}
    LSHostShutdownInformer& Host() { return *m_host; }
    ILSShutdownInformerPtr& Pointer() { return m_pointer; }

private:
    LSHostShutdownInformer* m_host;
    ILSShutdownInformerPtr m_pointer;
    LSPassContext m_pass{m_pointer};
};

// KOVA.Http.Client for the life of the object (null: absent, the default),
// read again by the process at once and after.
class HttpClientOverride
{
public:
    explicit HttpClientOverride(const wchar_t* value);
    ~HttpClientOverride();

private:
    UserSettingGuard m_setting{LSSettingTable::HttpClient.name};
};

// Reads a user text value straight from the registry; nullopt when absent.
std::optional<std::wstring> ReadUserText(const std::wstring& name);
// Resets the simulator, the once-read settings and the clock around each case.
class SimulatorTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens a SOAP POST to the simulator's endpoint with a bearer header.
    ILSHttpRequestPtr OpenEws();
    // One exchange through CLSBaseWS::Exchange (throttling retried, a fresh
    // request each attempt); returns the request that carried the answer;
    // exceptions pass.
    ILSHttpRequestPtr Exchange(const std::wstring& body = L"<GetUserUnifiedGroups/>");
    // The one request the simulator received.
    SimRequest OnlyRequest();

private:
    // Throttled answers switch light sync on, which records its end time.
    UserSettingGuard m_lightSyncEnd{LSSettingTable::LightSyncEndTime.name};
};

// Runs the callable and returns the HRESULT of the bare failure it threw;
// fails the test for anything else.
HRESULT BareHresultOf(const std::function<void()>& action);
// The same for a COM error.
HRESULT ComErrorOf(const std::function<void()>& action);
std::string Utf8(const std::wstring& text);
// An HTTP date (IMF-fixdate) that many seconds from now.
std::wstring HttpDateFromNow(int seconds);
// Releases the kept platform objects of this thread that have completed;
// true when none is left and WinHTTP has let go of every exchange.
bool NoneKept();
// Dispatches this thread's messages until the condition holds or the time is
// up; returns the condition's last answer.
bool PumpMessagesUntil(const std::function<bool()>& condition, uint64_t milliseconds);
