// First exact length of a 60-minute file in each format: our open + length query beside ffprobe's
// format duration, an ffprobe packet scan (-count_packets) and libmpv's duration, each with its
// error against the true length.
// The files are made once (ffmpeg command, libmp3lame) and kept in BRISKO_BENCH_CACHE (default
// /tmp/brisko-bench-exact-length): the first run takes several minutes to encode them.
#ifdef BRISKO_HAVE_MPV
#include <mpv/client.h>
#endif

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "platform/audio/Engine.h"

using namespace brisko;

namespace {

constexpr long long kToneFrames = 172800007;  // 60 min 0.000146 s at 48 kHz, fed to ffmpeg's encoders

// How a file is made, and what its true length is.
enum class Truth {
    Source,   // the samples fed to the encoder
    Decoded,  // the file states no more than what decoding yields (no encoder delay or padding
              // recorded): that count, made once by decoding the whole file
};

struct Format {
    const char* label;
    const char* file;
    const char* ffmpegArgs;  // nullptr: written by libmp3lame directly (below)
    Truth truth;
    bool fastGoal;  // goal: under 20 ms; otherwise no slower than a packet scan
};

// MP3 is written with libmp3lame itself: its LAME tag states delay and padding exactly (the
// ffmpeg command's own tag writer misstates the padding of long files by a few dozen samples).
const Format kFormats[] = {
    {"Ogg/Opus", "opus.ogg", "-c:a libopus -b:a 64k", Truth::Source, true},
    {"Ogg/Vorbis", "vorbis.ogg", "-c:a libvorbis -q:a 3", Truth::Source, true},
    {"FLAC", "a.flac", "-c:a flac", Truth::Source, true},
    {"AAC in M4A", "aac.m4a", "-c:a aac -b:a 128k", Truth::Source, true},
    {"WAV", "a.wav", "-c:a pcm_s16le", Truth::Source, true},
    {"MP3 CBR, LAME tag", "lame-cbr.mp3", nullptr, Truth::Source, true},
    {"MP3 VBR, no tag", "lame-vbr-notag.mp3", nullptr, Truth::Decoded, true},
    {"Opus in WebM", "opus.webm", "-c:a libopus -b:a 64k", Truth::Source, false},
    {"AAC in ADTS", "adts.aac", "-c:a aac -b:a 128k", Truth::Decoded, false},
    {"WMA", "a.wma", "-c:a wmav2", Truth::Decoded, false},
};

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > 0;
}

std::string cacheDir() {
    const char* env = std::getenv("BRISKO_BENCH_CACHE");
    const std::string dir = env && *env ? env : "/tmp/brisko-bench-exact-length";
    ::mkdir(dir.c_str(), 0755);
    return dir;
}

std::string shellQuote(const std::string& s) { return "'" + s + "'"; }

// Reads a number kept in a small file; -1 when there is none.
long long readNumber(const std::string& path) {
    long long n = -1;
    if (std::FILE* f = std::fopen(path.c_str(), "r")) {
        if (std::fscanf(f, "%lld", &n) != 1) n = -1;
        std::fclose(f);
    }
    return n;
}

void writeNumber(const std::string& path, long long n) {
    if (std::FILE* f = std::fopen(path.c_str(), "w")) {
        std::fprintf(f, "%lld\n", n);
        std::fclose(f);
    }
}

