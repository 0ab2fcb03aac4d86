// The show log's view of the sound path, over the engine when it is built.
#include "media/OnAir.h"

#include "platform/mci/Mci.h"
#ifdef BRISKO_MCI_WITH_ENGINE
#include "platform/audio/Engine.h"
#include "platform/audio/FileTags.h"
#endif

namespace brisko {

void airPeaks(uint64_t* cursor, std::vector<AirPeak>* out) {
#ifdef BRISKO_MCI_WITH_ENGINE
    std::vector<audio::MixPeak> peaks;
    audio::Engine::instance().airPeaks(cursor, &peaks);
    for (const audio::MixPeak& p : peaks) out->push_back({p.left, p.right, p.frames, p.sounding});
#else
    (void)cursor;
    (void)out;
#endif
}

int airRate() {
#ifdef BRISKO_MCI_WITH_ENGINE
    const int rate = audio::Engine::instance().stats().sampleRate;
    if (rate > 0) return rate;
#endif
    return 48000;
}

bool onCue(const std::string& alias) {
    std::string reply;
    return mci::mciSendString("status " + alias + " output", &reply) == 0 && reply == "cue";
}

void fileTags(const std::string& path, std::string* artist, std::string* title) {
#ifdef BRISKO_MCI_WITH_ENGINE
    audio::readTags(path, artist, title);
#else
    (void)path;
    artist->clear();
    title->clear();
#endif
}

}  // namespace brisko
