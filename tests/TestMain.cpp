// The test program: one apartment-threaded COM thread, all cases one after
// another, so cases that touch the shared registry never overlap.
#include "EwsSimClient.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <glog/logging.h>
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <exception>

namespace {

// Every case starts with a simulator that answers nothing an earlier case
// sent (a delayed answer to a pass that was given up, a killed process's
// request), whatever order the cases run in.
class QuietSimulatorBeforeEachCase : public testing::EmptyTestEventListener
{
    void OnTestStart(const testing::TestInfo& test) override
    {
        if (EwsSimClient::Port() == 0)
            return;
        const char* problem = nullptr;
        try
        {
            if (!EwsSimClient::WaitUntilQuiet(15000))
                problem = "was still answering an earlier case's request";
        }
        catch (const std::exception&)
        {
            problem = "did not answer its control request";
        }
        if (problem)
            std::fprintf(stderr, "the simulator %s when %s.%s began\n", problem, test.test_suite_name(), test.name());
    }
};

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleMock(&argc, argv);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // Lines reach the tests' log sinks; nothing goes to files or the console.
    google::InitGoogleLogging("UnitAndComponentTests");
    for (google::LogSeverity severity = google::GLOG_INFO; severity < google::NUM_SEVERITIES; ++severity)
        google::SetLogDestination(severity, "");
    FLAGS_stderrthreshold = google::NUM_SEVERITIES;
    FLAGS_v = 1;
    testing::UnitTest::GetInstance()->listeners().Append(new QuietSimulatorBeforeEachCase());
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
