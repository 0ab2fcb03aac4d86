// Hooks for the time of day and for blocking waits, so that tests can control both.
#pragma once

#include <chrono>
#include <functional>

namespace brisko {

struct TimeOfDay {
    int hour = 0, minute = 0, second = 0;
};

// The current local time of day (real clock unless a test replaced it).
TimeOfDay now();
// Milliseconds until the second of the real clock changes (1..1000), for a display of whole
// seconds that wants to wake only when its text changes.
int msToNextSecond();
// Blocks the calling thread for MS milliseconds (real sleep unless a test replaced it).
void sleepMs(int ms);

// Test hooks: pass an empty function to restore the real one.
void setNowHook(std::function<TimeOfDay()> hook);
void setSleepHook(std::function<void(int)> hook);

}  // namespace brisko
