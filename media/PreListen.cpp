// Pre-listening through the media channel's command strings: open, route to the cue, play.
#include "media/PreListen.h"

#include "media/MediaChannel.h"
#include "platform/audio/Engine.h"

namespace brisko {

std::string startPreListen(int64_t parentWindow, const std::string& alias, const std::string& path) {
    MediaChannel::close(alias);
    std::string reply = MediaChannel::open(parentWindow, alias, path, "mpegvideo");
    // Routed before it plays: a voice that sounds would be stopped by the switch, and a pre-listen
    // must never reach the air, not even for a moment.
    if (reply == "Success") reply = MediaChannel::setOutput(alias, true);
    if (reply == "Success") reply = MediaChannel::play(alias);
    if (reply != "Success") MediaChannel::close(alias);
    return reply;
}

bool cueOutputSet() { return audio::Engine::instance().hasCueOutput(); }

bool preListenSounds(const std::string& alias) { return MediaChannel::mode(alias) == "playing"; }

void stopPreListen(const std::string& alias) {
    MediaChannel::stop(alias);
    MediaChannel::close(alias);
}

}  // namespace brisko
