// Seams on air: seek-and-play on a playing voice, as the deck keys send it, on a real-time output
// with 256-frame periods, into a WAV, an MP3 and a 60-minute WMA, near and far. The master mix is
// recorded and measured around every seam: periods without sound, and the largest step between
// neighbouring samples against the signal's own largest step away from the seams.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "platform/audio/Engine.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"

using namespace brisko;

namespace {

constexpr int kPeriod = 256;
constexpr int kTrials = 100;       // half near, half far
constexpr double kSilent = 0.005;  // a period whose every sample stays below this is silent

// The left channel of a 16-bit stereo WAV file, as floats.
std::vector<float> readLeft(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> left;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size =
            uint32_t(uint8_t(bytes[at + 4])) | uint32_t(uint8_t(bytes[at + 5])) << 8 |
            uint32_t(uint8_t(bytes[at + 6])) << 16 | uint32_t(uint8_t(bytes[at + 7])) << 24;
        if (std::string(&bytes[at], 4) == "data") {
            const size_t end = std::min(bytes.size(), at + 8 + size_t(size));
            for (size_t p = at + 8; p + 4 <= end; p += 4)
                left.push_back(float(int16_t(uint16_t(uint8_t(bytes[p])) |
                                             uint16_t(uint8_t(bytes[p + 1])) << 8)) /
                               32768.0f);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return left;
}

struct Seam {
    int64_t fromFrame;  // in the recording: the period the seek was sent in
    int64_t toFrame;    // a few periods after the play
    bool far;
    double ms;  // wall time of seek + play
};

struct Figures {
    int silent = 0;          // silent periods at the seams
    double largestStep = 0;  // at the seams
    double ms99 = 0;
    double ms50 = 0;
};

void measure(const std::string& kind, const std::string& file, int64_t nearMs, int64_t farMs,
             int trials, const std::string& dir) {
    audio::Engine& engine = audio::Engine::instance();
    std::string error;
    const audio::VoiceId v = engine.open(file, &error);
    if (v < 0) {
        std::printf("%s: cannot open (%s)\n", kind.c_str(), error.c_str());
        return;
    }
    const int64_t length = engine.lengthMs(v);
    const std::string recording = dir + "/air.wav";
    engine.startRecording(recording);
    const uint64_t firstPeriod = engine.stats().periodsMixed;
    engine.play(v, 1000, -1);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));

    std::mt19937 random(7);
    std::vector<Seam> seams;
    for (int t = 0; t < trials; ++t) {
        const bool far = t % 2 == 1;
        const int64_t at = engine.positionMs(v);
        int64_t target;
        if (far) {
            target = std::uniform_int_distribution<int64_t>(farMs, length - farMs)(random);
            if (std::llabs(target - at) < farMs) target = at > length / 2 ? farMs : length - farMs;
        } else {
            target = at + std::uniform_int_distribution<int64_t>(-nearMs, nearMs)(random);
            target = std::clamp<int64_t>(target, 1000, length - 2000);
        }
        const uint64_t before = engine.stats().periodsMixed;
        const double t0 = bench::nowMs();
        engine.seek(v, target);
        engine.play(v, -1, -1);
        const double t1 = bench::nowMs();
        const uint64_t after = engine.stats().periodsMixed;
        seams.push_back({int64_t(before - firstPeriod - 1) * kPeriod,
                         int64_t(after - firstPeriod + 4) * kPeriod, far, t1 - t0});
        // Between 150 and 250 ms of the new place, so that seams fall at every phase of a period.
        std::this_thread::sleep_for(std::chrono::microseconds(150000 + random() % 100000));
    }
    engine.stopRecording();
    const uint64_t underruns = engine.voiceUnderruns(v);
    engine.close(v);

    const std::vector<float> air = readLeft(recording);
    const int64_t frames = static_cast<int64_t>(air.size());
    std::vector<bool> atSeam(size_t(frames), false);
    for (const Seam& s : seams)
        for (int64_t f = std::max<int64_t>(0, s.fromFrame); f < std::min(frames, s.toFrame); ++f)
            atSeam[size_t(f)] = true;
    // The signal's own largest step, away from every seam (and from the first play's fade-in).
    double own = 0;
    for (int64_t f = 48000; f < frames; ++f)
        if (!atSeam[size_t(f)] && !atSeam[size_t(f - 1)])
            own = std::max(own, double(std::fabs(air[size_t(f)] - air[size_t(f - 1)])));

