// TimestampText: the digits that name an export file.
#pragma once

#include "text/text.h"

#include <cstdint>
#include <functional>

namespace iploc {

// A reading of the local clock: the civil date and time with milliseconds.
struct LocalDateTime {
    int year = 1970;
    int month = 1;       // 1 to 12
    int day = 1;         // 1 to 31
    int hour = 0;        // 0 to 23
    int minute = 0;      // 0 to 59
    int second = 0;      // 0 to 60
    int millisecond = 0; // 0 to 999
};

using LocalClock = std::function<LocalDateTime()>;

// The system's local clock (the process's time zone).
LocalDateTime ReadLocalClock();

// Whole seconds from the local date-time 1970-01-01 08:00:00 to `time`, counted on the
// civil calendar. Both ends are local times, so this equals Unix time only at UTC+8.
std::int64_t SecondsSinceLocalEpoch(const LocalDateTime& time);

// The seconds since local 1970-01-01 08:00:00 followed by the three digits of the
// milliseconds. Default form: padded with "0" to at least 13 characters, never cut.
// `tenDigits`: the first 10 characters, padded with "0" to 10.
// The clock is read once, so the seconds and the milliseconds belong to the same instant.
Text TimestampText(bool tenDigits = false, const LocalClock& clock = ReadLocalClock);

} // namespace iploc
