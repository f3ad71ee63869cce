#include "app/timestamp_text.h"

#include <chrono>
#include <ctime>

namespace iploc {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// The count starts at 08:00:00 of 1970-01-01, not at midnight.
constexpr std::int64_t kEpochHourOffset = 8 * 3600;

// Days from 1970-01-01 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

Text PadRight(Text text, std::size_t length) {
    if (text.size() < length) text.append(length - text.size(), '0');
    return text;
}

} // namespace

LocalDateTime ReadLocalClock() {
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    const std::time_t whole = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    localtime_r(&whole, &local);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch - seconds);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(millis.count())};
}

std::int64_t SecondsSinceLocalEpoch(const LocalDateTime& time) {
    const std::int64_t days =
        DaysFromCivil(time.year, static_cast<unsigned>(time.month), static_cast<unsigned>(time.day));
    const std::int64_t secondsOfDay = time.hour * 3600 + time.minute * 60 + time.second;
    return days * kSecondsPerDay + secondsOfDay - kEpochHourOffset;
}

Text TimestampText(bool tenDigits, const LocalClock& clock) {
    const LocalDateTime now = clock();
    Text millis = NumberText(now.millisecond);
    if (millis.size() < 3) millis.insert(0, 3 - millis.size(), '0');
    const Text digits = NumberText(SecondsSinceLocalEpoch(now)) + millis;
    if (tenDigits) return PadRight(Left(digits, 10), 10);
    return PadRight(digits, 13);
}

} // namespace iploc
