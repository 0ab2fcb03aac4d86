// What slow work on some aliases does to the others, through the command interpreter:
//   interference: 12 voices play on a real-time 256-frame output while other aliases are opened
//     and closed in bursts of 48 and seeked far into a 60-minute WMA and a 60-minute WebM (both
//     without exact timestamps, so a seek decodes from the start); underruns of the playing
//     voices, and the p99 of "status ... position" on a playing alias meanwhile;
//   press-to-sound: "open" + "play ... from 0 to <length>" of a 3-minute clip right after 47
//     others were opened, MP3 and WMA: wall time, and whether the very next period sounds.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/mci/BenchSupport.h"
#include "platform/audio/Engine.h"
#include "platform/mci/Mci.h"
#include "platform/mci/MciErrors.h"
#include "tests/support/TempDir.h"

using namespace brisko;

namespace {

double nowUs() {
    return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(std::ceil(p / 100.0 * double(v.size()))) - 1)];
}

bool ffmpeg(const std::string& args) {
    return std::system(("ffmpeg -loglevel error -y " + args + " </dev/null").c_str()) == 0;
}

std::string inQuotes(const std::string& path) { return "\"" + path + "\""; }

std::string ask(const std::string& command) {
    std::string reply;
    if (mci::mciSendString(command, &reply) != mci::kOk) std::fprintf(stderr, "failed: %s\n", command.c_str());
    return reply;
}

void interference(const test::TempDir& dir) {
    std::printf("writing a 60-minute WMA and a 60-minute WebM (Opus)...\n");
    std::fflush(stdout);
    const std::string wma = dir.file("hour.wma");
    const std::string webm = dir.file("hour.webm");
    const std::string clip = dir.file("clip.wav");
    if (!ffmpeg("-f lavfi -i sine=f=300:d=3600:r=44100 -ac 2 -c:a wmav2 -b:a 64k " + inQuotes(wma)) ||
        !ffmpeg("-f lavfi -i sine=f=300:d=3600:r=48000 -ac 2 -c:a libopus -b:a 48k " + inQuotes(webm))) {
        std::printf("interference: cannot write the long files (ffmpeg); skipped\n");
        return;
    }
    bench::writeTone(clip, 20);
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("null:256");
    for (int d = 0; d < 12; ++d) {
        ask("open " + inQuotes(clip) + " alias deck" + std::to_string(d));
        ask("play deck" + std::to_string(d));
    }
    ask("open " + inQuotes(wma) + " alias longwma");
    ask("open " + inQuotes(webm) + " alias longwebm");
    const uint64_t underrunsBefore = engine.health().underruns;

    std::atomic<bool> done{false};
    std::atomic<int> seeks{0};
    std::atomic<int> bursts{0};
    std::vector<double> seekMs;
    std::thread seeker([&] {
        for (int k = 0; k < 4 && !done.load(); ++k) {
            const double t0 = nowUs();
            ask(std::string("seek ") + (k % 2 ? "longwebm" : "longwma") + " to " + std::to_string(3000000 + k * 60000));
            seekMs.push_back((nowUs() - t0) / 1000.0);
            ++seeks;
        }
    });
    std::thread burster([&] {
        while (!done.load()) {
            for (int k = 0; k < 48; ++k) ask("open " + inQuotes(clip) + " alias burst" + std::to_string(k));
            for (int k = 0; k < 48; ++k) ask("close burst" + std::to_string(k));
            ++bursts;
        }
    });
    std::vector<double> statusUs;
    std::string reply;
    const double start = nowUs();
    while (seeks.load() < 4 || bursts.load() < 3) {
        for (int d = 0; d < 12; ++d) {
            const std::string command = "status deck" + std::to_string(d) + " position";
            const double t0 = nowUs();
            mci::mciSendString(command, &reply);
            statusUs.push_back(nowUs() - t0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (nowUs() - start > 120e6) break;
    }
    done.store(true);
    seeker.join();
    burster.join();
    const uint64_t underruns = engine.health().underruns - underrunsBefore;
    std::printf("interference, 12 voices at a 256-frame period, %.1f s: %d far seeks (%.0f to %.0f ms each, "
                "waited for only by their own alias), %d bursts of 48 opens and closes\n",
                (nowUs() - start) / 1e6, seeks.load(), seekMs.empty() ? 0 : *std::min_element(seekMs.begin(), seekMs.end()),
                seekMs.empty() ? 0 : *std::max_element(seekMs.begin(), seekMs.end()), bursts.load());
    std::printf("  underrun periods on the playing voices: %llu (goal: 0)\n", static_cast<unsigned long long>(underruns));
    std::printf("  status position on a playing alias: p50 %.1f us, p99 %.1f us, max %.0f us over %zu queries "
                "(goal: p99 < 20 us)\n",
                percentile(statusUs, 50), percentile(statusUs, 99), percentile(statusUs, 100), statusUs.size());
    ask("close all");
}

void pressToSound(const test::TempDir& dir, const std::string& kind) {
    const std::string base = dir.file("three." + kind);
    const std::string codec = kind == "mp3" ? "-c:a libmp3lame -b:a 128k" : "-c:a wmav2 -b:a 128k";
    if (!ffmpeg("-f lavfi -i sine=f=440:d=180:r=44100 -ac 2 " + codec + " " + inQuotes(base))) {
        std::printf("press-to-sound %s: cannot write the clips (ffmpeg); skipped\n", kind.c_str());
        return;
    }
    std::vector<std::string> files;
    for (int k = 0; k < 48; ++k) {
        files.push_back(dir.file("clip" + std::to_string(k) + "." + kind));
        std::filesystem::copy_file(base, files.back(), std::filesystem::copy_options::overwrite_existing);
    }
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");
    ask("open " + inQuotes(base) + " alias probe");
    const std::string length = ask("status probe length");
    ask("close probe");
    std::vector<double> wallMs;
    int silent = 0;
    const int trials = 20;
    std::vector<float> out(256 * 2);
    for (int t = 0; t < trials; ++t) {
        for (int k = 0; k < 47; ++k) ask("open " + inQuotes(files[size_t(k)]) + " alias c" + std::to_string(k));
        const double t0 = nowUs();
        ask("open " + inQuotes(files[47]) + " alias press");
        ask("play press from 0 to " + length);
        wallMs.push_back((nowUs() - t0) / 1000.0);
        engine.renderManual(out.data(), 256);  // the very next period
        float peak = 0;
        for (float s : out) peak = std::max(peak, std::fabs(s));
        if (peak < 1e-4f) ++silent;
        ask("close all");
    }
    std::printf("press-to-sound %s (3-minute clip, 47 others just opened): open + play from 0 to %s: "
                "p50 %.2f ms, p99 %.2f ms wall (goal: p99 < 5 ms); next period silent in %d of %d presses (goal: 0)\n",
                kind.c_str(), length.c_str(), percentile(wallMs, 50), percentile(wallMs, 99), silent, trials);
}

}  // namespace

int main() {
    test::TempDir dir("brisko-bench-interference");
    std::ifstream load("/proc/loadavg");
    double l1 = 0, l5 = 0, l15 = 0;
    load >> l1 >> l5 >> l15;
    std::printf("machine load (1, 5, 15 min): %.2f %.2f %.2f\n", l1, l5, l15);
    pressToSound(dir, "mp3");
    pressToSound(dir, "wma");
    interference(dir);
    audio::Engine::instance().shutdown();
    return 0;
}
