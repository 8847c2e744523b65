#include "TransportTestSupport.h"

#include "KOVACommon/LSHttpRequestFactory.h"
#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSHttpError.h"
#include "KOVACommon/http/LSInFlightRequests.h"
#include "KOVACommon/http/LSWinHttpExchange.h"
#include "LSOnceValueAccess.h"
#include "QuorvalCommon/CStdStr.h"
#include "QuorvalCommon/LSSetting.h"
#include "QuorvalCommon/LSTiming.h"
#include "QuorvalCommon/UniqueHandles.h"

#include <ctime>

VirtualClock::VirtualClock(uint64_t tickStep) : m_tickStep(tickStep)
{
    LSTiming::SetClockForTest(
        [this](DWORD ms) {
            m_sleeps.push_back(ms);
            m_slept += ms;
            m_now += ms;
        },
        [this]() {
            m_now += m_tickStep;
            return m_now;
        });
}

VirtualClock::~VirtualClock()
{
    LSTiming::SetClockForTest(nullptr, nullptr);
}

HttpClientOverride::HttpClientOverride(const wchar_t* value)
{
    if (value)
        m_setting.SetString(value);
    else
        m_setting.Delete();
    LSOnceValueAccess::ForgetAll();
}

HttpClientOverride::~HttpClientOverride()
{
    LSOnceValueAccess::ForgetAll();
}

std::optional<std::wstring> ReadUserText(const std::wstring& name)
{
    UniqueHKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, LSSetting::GetSettingsKeyPath().c_str(), 0, KEY_READ, key.Put()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

void SimulatorTest::SetUp()
{
    ASSERT_NE(0, EwsSimClient::Port()) << "EWS_SIM_PORT is not set: run through scripts/run-windows-test.sh";
    EwsSimClient::Reset();
    LSOnceValueAccess::ForgetAll();
}

void SimulatorTest::TearDown()
{
    EXPECT_TRUE(PumpMessagesUntil(NoneKept, 8000)) << "a request the platform never let go of";
    LSOnceValueAccess::ForgetAll();
    EwsSimClient::Reset();
}

ILSHttpRequestPtr SimulatorTest::OpenEws()
{
    ILSHttpRequestPtr request = LSHttpRequestFactory::OpenRequest(EwsSimClient::EwsUrl(), L"POST", true);
    request->SetRequestHeader(L"Authorization", L"Bearer test-token");
    return request;
}

ILSHttpRequestPtr SimulatorTest::Exchange(const std::wstring& body)
{
    return CLSBaseWS::Exchange([this] { return OpenEws(); }, EwsSimClient::EwsUrl(), body);
}

SimRequest SimulatorTest::OnlyRequest()
{
    const std::vector<SimRequest> requests = EwsSimClient::Requests();
    EXPECT_EQ(1u, requests.size());
    return requests.empty() ? SimRequest() : requests.front();
}

namespace {

HRESULT HresultOfShape(const std::function<void()>& action, hresult_exception::Shape shape)
{
    try
    {
        action();
    }
    catch (const LSHttpError& error)
    {
        ADD_FAILURE() << "LSHttpError " << error.Status() << " " << Utf8(error.Message());
        return S_OK;
    }
    catch (const hresult_exception& error)
    {
        EXPECT_EQ(static_cast<int>(shape), static_cast<int>(error.shape())) << std::hex << error.hr();
        return error.hr();
    }
    ADD_FAILURE() << "nothing was thrown";
    return S_OK;
}

} // namespace

HRESULT BareHresultOf(const std::function<void()>& action)
{
    return HresultOfShape(action, hresult_exception::Shape::Bare);
}

HRESULT ComErrorOf(const std::function<void()>& action)
{
    return HresultOfShape(action, hresult_exception::Shape::Com);
}

std::string Utf8(const std::wstring& text)
{
    return WideToMultiByte(text, CP_UTF8);
}

std::wstring HttpDateFromNow(int seconds)
{
    const time_t at = time(nullptr) + seconds;
    const tm* utc = gmtime(&at);
    wchar_t text[64] = {};
    wcsftime(text, 64, L"%a, %d %b %Y %H:%M:%S GMT", utc);
    return text;
}

bool NoneKept()
{
    IXMLHTTPRequestPtr none;
    LSInFlightRequests::Release(none);
    return LSInFlightRequests::KeptCount() == 0 && LSWinHttpExchange::LiveCount() == 0;
}

bool PumpMessagesUntil(const std::function<bool()>& condition, uint64_t milliseconds)
{
    const uint64_t start = GetTickCount64();
    while (!condition())
    {
        if (GetTickCount64() - start >= milliseconds)
            return false;
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        else
            MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return true;
}
