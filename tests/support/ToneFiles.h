// Generated audio for tests: tones of known frequency and length written as files, and
// measurements of what came out of the mix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisko::test {

struct ToneSpec {
    double frequency = 440.0;   // Hz; 0 = silence
    double seconds = 1.0;
    int sampleRate = 44100;
    int channels = 2;
    double amplitude = 0.5;     // of full scale
};

// Writes a 16-bit PCM WAV file of the tone. Returns the number of sample frames written.
int64_t writeToneWav(const std::string& path, const ToneSpec& tone);

// The samples of a tone as interleaved 16-bit PCM.
std::vector<int16_t> toneSamples(const ToneSpec& tone);

// RMS level of interleaved stereo float frames [first, first + count) over both channels.
double rms(const std::vector<float>& stereo, int64_t firstFrame, int64_t frameCount);

// First frame at or after FROM whose absolute sample value (either channel) exceeds THRESHOLD;
// -1 if none.
int64_t firstLoudFrame(const std::vector<float>& stereo, int64_t from = 0, float threshold = 0.01f);

// Estimated dominant frequency of the left channel over a range, by zero crossings.
double zeroCrossingFrequency(const std::vector<float>& stereo, int64_t firstFrame,
                             int64_t frameCount, int sampleRate);

}  // namespace brisko::test
