// Local times for the show's record.
#include "showlog/LocalTime.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace brisko::showlog {

namespace {

std::mutex& clockMutex() {
    static std::mutex m;
    return m;
}

std::function<int64_t()>& testClock() {
    static std::function<int64_t()> clock;
    return clock;
}

struct Parts {
    std::tm tm{};
    int ms = 0;
};

Parts local(int64_t ms) {
    Parts p;
    int64_t seconds = ms / 1000;
    p.ms = static_cast<int>(ms % 1000);
    if (p.ms < 0) {
        p.ms += 1000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    localtime_r(&t, &p.tm);
    return p;
}

}  // namespace

int64_t nowMs() {
    {
        std::lock_guard l(clockMutex());
        if (testClock()) return testClock()();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void setClockForTesting(std::function<int64_t()> clock) {
    std::lock_guard l(clockMutex());
    testClock() = std::move(clock);
}

std::string isoLocal(int64_t ms) {
    const Parts p = local(ms);
    const long offset = p.tm.tm_gmtoff / 60;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                  p.tm.tm_year + 1900, p.tm.tm_mon + 1, p.tm.tm_mday, p.tm.tm_hour, p.tm.tm_min,
                  p.tm.tm_sec, p.ms, offset < 0 ? '-' : '+', (offset < 0 ? -offset : offset) / 60,
                  (offset < 0 ? -offset : offset) % 60);
    return buffer;
}

std::string localDay(int64_t ms) {
    const Parts p = local(ms);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", p.tm.tm_year + 1900, p.tm.tm_mon + 1,
                  p.tm.tm_mday);
    return buffer;
}

std::string localClock(int64_t ms) {
    const Parts p = local(ms);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", p.tm.tm_hour, p.tm.tm_min, p.tm.tm_sec);
    return buffer;
}

}  // namespace brisko::showlog
