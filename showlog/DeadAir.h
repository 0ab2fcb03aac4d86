// The dead-air judge: fed the air mix's peaks period by period, it decides when silence on air is
// an incident. It counts time in the mix's own frames, so it judges what went out, whenever the
// caller gets round to feeding it.
#pragma once

#include <cstdint>
#include <string>

namespace brisko::showlog {

struct DeadAirSettings {
    double thresholdDbfs = -50.0;  // below this on both channels a period is silent
    double holdSeconds = 10.0;     // silence this long while something plays is dead air
    int idleMinutes = 0;           // > 0: also alarm when nothing at all has sounded this long
    bool startIndexDeck = false;   // on alarm, start the index deck as Space would
    // Kept in the same settings file, though not the alarm's: the spoken outro warning's seconds
    // before the current deck ends (0 = off, at most 600).
    int outroWarningSeconds = 0;
};

class DeadAirJudge {
public:
    enum class Change { None, Raised, Cleared };

    explicit DeadAirJudge(const DeadAirSettings& settings = {}) { configure(settings); }
    void configure(const DeadAirSettings& settings);

    // One output period: the largest absolute sample per channel, its length in frames at RATE,
    // and whether a deck or clip is meant to be playing on air. Raised when the alarm starts,
    // Cleared when it ends (sound returned, or nothing is meant to play any more).
    Change feed(float left, float right, int frames, int rate, bool playing);

    bool alarmed() const { return alarmed_; }
    // The operator's words for the alarm in force (or the last one).
    const std::string& text() const { return text_; }
    // Mix seconds since the last loud period (for the alarm's text and for benchmarks).
    double quietSeconds() const;

private:
    DeadAirSettings settings_;
    float threshold_ = 0.0f;
    int64_t quietFrames_ = 0;  // consecutive silent frames while something plays
    int64_t idleFrames_ = 0;   // consecutive silent frames, playing or not
    int rate_ = 48000;
    bool alarmed_ = false;
    bool idleAlarm_ = false;
    std::string text_;
};

}  // namespace brisko::showlog
