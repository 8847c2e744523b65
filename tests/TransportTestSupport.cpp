#include "TransportTestSupport.h"

#include "CStdStr.h"
#include "LSBaseWS.h"
#include "LSHttpError.h"
#include "LSSetting.h"
#include "LSTiming.h"
#include "UniqueHandles.h"

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

std::wstring UserSettingsKeyPath()
{
    const std::wstring path = LSSetting::GetSettingsKeyPath();
    return path.empty() ? L"SOFTWARE\\Quorval\\Quorval KOVA" : path;
}

namespace {

UniqueHKey OpenUserKey()
{
    UniqueHKey key;
    RegCreateKeyExW(HKEY_CURRENT_USER, UserSettingsKeyPath().c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                    key.Put(), nullptr);
    return key;
}

} // namespace

UserSettingGuard::UserSettingGuard(std::wstring name) : m_name(std::move(name))
{
    UniqueHKey key = OpenUserKey();
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), m_name.c_str(), nullptr, &m_type, nullptr, &size) == ERROR_SUCCESS)
    {
        m_data.resize(size);
        m_existed = RegQueryValueExW(key.Get(), m_name.c_str(), nullptr, &m_type, m_data.data(), &size) ==
                    ERROR_SUCCESS;
    }
}

UserSettingGuard::UserSettingGuard(UserSettingGuard&& other) noexcept
    : m_name(std::move(other.m_name)), m_existed(other.m_existed), m_type(other.m_type),
      m_data(std::move(other.m_data))
{
    other.m_active = false;
}

UserSettingGuard UserSettingGuard::Number(const std::wstring& name, DWORD value)
{
    UserSettingGuard guard(name);
    RegSetValueExW(OpenUserKey().Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    return guard;
}

UserSettingGuard UserSettingGuard::Text(const std::wstring& name, const std::wstring& value)
{
    UserSettingGuard guard(name);
    RegSetValueExW(OpenUserKey().Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    return guard;
}

UserSettingGuard UserSettingGuard::Removed(const std::wstring& name)
{
    UserSettingGuard guard(name);
    RegDeleteValueW(OpenUserKey().Get(), name.c_str());
    return guard;
}

UserSettingGuard::~UserSettingGuard()
{
    if (!m_active)
        return;
    UniqueHKey key = OpenUserKey();
    if (m_existed)
        RegSetValueExW(key.Get(), m_name.c_str(), 0, m_type, m_data.data(), static_cast<DWORD>(m_data.size()));
    else
        RegDeleteValueW(key.Get(), m_name.c_str());
}

std::optional<std::wstring> ReadUserText(const std::wstring& name)
{
    UniqueHKey key = OpenUserKey();
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

bool SettingsStoreReadsRegistry()
{
    const UserSettingGuard probe = UserSettingGuard::Number(L"KOVA.Test.SettingsProbe", 7);
    const DwordConfigDetails details = LSSetting::GetInstance().GetUserDwordConfigDetails(L"KOVA.Test.SettingsProbe", 0);
    return details.value == 7 && details.source == User;
}

void SimulatorTest::SetUp()
{
    ASSERT_NE(0, EwsSimClient::Port()) << "EWS_SIM_PORT is not set: run through scripts/run-windows-test.sh";
    EwsSimClient::Reset();
    CLSBaseWS::ForgetOnceSettingsForTest();
}

void SimulatorTest::TearDown()
{
    CLSBaseWS::ForgetOnceSettingsForTest();
    EwsSimClient::Reset();
}

ILSHttpRequestPtr SimulatorTest::OpenEws()
{
    ILSHttpRequestPtr request = CLSBaseWS::OpenRequest(EwsSimClient::EwsUrl(), L"POST", true);
    request->SetRequestHeader(L"Authorization", L"Bearer test-token");
    return request;
}

ILSHttpRequestPtr SimulatorTest::Exchange(const std::wstring& body, ILSShutdownInformerPtr informer)
{
    ILSHttpRequestPtr request = OpenEws();
    CLSBaseWS::PerformAsyncSend(request, EwsSimClient::EwsUrl(), body, informer);
    return request;
}

SimRequest SimulatorTest::OnlyRequest()
{
    const std::vector<SimRequest> requests = EwsSimClient::Requests();
    EXPECT_EQ(1u, requests.size());
    return requests.empty() ? SimRequest() : requests.front();
}

HRESULT BareHresultOf(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (HRESULT hr)
    {
        return hr;
    }
    catch (const LSHttpError& error)
    {
        ADD_FAILURE() << "LSHttpError " << error.Status() << " " << Utf8(error.Message());
        return S_OK;
    }
    catch (const _com_error& error)
    {
        ADD_FAILURE() << "_com_error " << std::hex << error.Error();
        return S_OK;
    }
    ADD_FAILURE() << "nothing was thrown";
    return S_OK;
}

HRESULT ComErrorOf(const std::function<void()>& action)
{
    try
    {
        action();
    }
    catch (const _com_error& error)
    {
        return error.Error();
    }
    catch (HRESULT hr)
    {
        ADD_FAILURE() << "bare HRESULT " << std::hex << hr;
        return S_OK;
    }
    ADD_FAILURE() << "nothing was thrown";
    return S_OK;
}

std::string Utf8(const std::wstring& text)
{
    return WideToMultiByte(text, CP_UTF8);
}
