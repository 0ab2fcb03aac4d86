// The texts of the engine's incidents.
#include "platform/audio/HealthWatch.h"

namespace brisko::audio {

std::vector<std::string> HealthWatch::newIncidents(const EngineHealth& now) {
    std::vector<std::string> texts;
    if (!now.backendMessage.empty() && now.backendMessage != seen_.backendMessage)
        texts.push_back("No sound device: " + now.backendMessage);
    if (now.devicesGivenUp > seen_.devicesGivenUp)
        texts.push_back(
            "The sound device stopped: what played is paused; restart Brisko for sound");
    else if (now.deviceStops > seen_.deviceStops)
        texts.push_back("The sound device stopped: nothing is going on air");
    if (now.deviceUnderflows > seen_.deviceUnderflows || now.deviceOverflows > seen_.deviceOverflows)
        texts.push_back("The sound device reported a gap in the sound");
    if (now.underruns > seen_.underruns)
        texts.push_back("Sound dropped out (" + std::to_string(now.underruns) +
                        " periods so far): a file could not be read in time");
    if (now.readErrors > seen_.readErrors) texts.push_back("Playback stopped early: " + now.lastReadError);
    if (now.recorderErrors > seen_.recorderErrors) texts.push_back("Recording: " + now.lastRecorderError);
    cueIncidents(now, &texts);
    seen_ = now;
    return texts;
}

void HealthWatch::cueIncidents(const EngineHealth& now, std::vector<std::string>* texts) const {
    // Told apart from the air's, so that the operator knows the air is not concerned.
    if (!now.cueBackendMessage.empty() && now.cueBackendMessage != seen_.cueBackendMessage)
        texts->push_back("No cue device: " + now.cueBackendMessage);
    if (now.cueDevicesGivenUp > seen_.cueDevicesGivenUp)
        texts->push_back("The cue device stopped: the pre-listen is paused; the air plays on");
    else if (now.cueDeviceStops > seen_.cueDeviceStops)
        texts->push_back("The cue device stopped: pre-listens are not heard; the air plays on");
    if (now.cueUnderruns > seen_.cueUnderruns)
        texts->push_back("The pre-listen dropped out (" + std::to_string(now.cueUnderruns) +
                         " periods so far): a file could not be read in time");
}

}  // namespace brisko::audio
