// Benchmark: the channel work of one 50 ms tick of twelve playing decks. Each deck's tick asks,
// through the media channel, for the length in frames and the position (percent), then again the
// length, the position and the frame rate (remaining time), then the mode: twelve command strings
// per deck, 144 per tick.
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/mci/BenchSupport.h"
#include "media/MediaChannel.h"
#include "platform/audio/Engine.h"
#include "platform/mci/Mci.h"

int main() {
    using brisko::MediaChannel;
    char folder[] = "/tmp/brisko-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    const std::string path = std::string(folder) + "/tone.wav";
    brisko::bench::writeTone(path, 120);

    std::string message;
    brisko::audio::Engine::instance().startBackend("null", &message);
    std::string aliases[12];
    for (int i = 0; i < 12; ++i) {
        aliases[i] = "voice" + std::to_string(i);
        if (MediaChannel::open(0, aliases[i], path, "mpegvideo") != "Success" ||
            MediaChannel::play(aliases[i]) != "Success") {
            std::printf("could not open or play deck %d\n", i + 1);
            return 1;
        }
    }

    volatile int64_t sink = 0;
    auto tick = [&] {
        for (const std::string& alias : aliases) {
            const int32_t frames = MediaChannel::lengthFrames(alias);
            const int32_t position = MediaChannel::position(alias);
            const int32_t frames2 = MediaChannel::lengthFrames(alias);
            const int32_t position2 = MediaChannel::position(alias);
            const int32_t rate = MediaChannel::frameRate(alias);
            const std::string mode = MediaChannel::mode(alias);
            sink = sink + frames + position + frames2 + position2 + rate + static_cast<int64_t>(mode.size());
        }
    };
    const brisko::bench::Figures f = brisko::bench::measure(tick, 5000, 100);
    std::printf("one 50 ms tick of twelve playing decks (144 command strings through the media channel)\n");
    std::printf("  per tick: mean %.1f us, p50 %.1f us, p99 %.1f us; CPU time per tick %.1f us\n",
                f.meanNs / 1000, f.p50Ns / 1000, f.p99Ns / 1000, 1e6 / f.perCpuSecond);
    std::printf("  %.0f commands/s in wall time, %.0f per CPU-second\n", f.perSecond * 144, f.perCpuSecond * 144);
    std::printf("  share of the 50 ms tick interval at p99: %.3f%%\n", f.p99Ns / 50e6 * 100);
    std::printf("goal: under 200 us (0.2 ms) per tick\n");

    MediaChannel::closeAllChannels();
    brisko::audio::Engine::instance().shutdown();
    ::unlink(path.c_str());
    ::rmdir(folder);
    return 0;
}
