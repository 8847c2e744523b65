// Time per exchange of the send wait against the simulator, next to the two
// alternatives it was chosen over. Not part of the suite; run with
//   --gtest_also_run_disabled_tests --gtest_filter='*SendWaitBenchmark*'
#include "TransportTestSupport.h"

#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/xml/MsxmlPtrs.h"

#include <gtest/gtest.h>
#include <iostream>

namespace {

constexpr int Exchanges = 100;

IXMLHTTPRequestPtr SentPlatformRequest(bool async)
{
    CLSID classId;
    CLSIDFromProgID(L"msxml2.XMLHTTP", &classId);
    IXMLHTTPRequestPtr request;
    CoCreateInstance(classId, nullptr, CLSCTX_ALL, IID_IXMLHTTPRequest, reinterpret_cast<void**>(&request));
    const _variant_t missing(DISP_E_PARAMNOTFOUND, VT_ERROR);
    request->open(_bstr_t(L"POST"), _bstr_t(EwsSimClient::EwsUrl().c_str()), _variant_t(async), missing, missing);
    request->setRequestHeader(_bstr_t(L"Authorization"), _bstr_t(L"Bearer b"));
    request->send(_variant_t(L"<GetUserUnifiedGroups/>"));
    return request;
}

// The wait as first written: one message per pass, else a blind sleep.
void BlindSleepWait(const IXMLHTTPRequestPtr& request)
{
    for (long state = 0; state != 4;)
    {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        else
            Sleep(50);
        request->get_readyState(&state);
    }
}

template <typename Exchange>
double MillisecondsPerExchange(Exchange exchange)
{
    exchange(); // connection set up outside the measurement
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < Exchanges; ++i)
        exchange();
    QueryPerformanceCounter(&end);
    return 1000.0 * double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart) / Exchanges;
}

class SendWaitBenchmark : public SimulatorTest
{
};

TEST_F(SendWaitBenchmark, DISABLED_PerExchange)
{
    const double component = MillisecondsPerExchange([&] {
        ILSHttpRequestPtr request = OpenEws();
        CLSBaseWS::PerformAsyncSend(request, EwsSimClient::EwsUrl(), L"<GetUserUnifiedGroups/>");
    });
    const double blind = MillisecondsPerExchange([] { BlindSleepWait(SentPlatformRequest(true)); });
    const double synchronous = MillisecondsPerExchange([] { SentPlatformRequest(false); });
    std::cout << "ms per exchange: component " << component << ", blind Sleep(50) wait " << blind
              << ", synchronous request " << synchronous << std::endl;
}

} // namespace
