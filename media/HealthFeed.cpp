// The health feed reads the sound engine's counters and tells each new incident once.
#include "media/HealthFeed.h"

#ifdef BRISKO_MCI_WITH_ENGINE
#include "platform/audio/Engine.h"
#include "platform/audio/HealthWatch.h"
#endif

namespace brisko {

struct HealthFeed::Seen {
#ifdef BRISKO_MCI_WITH_ENGINE
    audio::HealthWatch watch;
#endif
};

HealthFeed::HealthFeed() : seen_(std::make_unique<Seen>()) {}
HealthFeed::~HealthFeed() = default;

std::vector<std::string> HealthFeed::newIncidents() {
#ifdef BRISKO_MCI_WITH_ENGINE
    return seen_->watch.newIncidents(audio::Engine::instance().health());
#else
    return {};
#endif
}

}  // namespace brisko
