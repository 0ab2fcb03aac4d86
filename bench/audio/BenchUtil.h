// Small helpers for the audio benchmarks: long MP3 files made on the spot, timing, percentiles
// and resident memory.
#pragma once

#include <lame/lame.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace brisko::bench {

inline double nowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// CPU time consumed by the calling thread, in nanoseconds.
inline double threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e9 + double(ts.tv_nsec);
}

inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const auto i = static_cast<size_t>(std::min<double>(double(v.size() - 1), std::ceil(p / 100.0 * double(v.size())) - 1));
    return v[i];
}

// Resident set size of this process in bytes.
inline int64_t residentBytes() {
    std::ifstream f("/proc/self/statm");
    int64_t pages = 0, resident = 0;
    f >> pages >> resident;
    return resident * 4096;
}

// Writes MINUTES of 44.1 kHz stereo MP3, encoded in chunks so memory stays small. The sound
// alternates loud sweeps with quiet stretches so that a VBR encoding really varies. Returns the
// number of sample frames fed to the encoder.
inline int64_t writeLongMp3(const std::string& path, double minutes, bool vbr, bool lameTag) {
    constexpr int rate = 44100;
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, 2);
    lame_set_quality(lame, 7);
    if (vbr) {
        lame_set_VBR(lame, vbr_default);
        lame_set_VBR_quality(lame, 4);
    } else {
        lame_set_brate(lame, 128);
    }
    lame_set_bWriteVbrTag(lame, lameTag ? 1 : 0);
    lame_init_params(lame);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    const auto total = static_cast<int64_t>(minutes * 60 * rate);
    std::vector<short> pcm(2 * 8192);
    std::vector<unsigned char> mp3(static_cast<size_t>(1.25 * 8192 + 7200));
    double phase = 0;
    for (int64_t at = 0; at < total; at += 8192) {
        const int n = static_cast<int>(std::min<int64_t>(8192, total - at));
        for (int i = 0; i < n; ++i) {
            const int64_t f = at + i;
            const double second = double(f) / rate;
            const bool loud = (static_cast<int64_t>(second) % 7) < 4;
            const double hz = 200.0 + 3000.0 * std::fmod(second, 3.0) / 3.0;
            phase += 2.0 * M_PI * hz / rate;
            const double level = loud ? 0.6 : 0.01;
            const auto s = static_cast<short>(std::lround(level * 32767.0 * std::sin(phase)));
            pcm[size_t(i) * 2] = s;
            pcm[size_t(i) * 2 + 1] = static_cast<short>(s / 2);
        }
        const int got = lame_encode_buffer_interleaved(lame, pcm.data(), n, mp3.data(), static_cast<int>(mp3.size()));
        if (got > 0) std::fwrite(mp3.data(), 1, static_cast<size_t>(got), out);
    }
    const int tail = lame_encode_flush(lame, mp3.data(), static_cast<int>(mp3.size()));
    if (tail > 0) std::fwrite(mp3.data(), 1, static_cast<size_t>(tail), out);
    if (lameTag) {
        unsigned char tag[2880];
        const size_t n = lame_get_lametag_frame(lame, tag, sizeof tag);
        if (n > 0) {
            std::fseek(out, 0, SEEK_SET);
            std::fwrite(tag, 1, n, out);
        }
    }
    std::fclose(out);
    lame_close(lame);
    return total;
}

// Runs a shell command and returns its standard output.
inline std::string run(const std::string& command) {
    std::string result;
    if (std::FILE* p = ::popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, p)) result += buf;
        ::pclose(p);
    }
    return result;
}

}  // namespace brisko::bench
