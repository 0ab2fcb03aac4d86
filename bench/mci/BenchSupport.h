// Small helpers shared by the interface's benchmarks: a long tone file and latency figures.
#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace brisko::bench {

// Writes SECONDS of a 440 Hz stereo 16-bit 44100 Hz tone as a WAV file.
inline void writeTone(const std::string& path, int seconds) {
    const int rate = 44100;
    const uint32_t frames = static_cast<uint32_t>(rate * seconds);
    const uint32_t bytes = frames * 4;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xff));
    };
    out.write("RIFF", 4);
    put(36 + bytes, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(rate, 4);
    put(rate * 4, 4);
    put(4, 2);
    put(16, 2);
    out.write("data", 4);
    put(bytes, 4);
    for (uint32_t f = 0; f < frames; ++f) {
        const auto s = static_cast<int16_t>(std::lround(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * f / rate)));
        put(static_cast<uint16_t>(s), 2);
        put(static_cast<uint16_t>(s), 2);
    }
}

// CPU time of the calling thread, in seconds: unlike wall time it does not grow while the
// thread waits for a core on a busy machine.
inline double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Figures {
    double perSecond = 0;     // operations per second of wall time over the whole run
    double perCpuSecond = 0;  // operations per second of the calling thread's CPU time
    double meanNs = 0;
    double p50Ns = 0;
    double p99Ns = 0;
};

// Runs OP COUNT times untimed for the rate, then COUNT times more timing each call (the clock
// reads add some tens of nanoseconds to every latency figure), after WARMUP untimed calls.
template <typename Op>
Figures measure(Op op, int count, int warmup = 1000) {
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < warmup; ++i) op();
    Figures f;
    const auto start = Clock::now();
    const double cpuStart = threadCpuSeconds();
    for (int i = 0; i < count; ++i) op();
    f.perCpuSecond = count / (threadCpuSeconds() - cpuStart);
    f.perSecond = count / std::chrono::duration<double>(Clock::now() - start).count();

    std::vector<double> ns(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        op();
        ns[static_cast<std::size_t>(i)] = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    }
    double sum = 0;
    for (double v : ns) sum += v;
    f.meanNs = sum / count;
    std::sort(ns.begin(), ns.end());
    f.p50Ns = ns[ns.size() / 2];
    f.p99Ns = ns[std::min(ns.size() - 1, ns.size() * 99 / 100)];
    return f;
}

}  // namespace brisko::bench
