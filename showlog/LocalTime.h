// Wall-clock times of the show's record: milliseconds since the epoch, written as local ISO 8601
// times, and the local day of a time (the as-run log starts a new file each day).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace brisko::showlog {

// Milliseconds since the epoch, from the clock the show log uses (the system clock unless a test
// set another).
int64_t nowMs();
void setClockForTesting(std::function<int64_t()> clock);

// "2026-12-08T04:35:04.123+01:00"
std::string isoLocal(int64_t ms);
// "2026-12-08"
std::string localDay(int64_t ms);
// "04:35:04"
std::string localClock(int64_t ms);

}  // namespace brisko::showlog
