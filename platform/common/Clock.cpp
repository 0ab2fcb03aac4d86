// Real and replaceable clock and sleep.
#include "platform/common/Clock.h"

#include <ctime>
#include <thread>

namespace brisko {
namespace {

std::function<TimeOfDay()>& nowHook() {
    static std::function<TimeOfDay()> hook;
    return hook;
}
std::function<void(int)>& sleepHook() {
    static std::function<void(int)> hook;
    return hook;
}

}  // namespace

TimeOfDay now() {
    if (nowHook()) return nowHook()();
    // The precise clock: std::time may read a coarse one that changes its second a few
    // milliseconds late, after a tick timed by msToNextSecond.
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    localtime_r(&t, &local);
    return TimeOfDay{local.tm_hour, local.tm_min, local.tm_sec};
}

int msToNextSecond() {
    // The clock now() reads.
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000;
    return static_cast<int>(1000 - ms);
}

void sleepMs(int ms) {
    if (sleepHook()) {
        sleepHook()(ms);
        return;
    }
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void setNowHook(std::function<TimeOfDay()> hook) { nowHook() = std::move(hook); }
void setSleepHook(std::function<void(int)> hook) { sleepHook() = std::move(hook); }

}  // namespace brisko
