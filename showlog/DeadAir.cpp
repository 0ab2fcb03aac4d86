// The dead-air judge. A period is loud when either channel reaches the threshold, so one silent
// channel never counts as silence; quiet passages above the threshold and short pauses under
// the hold time never alarm.
#include "showlog/DeadAir.h"

#include <cmath>
#include <cstdio>

namespace brisko::showlog {

void DeadAirJudge::configure(const DeadAirSettings& settings) {
    settings_ = settings;
    threshold_ = static_cast<float>(std::pow(10.0, settings.thresholdDbfs / 20.0));
}

double DeadAirJudge::quietSeconds() const {
    return rate_ > 0 ? static_cast<double>(idleFrames_) / rate_ : 0.0;
}

DeadAirJudge::Change DeadAirJudge::feed(float left, float right, int frames, int rate,
                                        bool playing) {
    if (rate > 0) rate_ = rate;
    if (frames <= 0) return Change::None;
    const bool loud = std::fabs(left) >= threshold_ || std::fabs(right) >= threshold_;
    if (loud) {
        quietFrames_ = 0;
        idleFrames_ = 0;
    } else {
        idleFrames_ += frames;
        quietFrames_ = playing ? quietFrames_ + frames : 0;
    }

    const auto holdFrames = static_cast<int64_t>(std::llround(settings_.holdSeconds * rate_));
    const int64_t idleFrames = static_cast<int64_t>(settings_.idleMinutes) * 60 * rate_;
    const bool deadAir = playing && !loud && quietFrames_ >= holdFrames;
    const bool idle = settings_.idleMinutes > 0 && !loud && idleFrames_ >= idleFrames;

    if (!alarmed_ && (deadAir || idle)) {
        alarmed_ = true;
        idleAlarm_ = !deadAir;
        char buffer[160];
        if (deadAir)
            std::snprintf(buffer, sizeof buffer,
                          "Dead air: %.0f s of silence below %.0f dBFS while playing",
                          static_cast<double>(quietFrames_) / rate_, settings_.thresholdDbfs);
        else
            std::snprintf(buffer, sizeof buffer, "Dead air: nothing has played for %d minutes",
                          settings_.idleMinutes);
        text_ = buffer;
        return Change::Raised;
    }
    if (alarmed_) {
        // Sound returned; or, for silence while playing, the operator stopped what played.
        const bool over = loud || (!idleAlarm_ && !playing && !idle);
        if (over) {
            alarmed_ = false;
            text_ = loud ? "Sound is back on air" : "Dead air ended: nothing is playing";
            return Change::Cleared;
        }
    }
    return Change::None;
}

}  // namespace brisko::showlog