// Makes DIR/FILE unless it is there and returns its true length and rate (frames, Hz), -1 when
// it cannot be made. ffmpeg's encoders get a 440 Hz tone of exactly kToneFrames mono frames at
// 48 kHz; libmp3lame gets the MP3 benchmarks' 44.1 kHz sweeps.
long long ensureFile(const std::string& dir, const Format& f, int* rate) {
    const std::string path = dir + "/" + f.file;
    const std::string fedPath = path + ".fed";
    *rate = f.ffmpegArgs ? 48000 : 44100;
    if (!exists(path)) {
        std::printf("encoding %s (60 minutes)...\n", f.file);
        std::fflush(stdout);
        const std::string tmp = dir + "/tmp-" + f.file;
        if (f.ffmpegArgs) {
            const std::string cmd =
                "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=48000:duration=3601 "
                "-af volume=0.5,atrim=end_sample=" + std::to_string(kToneFrames) + " " + f.ffmpegArgs + " " +
                shellQuote(tmp);
            if (std::system(cmd.c_str()) != 0) return -1;
            writeNumber(fedPath, kToneFrames);
        } else {
            const bool tagged = f.truth == Truth::Source;
            writeNumber(fedPath, bench::writeLongMp3(tmp, 60.0, !tagged, tagged));
        }
        if (std::rename(tmp.c_str(), path.c_str()) != 0) return -1;
    }
    if (f.truth == Truth::Source) return readNumber(fedPath);
    const std::string decodedPath = path + ".decoded";
    long long decoded = readNumber(decodedPath);
    if (decoded < 0) {
        std::printf("counting %s by decoding it once...\n", f.file);
        std::fflush(stdout);
        const std::string bytes =
            bench::run("ffmpeg -nostdin -v error -i " + shellQuote(path) + " -f s16le -ac 1 - | wc -c");
        decoded = bytes.empty() ? -1 : std::atoll(bytes.c_str()) / 2;
        if (decoded > 0) writeNumber(decodedPath, decoded);
    }
    return decoded;
}

struct Measure {
    double ms = -1;       // median time to the answer
    double seconds = -1;  // the length answered, -1 when none
};

Measure ffprobeFormatDuration(const std::string& path) {
    Measure m;
    std::vector<double> times;
    for (int t = 0; t < 3; ++t) {
        const double t0 = bench::nowMs();
        const std::string out =
            bench::run("ffprobe -v error -show_entries format=duration -of csv=p=0 " + shellQuote(path));
        times.push_back(bench::nowMs() - t0);
        m.seconds = out.empty() || out[0] == 'N' ? -1 : std::atof(out.c_str());
    }
    m.ms = bench::percentile(times, 50);
    return m;
}

// The packet scan: its cost is timed with -count_packets; its length is the end of the last
// packet less the start of the first, from a listing of the same packets.
Measure ffprobePacketScan(const std::string& path) {
    Measure m;
    std::vector<double> times;
    for (int t = 0; t < 3; ++t) {
        const double t0 = bench::nowMs();
        bench::run("ffprobe -v error -select_streams a:0 -count_packets -show_entries stream=nb_read_packets "
                   "-of csv=p=0 " + shellQuote(path));
        times.push_back(bench::nowMs() - t0);
    }
    m.ms = bench::percentile(times, 50);
    const std::string listing = bench::run(
        "ffprobe -v error -select_streams a:0 -show_entries packet=pts_time,duration_time -of csv=p=0 " +
        shellQuote(path) +
        " | awk -F, '$1 ~ /^-?[0-9.]+$/ && $2 ~ /^[0-9.]+$/ {if (!n++) first=$1; last=$1+$2} "
        "END{if (n) printf \"%.6f\", last-first}'");
    m.seconds = listing.empty() ? -1 : std::atof(listing.c_str());
    return m;
}

Measure mpvDuration(const std::string& path) {
    Measure m;
#ifndef BRISKO_HAVE_MPV
    (void)path;
    return m;
#else
    std::vector<double> times;
    for (int t = 0; t < 3; ++t) {
        mpv_handle* mpv = mpv_create();
        if (!mpv) return m;
        mpv_set_option_string(mpv, "ao", "null");
        mpv_set_option_string(mpv, "vo", "null");
        mpv_set_option_string(mpv, "terminal", "no");
        mpv_set_option_string(mpv, "pause", "yes");
        if (mpv_initialize(mpv) < 0) {
            mpv_terminate_destroy(mpv);
            return m;
        }
        const char* load[] = {"loadfile", path.c_str(), nullptr};
        const double t0 = bench::nowMs();
        mpv_command(mpv, load);
        for (;;) {
            mpv_event* event = mpv_wait_event(mpv, 10.0);
            if (event->event_id == MPV_EVENT_FILE_LOADED) {
                double d = -1;
                if (mpv_get_property(mpv, "duration", MPV_FORMAT_DOUBLE, &d) >= 0) m.seconds = d;
                break;
            }
            if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_NONE) break;
        }
        times.push_back(bench::nowMs() - t0);
        mpv_terminate_destroy(mpv);
    }
    m.ms = bench::percentile(times, 50);
    return m;
