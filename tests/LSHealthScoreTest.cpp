// The server health score on successful answers and light-sync mode.
#include "TransportTestSupport.h"

#include "KOVACommon/http/LSBaseWS.h"
#include "KOVACommon/http/LSLightSync.h"
#include "LSOnceValueAccess.h"
#include "LogCapture.h"
#include "QuorvalCommon/LSSettingTable.h"
#include "UserSettingGuard.h"

#include <gtest/gtest.h>

namespace {

const wchar_t* const EndTimeSetting = LSSettingTable::LightSyncEndTime.name;

class LSHealthScoreTest : public SimulatorTest
{
protected:
    // One successful exchange whose answer carries the score header.
    void ExchangeWithScore(const std::string& score)
    {
        EwsSimClient::Script(R"({"passThrough": true, "headers": [["X-SharePointHealthScore", ")" + score + "\"]]}");
        Exchange(L"<GetUserUnifiedGroups/>");
    }

    // Light-sync mode saves its end time in the user's settings; later runs in
    // the same prefix must not find it.
    UserSettingGuard m_endTime{EndTimeSetting};
};

// Parses "Y-MM-DDTHH:MM:SSZ" into a file time in 100 ns units.
uint64_t FileTimeOf(const std::string& text)
{
    SYSTEMTIME time = {};
    unsigned year, month, day, hour, minute, second;
    if (sscanf(text.c_str(), "%u-%u-%uT%u:%u:%uZ", &year, &month, &day, &hour, &minute, &second) != 6)
        return 0;
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minute);
    time.wSecond = static_cast<WORD>(second);
    FILETIME fileTime;
    SystemTimeToFileTime(&time, &fileTime);
    return (uint64_t(fileTime.dwHighDateTime) << 32) | fileTime.dwLowDateTime;
}

uint64_t NowAsFileTime()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

std::string EndTimeFromLog(const LogCapture& capture)
{
    const std::string marker = "Background syncing disabled until: ";
    const std::vector<CapturedLine> lines = capture.Matching(marker);
    if (lines.empty())
        return std::string();
    return lines.back().text.substr(lines.back().text.find(marker) + marker.size());
}

TEST_F(LSHealthScoreTest, ScoreAtTheDefaultThresholdSwitchesLightSyncOnAndWaitsFiveSeconds)
{
    VirtualClock clock;
    LogCapture capture;
    const uint64_t before = NowAsFileTime();
    ExchangeWithScore("9");
    EXPECT_EQ(5000u, clock.TotalSleptMs());
    EXPECT_TRUE(capture.Contains("Delaying due to healthscore level 9")) << capture.All();
    const std::string end = EndTimeFromLog(capture);
    const int64_t ahead = int64_t(FileTimeOf(end)) - int64_t(before);
    // Two minutes ahead, to the second.
    EXPECT_GE(ahead, 1190000000) << end;
    EXPECT_LE(ahead, 1210000000) << end;
}

TEST_F(LSHealthScoreTest, ScoresBelowTheThresholdOrMissingOrOddChangeNothing)
{
    VirtualClock clock;
    LogCapture capture;
    for (const char* score : {"8", "0", "abc", "   ", "", " 7 "})
        ExchangeWithScore(score);
    Exchange();
    EXPECT_EQ(0u, clock.TotalSleptMs());
    EXPECT_FALSE(capture.Contains("Background syncing disabled until: ")) << capture.All();
    EXPECT_FALSE(capture.Contains("Invalid health score"));
}

TEST_F(LSHealthScoreTest, ScoresAboveTenAreReportedAsInvalid)
{
    VirtualClock clock;
    LogCapture capture;
    ExchangeWithScore("11");
    ExchangeWithScore("-1");
    EXPECT_TRUE(capture.Contains("Invalid health score returned 11")) << capture.All();
    EXPECT_TRUE(capture.Contains("Invalid health score returned 4294967295"));
    EXPECT_EQ(0u, clock.TotalSleptMs());
    EXPECT_FALSE(capture.Contains("Background syncing disabled until: "));
}

TEST_F(LSHealthScoreTest, ShutdownDuringTheHealthScoreWaitEndsWithEAbort)
{
    VirtualClock clock;
    TestInformer informer;
    // Only the health-score wait advances the virtual clock.
    informer.Host().SetShutdownAnswer([&] { return clock.TotalSleptMs() >= 1000; });
    EXPECT_EQ(E_ABORT, BareHresultOf([&] { ExchangeWithScore("10"); }));
    EXPECT_EQ(1000u, clock.TotalSleptMs());
}

