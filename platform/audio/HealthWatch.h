// Turns the engine's health counters into texts for the operator, each incident once: the window
// polls it on its clock tick and shows what is new, without a modal box that would stop the
// console.
#pragma once

#include <string>
#include <vector>

#include "platform/audio/Engine.h"

namespace brisko::audio {

class HealthWatch {
public:
    // What happened since the last call, oldest first. The first call also tells a state the
    // program started in (no sound device).
    std::vector<std::string> newIncidents(const EngineHealth& now);

private:
    // The cue output's incidents, appended to TEXTS.
    void cueIncidents(const EngineHealth& now, std::vector<std::string>* texts) const;

    EngineHealth seen_;
};

}  // namespace brisko::audio
