// The cue output: pre-listen press to first sound on the cue, air underruns while pre-listens start
// and stop in bursts of 48 beside 12 playing decks, and the bleed between air and cue. A press is
// what the console sends: the command strings of a pre-listen (open, route to the cue, play).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "media/MediaChannel.h"
#include "media/PreListen.h"
#include "platform/audio/Engine.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

using namespace brisko;

namespace {

// The largest absolute sample of a stereo buffer, as dBFS (-inf for exact silence).
double peakDbfs(const std::vector<float>& stereo, int channel = -1) {
    float peak = 0.0f;
    for (size_t i = 0; i < stereo.size(); ++i)
        if (channel < 0 || int(i % 2) == channel) peak = std::max(peak, std::fabs(stereo[i]));
    return peak > 0.0f ? 20.0 * std::log10(double(peak)) : -std::numeric_limits<double>::infinity();
}

std::string dbText(double db) {
    if (std::isinf(db)) return "-inf dBFS (exact silence)";
    char text[64];
    std::snprintf(text, sizeof text, "%.1f dBFS", db);
    return text;
}

int firstAudible(const std::vector<float>& out) {
    for (size_t i = 0; i < out.size(); ++i)
        if (std::fabs(out[i]) > 1e-4f) return int(i / 2);
    return -1;
}

// A full-scale (0 dBFS) square wave: every sample at +32767 or -32767.
void writeFullScale(const std::string& path, double seconds) {
    const auto frames = static_cast<int64_t>(seconds * 48000);
    std::vector<int16_t> s(size_t(frames) * 2);
    for (int64_t f = 0; f < frames; ++f) {
        const int16_t v = (f / 55) % 2 == 0 ? int16_t(32767) : int16_t(-32767);
        s[size_t(f) * 2] = v;
        s[size_t(f) * 2 + 1] = v;
    }
    test::writePcmWav(path, s, 2, 48000);
}

void pressToSound(audio::Engine& engine, const std::string& wav, const std::string& mp3) {
    for (int period : {64, 256, 1024}) {
        engine.startBackend("manual:48000");
        engine.startCueOutput("manual");
        int worst = -1;
        int trials = 0;
        int late = 0;
        std::vector<double> pressMs;
        std::vector<float> out(size_t(period) * 2);
        for (const std::string& file : {wav, mp3}) {
            for (int t = 0; t < 100; ++t, ++trials) {
                engine.renderCueManual(out.data(), period);  // a period before the press
                const double t0 = bench::nowMs();
                const std::string reply = startPreListen(0, kPreListenAlias, file);
                pressMs.push_back(bench::nowMs() - t0);
                if (reply != "Success") {
                    std::printf("the pre-listen failed: %s\n", reply.c_str());
                    return;
                }
                engine.renderCueManual(out.data(), period);  // the very next cue period
                const int first = firstAudible(out);
                if (first < 0) ++late;
                worst = std::max(worst, first < 0 ? period : first);
            }
        }
        stopPreListen(kPreListenAlias);
        std::printf("pre-listen press to first sound on the cue, period %4d frames: first audible frame "
                    "at most %d frames into the next cue period; %d of %d presses missed it "
                    "(goal: 0, the next cue period); the press itself p50 %.2f ms, p99 %.2f ms\n",
                    period, worst, late, trials, bench::percentile(pressMs, 50),
                    bench::percentile(pressMs, 99));
    }
}

void burstsBesideDecks(audio::Engine& engine, const std::string& song, const std::string& jingleWav,
                       const std::string& jingleMp3, double seconds) {
    // Both outputs paced in real time with short periods, as on a small device buffer.
    engine.startBackend("null:256");
    engine.startCueOutput("null:256");
    std::vector<std::string> decks;
    for (int i = 0; i < 12; ++i) {
        const std::string alias = "deck" + std::to_string(i);
        MediaChannel::open(0, alias, song, "mpegvideo");
        MediaChannel::play(alias, std::to_string(i * 7000));
        decks.push_back(alias);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const audio::EngineHealth before = engine.health();
    const uint64_t periodsBefore = engine.stats().periodsMixed;
    const double start = bench::nowMs();
    int bursts = 0;
    int failed = 0;
    std::vector<double> burstMs;
    while (bench::nowMs() - start < seconds * 1000.0) {
        // 48 pre-listens start at once (a cart wall's worth), sound a moment, and stop at once.
        const double b0 = bench::nowMs();
        for (int k = 0; k < 48; ++k) {
            const std::string alias = "cue" + std::to_string(k);
            if (startPreListen(0, alias, k % 2 == 0 ? jingleWav : jingleMp3) != "Success") ++failed;
        }
        burstMs.push_back(bench::nowMs() - b0);
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        for (int k = 0; k < 48; ++k) stopPreListen("cue" + std::to_string(k));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ++bursts;
    }
    const audio::EngineHealth after = engine.health();
    int playing = 0;
    for (const std::string& alias : decks) playing += MediaChannel::mode(alias) == "playing" ? 1 : 0;
    std::printf("bursts of 48 pre-listens beside 12 playing decks, %.0f s, %d bursts (%d starts failed), "
                "%llu air periods of 256 frames: air underruns %llu (goal: 0), air device stops %llu, "
                "cue underruns %llu; decks still playing %d of 12; a burst of 48 starts p50 %.1f ms, "
                "p99 %.1f ms\n",
                seconds, bursts, failed,
                static_cast<unsigned long long>(engine.stats().periodsMixed - periodsBefore),
                static_cast<unsigned long long>(after.underruns - before.underruns),
                static_cast<unsigned long long>(after.deviceStops - before.deviceStops),
                static_cast<unsigned long long>(after.cueUnderruns - before.cueUnderruns), playing,
                bench::percentile(burstMs, 50), bench::percentile(burstMs, 99));
    for (const std::string& alias : decks) MediaChannel::close(alias);
}

void bleed(audio::Engine& engine, const std::string& fullScale, const std::string& song) {
    constexpr int kFrames = 48000;  // one second
    engine.startBackend("manual:48000");
    engine.startCueOutput("manual");
    std::vector<float> air(size_t(kFrames) * 2);
    std::vector<float> cue(size_t(kFrames) * 2);

    // A 0 dBFS pre-listen with nothing on air: the air must be silent.
    startPreListen(0, kPreListenAlias, fullScale);
    engine.renderManual(air.data(), kFrames);
    engine.renderCueManual(cue.data(), kFrames);
    std::printf("bleed into the air during a 0 dBFS pre-listen: air peak %s (goal: below -120 dBFS); "
                "the pre-listen on the cue peaks at %s\n",
                dbText(peakDbfs(air)).c_str(), dbText(peakDbfs(cue)).c_str());

    // A deck playing beside it: the air with the pre-listen against the air without, sample for
    // sample (the same deck from the same position).
    MediaChannel::open(0, "deck", song, "mpegvideo");
    MediaChannel::play("deck");
    std::vector<float> with(size_t(kFrames) * 2);
    engine.renderManual(with.data(), kFrames);
    engine.renderCueManual(cue.data(), kFrames);
    stopPreListen(kPreListenAlias);
    MediaChannel::close("deck");
    MediaChannel::open(0, "deck", song, "mpegvideo");
    MediaChannel::play("deck");
    std::vector<float> without(size_t(kFrames) * 2);
    engine.renderManual(without.data(), kFrames);
    std::vector<float> difference(with.size());
    for (size_t i = 0; i < with.size(); ++i) difference[i] = with[i] - without[i];
    std::printf("bleed into the air beside a playing deck: air with the pre-listen minus the air "
                "without it peaks at %s (goal: below -120 dBFS)\n",
                dbText(peakDbfs(difference)).c_str());

    // The other way: a 0 dBFS deck on air and no pre-listen, the cue must be silent.
    MediaChannel::close("deck");
    MediaChannel::open(0, "deck", fullScale, "mpegvideo");
    MediaChannel::play("deck");
    engine.renderManual(air.data(), kFrames);
    engine.renderCueManual(cue.data(), kFrames);
    std::printf("bleed into the cue from a 0 dBFS deck on air: cue peak %s (goal: below -120 dBFS)\n",
                dbText(peakDbfs(cue)).c_str());
    MediaChannel::close("deck");

    // Split, one device: the air's ear during a 0 dBFS pre-listen, the cue's ear during a 0 dBFS
    // deck.
    engine.startCueOutput("split");
    startPreListen(0, kPreListenAlias, fullScale);
    engine.renderManual(air.data(), kFrames);
    const double leftDuringCue = peakDbfs(air, 0);
    const double rightDuringCue = peakDbfs(air, 1);
    stopPreListen(kPreListenAlias);
    MediaChannel::open(0, "deck", fullScale, "mpegvideo");
    MediaChannel::play("deck");
    engine.renderManual(air.data(), kFrames);
    std::printf("split: the left (air) ear during a 0 dBFS pre-listen peaks at %s, the right (cue) ear at "
                "%s; the right ear during a 0 dBFS deck peaks at %s (goal: below -120 dBFS)\n",
                dbText(leftDuringCue).c_str(), dbText(rightDuringCue).c_str(),
                dbText(peakDbfs(air, 1)).c_str());
    MediaChannel::close("deck");
    engine.startCueOutput("");
}

}  // namespace

int main(int argc, char** argv) {
    const double burstSeconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    test::TempDir dir("brisko-bench-cue");
    audio::Engine& engine = audio::Engine::instance();
    std::printf("machine load (1, 5, 15 min): %s", bench::run("cut -d' ' -f1-3 /proc/loadavg").c_str());

    const std::string wav = dir.file("tone.wav");
    const std::string mp3 = dir.file("tone.mp3");
    test::writeToneWav(wav, {440.0, 5.0, 44100, 2, 0.5});
    test::writeToneMp3(mp3, {440.0, 5.0, 44100, 2, 0.5}, {});
    const std::string fullScale = dir.file("full.wav");
    writeFullScale(fullScale, 3.0);
    const std::string song = dir.file("song.mp3");
    bench::writeLongMp3(song, 3.0, true, true);

    pressToSound(engine, wav, mp3);
    bleed(engine, fullScale, song);
    burstsBesideDecks(engine, song, wav, mp3, burstSeconds);
    engine.shutdown();
    return 0;
}
