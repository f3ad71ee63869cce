// TimestampText and ProgramDelay.
#include "app/program_delay.h"
#include "app/stop_signal.h"
#include "app/timestamp_text.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace iploc {
namespace {

using namespace std::chrono_literals;

LocalClock FixedClock(LocalDateTime time) {
    return [time] { return time; };
}

TEST(TimestampText, CountsFromLocalEightOClockOnNewYearsDay1970) {
    // 2022-05-18 is day 19130 after 1970-01-01: 19130 * 86400 + 12 h - 8 h.
    const LocalClock clock = FixedClock({2022, 5, 18, 12, 0, 0, 7});
    EXPECT_EQ(TimestampText(false, clock), "1652846400007");
    EXPECT_EQ(TimestampText(true, clock), "1652846400");
}

TEST(TimestampText, MillisecondsArePaddedToThreeDigits) {
    struct Case {
        int millisecond;
        const char* expected;
    } cases[] = {{0, "1652846400000"}, {45, "1652846400045"}, {999, "1652846400999"}};
    for (const auto& c : cases) {
        EXPECT_EQ(TimestampText(false, FixedClock({2022, 5, 18, 12, 0, 0, c.millisecond})), c.expected)
            << c.millisecond;
    }
}

TEST(TimestampText, ShortAndLongCountsFollowThePaddingRules) {
    struct Case {
        LocalDateTime time;
        const char* thirteen;
        const char* ten;
    } cases[] = {
        // One second after the start: "1" + "250" is padded on the right.
        {{1970, 1, 1, 8, 0, 1, 250}, "1250000000000", "1250000000"},
        // Before the start the count is negative and keeps its sign.
        {{1970, 1, 1, 7, 59, 59, 0}, "-100000000000", "-100000000"},
        // Past 2286 the seconds have 11 digits: the long form is not cut, the short one is.
        {{2300, 1, 1, 8, 0, 0, 123}, "10413792000123", "1041379200"},
        // A leap day.
        {{2024, 2, 29, 8, 0, 0, 1}, "1709164800001", "1709164800"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimestampText(false, FixedClock(c.time)), c.thirteen);
        EXPECT_EQ(TimestampText(true, FixedClock(c.time)), c.ten);
    }
}

TEST(TimestampText, SystemClockGivesThirteenDigitsNearUnixTimeShiftedByTheZone) {
    const Text digits = TimestampText();
    ASSERT_EQ(digits.size(), 13u);
    EXPECT_EQ(digits.find_first_not_of("0123456789"), Text::npos);
    // The count differs from Unix time by the zone's distance from UTC+8 (whole quarter hours).
    const auto unix =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    const long long seconds = std::stoll(digits.substr(0, 10));
    EXPECT_LE(std::llabs(seconds - unix), 26 * 3600);
}

TEST(ProgramDelay, UnitCodesScaleTheTime) {
    struct Case {
        std::int64_t time;
        int unit;
        std::chrono::milliseconds expected;
    } cases[] = {
        {200, kDelayMilliseconds, 200ms},
        {2, kDelaySeconds, 2s},
        {1, kDelayMinutes, 1min},
        {1, kDelayHours, 1h},
        {0, kDelayHours, 0ms},
        {-5, kDelaySeconds, 0ms},
        {7, 42, 7ms}, // an unknown unit counts as milliseconds
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ProgramDelayDuration(c.time, c.unit), c.expected) << c.time << " unit " << c.unit;
    }
}

TEST(ProgramDelay, WaitsAtLeastTheTimeAndReturnsTrue) {
    for (const auto& [time, unit] :
         {std::pair{0, kDelayMilliseconds}, {0, kDelayHours}, {30, kDelayMilliseconds}}) {
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(ProgramDelay(time, unit));
        EXPECT_GE(std::chrono::steady_clock::now() - start, ProgramDelayDuration(time, unit));
    }
}

TEST(ProgramDelay, ServesEventsWhileWaiting) {
    int served = 0;
    EXPECT_TRUE(ProgramDelay(60, kDelayMilliseconds, nullptr, [&] { ++served; }));
    EXPECT_GE(served, 2);
}

TEST(ProgramDelay, AStopEndsAnHourLongWaitEarly) {
    for (bool servingEvents : {false, true}) {
        StopSignal stop;
        std::thread stopper([&] {
            std::this_thread::sleep_for(50ms);
            stop.Request();
        });
        const auto start = std::chrono::steady_clock::now();
        const std::function<void()> serve = servingEvents ? std::function<void()>([] {}) : nullptr;
        EXPECT_TRUE(ProgramDelay(1, kDelayHours, &stop, serve));
        stopper.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s); // bounds a hang, not a speed
    }
}

} // namespace
} // namespace iploc
