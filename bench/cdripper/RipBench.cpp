// CD rip benchmark: a 74-minute disc image ripped to WAV files through the rip path (cCDRip,
// cTocEntry, cCDTrackRipper, cWAVWriter), beside `cd-paranoia -d IMAGE.cue` ripping the same
// tracks in the same run; then the audio of both is compared with the image byte for byte.
// Also: "play cd" to first sound on the image, through the "cdaudio" device and the engine.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "cdripper/TrackRip.h"
#include "cdripper/cCDRip.h"
#include "platform/audio/Engine.h"
#include "platform/cdrip/CdRipLoader.h"
#include "platform/common/ProgramFolder.h"
#include "platform/mci/Mci.h"

namespace {

constexpr int kTracks = 12;
constexpr int64_t kSectors = 74LL * 60 * 75;  // 74 minutes
constexpr int kRounds = 5;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The smallest and largest ratio of one turn's time to the other ripper's in the same round.
double minRatio(const std::vector<double>& a, const std::vector<double>& b) {
    double r = a[0] / b[0];
    for (size_t i = 1; i < a.size(); ++i) r = std::min(r, a[i] / b[i]);
    return r;
}
double maxRatio(const std::vector<double>& a, const std::vector<double>& b) {
    double r = a[0] / b[0];
    for (size_t i = 1; i < a.size(); ++i) r = std::max(r, a[i] / b[i]);
    return r;
}

double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

std::string readPart(const std::string& path, int64_t offset, int64_t size) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), size);
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

int64_t fileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// A disc of KTRACKS tracks of music-like sound (two tones with a slow sweep, a little noise).
void writeImage(const std::string& dir, std::vector<int64_t>* starts) {
    std::ofstream bin(dir + "/disc.bin", std::ios::binary);
    std::string cue = "FILE \"disc.bin\" BINARY\r\n";
    const int64_t perTrack = kSectors / kTracks;
    std::vector<int16_t> sector(1176);
    uint32_t noise = 12345;
    int64_t frame = 0;
    for (int t = 0; t < kTracks; ++t) {
        const int64_t first = t * perTrack;
        starts->push_back(first);
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\r\n    INDEX 01 %02d:%02d:%02d\r\n", t + 1,
                      static_cast<int>(first / 4500), static_cast<int>(first / 75 % 60), static_cast<int>(first % 75));
        cue += line;
        const int64_t count = t + 1 == kTracks ? kSectors - first : perTrack;
        // Four seconds of two tones with a slow sweep, repeated, with a little fresh noise.
        const double base = 220.0 * (1 + t % 4);
        std::vector<double> pattern(44100 * 4);
        for (std::size_t i = 0; i < pattern.size(); ++i) {
            const double time = static_cast<double>(i) / 44100.0;
            pattern[i] = 0.3 * std::sin(2 * M_PI * base * time) + 0.2 * std::sin(2 * M_PI * (base * 1.5 + 30 * std::sin(time)) * time);
        }
        for (int64_t s = 0; s < count; ++s) {
            for (int i = 0; i < 588; ++i, ++frame) {
                noise = noise * 1664525u + 1013904223u;
                const double v = pattern[static_cast<std::size_t>(frame) % pattern.size()] + 0.02 * (static_cast<double>(noise >> 16) / 32768.0 - 1.0);
                sector[static_cast<std::size_t>(i) * 2] = static_cast<int16_t>(v * 32767);
                sector[static_cast<std::size_t>(i) * 2 + 1] = static_cast<int16_t>(-v * 32767);
            }
            bin.write(reinterpret_cast<const char*>(sector.data()), 2352);
        }
    }
    starts->push_back(kSectors);
    std::ofstream(dir + "/disc.cue", std::ios::binary) << cue;
}

}  // namespace

