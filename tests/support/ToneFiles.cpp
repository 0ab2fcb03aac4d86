// Tone files and mix measurements for tests.
#include "tests/support/ToneFiles.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numbers>

namespace brisko::test {
namespace {

void put16(std::ofstream& out, uint16_t v) {
    const char b[2] = {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)};
    out.write(b, 2);
}
void put32(std::ofstream& out, uint32_t v) {
    const char b[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                       static_cast<char>((v >> 16) & 0xff), static_cast<char>(v >> 24)};
    out.write(b, 4);
}

}  // namespace

std::vector<int16_t> toneSamples(const ToneSpec& tone) {
    const auto frames = static_cast<int64_t>(std::llround(tone.seconds * tone.sampleRate));
    std::vector<int16_t> samples(static_cast<size_t>(frames * tone.channels));
    for (int64_t f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / tone.sampleRate;
        const double v = tone.amplitude * std::sin(2.0 * std::numbers::pi * tone.frequency * t);
        const auto s = static_cast<int16_t>(std::lround(v * 32767.0));
        for (int c = 0; c < tone.channels; ++c) samples[static_cast<size_t>(f * tone.channels + c)] = s;
    }
    return samples;
}

int64_t writeToneWav(const std::string& path, const ToneSpec& tone) {
    const std::vector<int16_t> samples = toneSamples(tone);
    const auto dataBytes = static_cast<uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write("RIFF", 4);
    put32(out, 36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);
    put16(out, static_cast<uint16_t>(tone.channels));
    put32(out, static_cast<uint32_t>(tone.sampleRate));
    put32(out, static_cast<uint32_t>(tone.sampleRate * tone.channels * 2));
    put16(out, static_cast<uint16_t>(tone.channels * 2));
    put16(out, 16);
    out.write("data", 4);
    put32(out, dataBytes);
    for (int16_t s : samples) put16(out, static_cast<uint16_t>(s));
    return static_cast<int64_t>(samples.size()) / tone.channels;
}

double rms(const std::vector<float>& stereo, int64_t firstFrame, int64_t frameCount) {
    const int64_t total = static_cast<int64_t>(stereo.size()) / 2;
    if (firstFrame < 0) firstFrame = 0;
    const int64_t end = std::min(total, firstFrame + frameCount);
    if (end <= firstFrame) return 0.0;
    double sum = 0.0;
    for (int64_t i = firstFrame * 2; i < end * 2; ++i) sum += double(stereo[size_t(i)]) * stereo[size_t(i)];
    return std::sqrt(sum / double((end - firstFrame) * 2));
}

int64_t firstLoudFrame(const std::vector<float>& stereo, int64_t from, float threshold) {
    const int64_t total = static_cast<int64_t>(stereo.size()) / 2;
    for (int64_t f = std::max<int64_t>(from, 0); f < total; ++f) {
        if (std::fabs(stereo[size_t(f * 2)]) > threshold || std::fabs(stereo[size_t(f * 2 + 1)]) > threshold)
            return f;
    }
    return -1;
}

double zeroCrossingFrequency(const std::vector<float>& stereo, int64_t firstFrame,
                             int64_t frameCount, int sampleRate) {
    const int64_t total = static_cast<int64_t>(stereo.size()) / 2;
    const int64_t end = std::min(total, firstFrame + frameCount);
    if (end - firstFrame < 2) return 0.0;
    int64_t crossings = 0;
    for (int64_t f = firstFrame + 1; f < end; ++f) {
        const float a = stereo[size_t((f - 1) * 2)];
        const float b = stereo[size_t(f * 2)];
        if ((a < 0.0f && b >= 0.0f) || (a >= 0.0f && b < 0.0f)) ++crossings;
    }
    const double seconds = double(end - firstFrame) / sampleRate;
    return crossings / 2.0 / seconds;
}

}  // namespace brisko::test