TEST_F(LSHealthScoreTest, EndTimeIsSavedInTheUsersSettings)
{
    m_endTime.Delete();
    VirtualClock clock;
    LogCapture capture;
    ExchangeWithScore("10");
    const std::optional<std::wstring> written = ReadUserText(EndTimeSetting);
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(EndTimeFromLog(capture), Utf8(*written));
}

TEST_F(LSHealthScoreTest, ThrottlingAnswerSavesTheEndTimeEvenWhenTheRetrySucceeds)
{
    UserSettingGuard saved(EndTimeSetting);
    saved.Delete();
    EwsSimClient::Script(R"({"status": 429})");
    VirtualClock clock;
    Exchange();
    EXPECT_TRUE(ReadUserText(EndTimeSetting).has_value());
}

TEST_F(LSHealthScoreTest, ThresholdSettings)
{
    constexpr DWORD Unset = 0xFFFFFFFF;
    struct Case
    {
        DWORD threshold, olderThreshold, delayMs, durationMinutes;
        const char* score;
        uint64_t expectedWaitMs;
        bool lightSync;
        const char* line;
    };
    const Case cases[] = {
        {0, Unset, Unset, Unset, "10", 0, false, nullptr},
        {Unset, 5, Unset, Unset, "5", 5000, true, nullptr},
        {7, 5, Unset, Unset, "6", 0, false, nullptr},
        {12, Unset, Unset, Unset, "10", 0, false, "Invalid SharePointSync.HeathScoreThreshold value 12"},
        {Unset, Unset, 0, Unset, "9", 0, true, nullptr},
        {Unset, Unset, 250, Unset, "9", 300, true, nullptr},
        {Unset, Unset, Unset, 0, "9", 5000, false, nullptr},
    };
    for (const Case& c : cases)
    {
        UserSettingGuard threshold(LSSettingTable::HealthScoreThreshold.name);
        UserSettingGuard olderThreshold(LSSettingTable::OlderHealthScoreThreshold.name);
        UserSettingGuard delay(LSSettingTable::HealthScoreDelayMs.name);
        UserSettingGuard duration(LSSettingTable::LightSyncMinutes.name);
        const std::pair<UserSettingGuard*, DWORD> values[] = {
            {&threshold, c.threshold}, {&olderThreshold, c.olderThreshold}, {&delay, c.delayMs},
            {&duration, c.durationMinutes}};
        for (const auto& value : values)
            if (value.second == Unset)
                value.first->Delete();
            else
                value.first->SetDword(value.second);
        LSOnceValueAccess::ForgetAll();
        VirtualClock clock;
        LogCapture capture;
        ExchangeWithScore(c.score);
        EXPECT_EQ(c.expectedWaitMs, clock.TotalSleptMs()) << c.score;
        EXPECT_EQ(c.lightSync, capture.Contains("Background syncing disabled until: ")) << c.score;
        if (c.line)
        {
            EXPECT_TRUE(capture.Contains(c.line)) << capture.All();
        }
    }
    LSOnceValueAccess::ForgetAll();
}

TEST_F(LSHealthScoreTest, SettingsAreReadOnceUntilForgotten)
{
    UserSettingGuard noDelay(LSSettingTable::HealthScoreDelayMs.name);
    noDelay.Delete();
    VirtualClock clock;
    ExchangeWithScore("9");
    EXPECT_EQ(5000u, clock.TotalSleptMs());
    {
        noDelay.SetDword(0);
        ExchangeWithScore("9");
        EXPECT_EQ(10000u, clock.TotalSleptMs());
        LSOnceValueAccess::ForgetAll();
        ExchangeWithScore("9");
        EXPECT_EQ(10000u, clock.TotalSleptMs());
    }
    LSOnceValueAccess::ForgetAll();
}

TEST(LSLightSync, FormatsUtcTimesWithAnUnpaddedYear)
{
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = 7;
    time.wHour = 11;
    time.wMinute = 5;
    time.wSecond = 9;
    EXPECT_EQ(L"2026-12-07T11:05:09Z", LSLightSync::FormatIsoUtc(time));
    time.wYear = 987;
    time.wMonth = 1;
    EXPECT_EQ(L"987-01-07T11:05:09Z", LSLightSync::FormatIsoUtc(time));
}

} // namespace