    for (const bool far : {false, true}) {
        Figures fig;
        std::vector<double> times;
        for (const Seam& s : seams) {
            if (s.far != far) continue;
            times.push_back(s.ms);
            const int64_t from = std::max<int64_t>(1, s.fromFrame);
            const int64_t to = std::min(frames, s.toFrame);
            for (int64_t f = from; f < to; ++f)
                fig.largestStep = std::max(fig.largestStep,
                                           double(std::fabs(air[size_t(f)] - air[size_t(f - 1)])));
            for (int64_t p = from / kPeriod * kPeriod; p + kPeriod <= to; p += kPeriod) {
                bool loud = false;
                for (int64_t f = p; f < p + kPeriod && !loud; ++f)
                    loud = std::fabs(air[size_t(f)]) > kSilent;
                if (!loud) ++fig.silent;
            }
        }
        fig.ms50 = bench::percentile(times, 50);
        fig.ms99 = bench::percentile(times, 99);
        std::printf(
            "%-9s %s seeks (%zu): %d silent periods at the seams; largest step at a seam %.5f, the "
            "signal's own "
            "%.5f (ratio %.3f); seek + play p50 %.2f ms, p99 %.2f ms\n",
            kind.c_str(), far ? "far " : "near", times.size(), fig.silent, fig.largestStep, own,
            own > 0 ? fig.largestStep / own : 0.0, fig.ms50, fig.ms99);
    }
    std::printf("%-9s underruns of the voice: %llu\n", kind.c_str(),
                static_cast<unsigned long long>(underruns));
    std::fflush(stdout);
}

}  // namespace

// Runs every file, or only those whose name holds ARGV[1] ("WAV", "MP3", "WMA", "chord").
int main(int argc, char** argv) {
    const std::string only = argc > 1 ? argv[1] : "";
    auto wanted = [&](const std::string& kind) {
        return only.empty() || kind.find(only) != std::string::npos;
    };
    test::TempDir dir("brisko-bench-seams");
    std::printf("machine load (1, 5, 15 min): %s",
                bench::run("cut -d' ' -f1-3 /proc/loadavg").c_str());
    std::printf(
        "goal: 0 silent periods at the seams for WAV and MP3, largest step at a seam no larger "
        "than the "
        "signal's own (ratio <= 1); period %d frames at 48 kHz, %d seeks per file\n",
        kPeriod, kTrials);
    std::printf(
        "A crossfade of two takes of one pure tone at different phases steps up to 2.6 %% further "
        "than the tone at 440 Hz (5 ms raised cosine), whatever the seam; the chord stands for "
        "program material.\n");
    std::printf(
        "writing 10-minute WAV and MP3 files and a 60-minute WMA of a 440 Hz tone, and a 10-minute "
        "WAV of a chord...\n");
    std::fflush(stdout);
    auto ffmpeg = [](const std::string& args) {
        return std::system(("ffmpeg -nostdin -loglevel error -y " + args).c_str()) == 0;
    };
    const std::string tone = "-f lavfi -i sine=f=440:r=48000:d=";
    const std::string chord =
        "-f lavfi -i sine=f=220:r=48000:d=600 -f lavfi -i sine=f=277:r=48000:d=600 "
        "-f lavfi -i sine=f=330:r=48000:d=600 -f lavfi -i sine=f=1320:r=48000:d=600 "
        "-filter_complex amix=inputs=4:normalize=0";
    struct File {
        std::string kind, args, name;
        int64_t farMs;
    };
    // Near: up to 3 s either way, as the position keys move; far: minutes away.
    const File files[] = {{"WAV", tone + "600 -ac 2 -c:a pcm_s16le", "tone.wav", 120000},
                          {"MP3", tone + "600 -ac 2 -c:a libmp3lame -b:a 192k", "tone.mp3", 120000},
                          {"WMA", tone + "3600 -ac 2 -c:a wmav2 -b:a 128k", "hour.wma", 600000},
                          {"WAV chord", chord + " -ac 2 -c:a pcm_s16le", "chord.wav", 120000}};
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("null:" + std::to_string(kPeriod));
    for (const File& f : files) {
        if (!wanted(f.kind)) continue;
        const std::string path = dir.file(f.name);
        if (!ffmpeg(f.args + " '" + path + "'")) {
            std::printf("%s: ffmpeg could not write the test file\n", f.kind.c_str());
            continue;
        }
        measure(f.kind, path, 3000, f.farMs, kTrials, dir.path());
    }
    engine.shutdown();
    return 0;
}
