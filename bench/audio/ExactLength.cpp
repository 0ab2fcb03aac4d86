// First exact length of a 60-minute file in each format: our open + length query beside ffprobe's
// format duration, an ffprobe packet scan (-count_packets) and libmpv's duration, each with its
// error against the true length (the samples fed to the encoder).
// The files are made once with the ffmpeg command and kept in BRISKO_BENCH_CACHE (default
// /tmp/brisko-bench-exact-length): the first run takes several minutes to encode them.
#ifdef BRISKO_HAVE_MPV
#include <mpv/client.h>
#endif

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "platform/audio/Engine.h"

using namespace brisko;

namespace {

constexpr int kRate = 48000;
constexpr long long kTrueFrames = 172800007;  // 60 min 0.000146 s at 48 kHz

struct Format {
    const char* label;
    const char* file;
    const char* ffmpegArgs;
    bool fastGoal;  // goal: under 20 ms; otherwise no slower than a packet scan
};

const Format kFormats[] = {
    {"Ogg/Opus", "opus.ogg", "-c:a libopus -b:a 64k", true},
    {"Ogg/Vorbis", "vorbis.ogg", "-c:a libvorbis -q:a 3", true},
    {"FLAC", "a.flac", "-c:a flac", true},
    {"AAC in M4A", "aac.m4a", "-c:a aac -b:a 128k", true},
    {"WAV", "a.wav", "-c:a pcm_s16le", true},
    {"MP3 CBR, LAME tag", "lame.mp3", "-c:a libmp3lame -b:a 128k", true},
    {"MP3 VBR, no tag", "vbr-notag.mp3", "-c:a libmp3lame -q:a 4 -write_xing 0", true},
    {"Opus in WebM", "opus.webm", "-c:a libopus -b:a 64k", false},
    {"AAC in ADTS", "adts.aac", "-c:a aac -b:a 128k", false},
    {"WMA", "a.wma", "-c:a wmav2", false},
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

// Makes DIR/NAME from a 440 Hz tone of exactly kTrueFrames mono frames, unless it is there.
bool ensureFile(const std::string& dir, const Format& f) {
    const std::string path = dir + "/" + f.file;
    if (exists(path)) return true;
    std::printf("encoding %s (60 minutes)...\n", f.file);
    std::fflush(stdout);
    const std::string tmp = dir + "/tmp-" + f.file;
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:sample_rate=48000:duration=3601 "
                            "-af volume=0.5,atrim=end_sample=" + std::to_string(kTrueFrames) + " " + f.ffmpegArgs +
                            " '" + tmp + "' && mv '" + tmp + "' '" + path + "'";
    return std::system(cmd.c_str()) == 0 && exists(path);
}

struct Measure {
    double ms = -1;       // median time to the answer
    double seconds = -1;  // the length answered, -1 when none
};

std::string shellQuote(const std::string& s) { return "'" + s + "'"; }

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
        shellQuote(path) + " | awk -F, 'NR==1{first=$1} {last=$1+$2} END{printf \"%.6f\", last-first}'");
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

std::string errorText(double seconds) {
    if (seconds < 0) return "      none";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+10.1f", (seconds - double(kTrueFrames) / kRate) * 1000.0);
    return buf;
}

}  // namespace

int main() {
    const std::string dir = cacheDir();
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");
    std::printf("true length: %lld frames at 48 kHz = %.6f s; files in %s\n", kTrueFrames, double(kTrueFrames) / kRate,
                dir.c_str());
    std::printf("machine load (1, 5, 15 min): %s", bench::run("cut -d' ' -f1-3 /proc/loadavg").c_str());
    std::printf("times are the median of repeated runs with the file in the page cache; errors in ms "
                "against the true length; ffprobe times include starting its process (~%s)\n\n",
                "20-40 ms");
    std::printf("%-18s | %-28s | %-20s | %-20s | %-20s | %s\n", "format", "ours: open + length", "ffprobe format",
                "ffprobe packet scan", "libmpv duration", "goal");
    std::printf("%-18s | %9s %9s %8s | %9s %10s | %9s %10s | %9s %10s |\n", "", "ms", "err ms", "exact", "ms",
                "err ms", "ms", "err ms", "ms", "err ms");
    int missed = 0;
    for (const Format& f : kFormats) {
        if (!ensureFile(dir, f)) {
            std::printf("%-18s | cannot be encoded here\n", f.label);
            continue;
        }
        const std::string path = dir + "/" + f.file;
        // Ours: open and the first exact length, as a press that needs it would see it.
        std::vector<double> times;
        int64_t frames = -1;
        for (int t = 0; t < 6; ++t) {
            const double t0 = bench::nowMs();
            const audio::VoiceId v = engine.open(path, nullptr);
            frames = engine.lengthFrames(v);
            const double ms = bench::nowMs() - t0;
            if (t > 0) times.push_back(ms);  // the first warms the page cache
            engine.close(v);
        }
        const double ours = bench::percentile(times, 50);
        const Measure probe = ffprobeFormatDuration(path);
        const Measure scan = ffprobePacketScan(path);
        const Measure mpv = mpvDuration(path);
        const bool exact = frames == kTrueFrames;
        const bool met = exact && (f.fastGoal ? ours < 20.0 : ours <= scan.ms);
        if (!met) ++missed;
        char goal[64];
        std::snprintf(goal, sizeof goal, "%s %s", f.fastGoal ? "exact, < 20 ms" : "exact, <= packet scan",
                      met ? "met" : "MISSED");
        std::printf("%-18s | %9.1f %9s %8s | %9.1f %10s | %9.1f %10s | %9.1f %10s | %s\n", f.label, ours,
                    errorText(frames >= 0 ? double(frames) / kRate : -1).c_str(), exact ? "yes" : "NO", probe.ms,
                    errorText(probe.seconds).c_str(), scan.ms, errorText(scan.seconds).c_str(), mpv.ms,
                    errorText(mpv.seconds).c_str(), goal);
        std::fflush(stdout);
    }
    std::printf("\n%d of %zu formats miss the goal\n", missed, sizeof kFormats / sizeof kFormats[0]);
    engine.shutdown();
    return 0;
}