#endif
}

// CPU time of the whole process (the engine's threads included), in ms.
double processCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

std::string errorText(double seconds, long long truth, int rate) {
    if (seconds < 0) return "      none";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+10.1f", (seconds - double(truth) / rate) * 1000.0);
    return buf;
}

}  // namespace

int main() {
    const std::string dir = cacheDir();
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");
    std::printf("files in %s; true length: the samples fed to the encoder, or where the file states no more "
                "(no delay or padding recorded), what decoding it yields\n", dir.c_str());
    std::printf("machine load (1, 5, 15 min): %s", bench::run("cut -d' ' -f1-3 /proc/loadavg").c_str());
    std::printf("times: median of repeated runs, file in the page cache; ffprobe's include starting its "
                "process; ours also as CPU time of the whole process (what a loaded machine stretches the "
                "wall time from); errors in ms against the true length\n\n");
    std::printf("%-18s | %-37s | %-20s | %-20s | %-20s | %s\n", "format", "ours: open + exact length",
                "ffprobe format", "ffprobe -count_packets", "libmpv duration", "goal");
    std::printf("%-18s | %9s %6s %10s %9s | %9s %10s | %9s %10s | %9s %10s |\n", "", "ms", "cpu ms", "err ms",
                "exact", "ms",
                "err ms", "ms", "err ms", "ms", "err ms");
    int missed = 0;
    for (const Format& f : kFormats) {
        int rate = 0;
        const long long truth = ensureFile(dir, f, &rate);
        if (truth < 0) {
            std::printf("%-18s | cannot be made here\n", f.label);
            ++missed;
            continue;
        }
        const std::string path = dir + "/" + f.file;
        // Ours: open and the first exact length, as a press that needs it would see it.
        std::vector<double> times, cpuTimes;
        int64_t frames = -1;
        for (int t = 0; t < 6; ++t) {
            const double c0 = processCpuMs();
            const double t0 = bench::nowMs();
            const audio::VoiceId v = engine.open(path, nullptr);
            frames = engine.lengthFrames(v);
            const double ms = bench::nowMs() - t0;
            const double cpu = processCpuMs() - c0;
            if (t > 0) {  // the first warms the page cache
                times.push_back(ms);
                cpuTimes.push_back(cpu);
            }
            engine.close(v);
        }
        const double ours = bench::percentile(times, 50);
        const double oursCpu = bench::percentile(cpuTimes, 50);
        const Measure probe = ffprobeFormatDuration(path);
        const Measure scan = ffprobePacketScan(path);
        const Measure mpv = mpvDuration(path);
        const bool exact = frames == truth;
        const bool met = exact && (f.fastGoal ? ours < 20.0 : ours <= scan.ms);
        if (!met) ++missed;
        char goal[64];
        std::snprintf(goal, sizeof goal, "%s: %s", f.fastGoal ? "exact, < 20 ms" : "exact, <= packet scan",
                      met ? "met" : "MISSED");
        std::printf("%-18s | %9.1f %6.1f %10s %9s | %9.1f %10s | %9.1f %10s | %9.1f %10s | %s\n", f.label, ours, oursCpu,
                    errorText(frames >= 0 ? double(frames) / rate : -1, truth, rate).c_str(), exact ? "yes" : "NO",
                    probe.ms, errorText(probe.seconds, truth, rate).c_str(), scan.ms,
                    errorText(scan.seconds, truth, rate).c_str(), mpv.ms, errorText(mpv.seconds, truth, rate).c_str(),
                    goal);
        std::fflush(stdout);
    }
    std::printf("\n%d of %zu formats miss the goal\n", missed, sizeof kFormats / sizeof kFormats[0]);
    engine.shutdown();
    return 0;
}