int main() {
    char folder[] = "/tmp/brisko-cdbench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) return 1;
    const std::string dir = folder;
    ::setenv("BRISKO_HOME", dir.c_str(), 1);
    brisko::setProgramFolderForTesting(dir);
    double load[3] = {0, 0, 0};
    ::getloadavg(load, 3);
    std::printf("CD rip benchmark: a 74-minute image of %d tracks (%.0f MB)\n", kTracks, kSectors * 2352 / 1e6);
    std::printf("machine load (1, 5, 15 min): %.2f %.2f %.2f\n", load[0], load[1], load[2]);

    std::vector<int64_t> starts;
    double t0 = nowMs();
    writeImage(dir, &starts);
    std::printf("image written in %.1f s\n", (nowMs() - t0) / 1000);
    std::ofstream(dir + "/cdrip.ini") << "[Images]\r\nDisc=" << dir << "/disc.cue\r\n";

    brisko::cdrip::setCdRipLibraryPath(BRISKO_CDRIP_LIBRARY);
    std::string error;
    if (brisko::cdrip::cdRipApi(&error) == nullptr) {
        std::printf("libcdrip cannot be loaded: %s\n", error.c_str());
        std::system(("rm -rf " + dir).c_str());
        return 1;
    }
    brisko::cdripper::cCDRip library;
    library.Create(dir + "/cdrip.ini");
    const brisko::cdripper::cDrive drive = library.CDDrive(library.CDDriveCount());

    // The two rippers take turns, each into a folder of its own emptied before its turn: this
    // machine's disk and memory speeds drift by a third from one run to the next, and turns
    // share the drift out evenly. Each is quoted by its median.
    const std::string peer = dir + "/cd-paranoia";
    const std::string ours = dir + "/brisko";
    const std::string command = "cd " + peer + " && cd-paranoia -q -B -d " + dir + "/disc.cue 1-" +
                                std::to_string(kTracks) + " >/dev/null 2>&1";
    std::vector<double> peerRuns, ourRuns;
    int peerStatus = 0;
    for (int round = 0; round < kRounds; ++round) {
        std::system(("rm -rf '" + peer + "' '" + ours + "'").c_str());
        ::mkdir(peer.c_str(), 0755);
        ::mkdir(ours.c_str(), 0755);
        t0 = nowMs();
        peerStatus |= std::system(command.c_str());
        peerRuns.push_back(nowMs() - t0);

        // Our rip path, as the rip dialog runs it.
        t0 = nowMs();
        const brisko::cdripper::cToc toc = drive.TOC();
        for (int32_t n = 1; n <= toc.Count(); ++n) {
            char name[64];
            std::snprintf(name, sizeof name, "/Track %02d.wav", n);
            brisko::cdripper::ripTrackToWav(toc.Entry(n), ours + name, [](int) { return true; });
        }
        ourRuns.push_back(nowMs() - t0);
    }
    const double peerMs = median(peerRuns);
    const double oursMs = median(ourRuns);

    // Byte for byte: both rips against the image.
    int identical = 0;
    int peerIdentical = 0;
    for (int t = 0; t < kTracks; ++t) {
        const int64_t bytes = (starts[static_cast<std::size_t>(t) + 1] - starts[static_cast<std::size_t>(t)]) * 2352;
        const std::string expected = readPart(dir + "/disc.bin", starts[static_cast<std::size_t>(t)] * 2352, bytes);
        char name[64];
        std::snprintf(name, sizeof name, "/Track %02d.wav", t + 1);
        if (fileSize(ours + name) == bytes + 46 && readPart(ours + name, 46, bytes) == expected) ++identical;
        std::snprintf(name, sizeof name, "/track%02d.cdda.wav", t + 1);
        const int64_t size = fileSize(peer + name);
        if (size >= 44 && readPart(peer + name, size - bytes, bytes) == expected) ++peerIdentical;
    }
    std::printf("\n%-34s %10s %12s\n", "rip of 74 minutes to WAV", "wall s", "x real time");
    std::printf("%-34s %10.2f %12.1f\n", "brisko (rip path, jitter-corrected)", oursMs / 1000, 74 * 60 / (oursMs / 1000));
    std::printf("%-34s %10.2f %12.1f%s\n", "cd-paranoia -d IMAGE.cue", peerMs / 1000, 74 * 60 / (peerMs / 1000),
                peerStatus == 0 ? "" : "  (failed)");
    std::printf("ratio brisko / cd-paranoia: %.3f (goal <= 1.10); medians of %d turns each, the "
                "turns' own ratios from %.3f to %.3f\n",
                oursMs / peerMs, kRounds, minRatio(ourRuns, peerRuns), maxRatio(ourRuns, peerRuns));
    std::printf("tracks byte-identical to the image: brisko %d/%d, cd-paranoia %d/%d\n", identical, kTracks, peerIdentical, kTracks);

#ifdef BRISKO_BENCH_CD_PLAY
    // "play cd" to first sound: the device is open and the disc known (as in the CD window);
    // time from sending the command to the first output period that carries the disc's sound.
    auto& engine = brisko::audio::Engine::instance();
    engine.startBackend("manual:44100");
    std::vector<double> latencies;
    std::vector<double> opens;
    for (int run = 0; run < 10; ++run) {
        const double openStart = nowMs();
        brisko::mci::mciSendString("open cdaudio alias cd wait shareable");
        opens.push_back(nowMs() - openStart);
        brisko::mci::mciSendString("set cd time format tmsf wait");
        std::string reply;
        brisko::mci::mciSendString("status cd media present", &reply);
        if (reply != "true") {
            std::printf("play cd: the image is not seen as a disc\n");
            break;
        }
        brisko::mci::mciSendString("seek cd to " + std::to_string(1 + run % kTracks));
        std::vector<float> period(512 * 2);
        const double start = nowMs();
        brisko::mci::mciSendString("play cd");
        int periods = 0;
        for (; periods < 200; ++periods) {
            engine.renderManual(period.data(), 512);
            bool loud = false;
            for (float v : period) loud = loud || std::fabs(v) > 0.01f;
            if (loud) break;
        }
        latencies.push_back(nowMs() - start);
        if (run == 0) {
            std::printf("\nfirst sound in output period %d after \"play cd\" (512 frames = 11.6 ms of output each)\n",
                        periods + 1);
        }
        brisko::mci::mciSendString("close cd");
    }
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        std::printf("\"play cd\" to first sound (command + mixing up to the first loud period, 10 runs): median %.2f ms, max %.2f ms\n",
                    latencies[latencies.size() / 2], latencies.back());
        std::sort(opens.begin(), opens.end());
        std::printf("\"open cdaudio\" with the image known and its voice ready: median %.1f ms, max %.1f ms\n",
                    opens[opens.size() / 2], opens.back());
    }
    engine.shutdown();
#endif

    std::system(("rm -rf " + dir).c_str());
    return identical == kTracks ? 0 : 1;
}
