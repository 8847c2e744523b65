// The test program: one apartment-threaded COM thread, all cases one after
// another, so cases that touch the shared registry never overlap.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <glog/logging.h>
#include <windows.h>
#include <objbase.h>

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
    int result = RUN_ALL_TESTS();
    CoUninitialize();
    return result;
}
