// Encoded test audio: MP3 through libmp3lame (CBR or VBR, with or without the LAME tag), FLAC,
// Ogg Vorbis and AIFF through FFmpeg's encoders, and 16-bit WAV of arbitrary samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/ToneFiles.h"

namespace brisko::test {

struct Mp3Options {
    bool vbr = false;      // variable bit rate (LAME's default VBR quality 4)
    bool lameTag = true;   // write the Xing/LAME tag frame (delay and padding for exact trimming)
    int bitrate = 128;     // kbit/s for CBR
};

// Encodes interleaved 16-bit SAMPLES as MP3. Returns the number of sample frames encoded, or -1.
int64_t writeMp3(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate,
                 const Mp3Options& options);
int64_t writeToneMp3(const std::string& path, const ToneSpec& tone, const Mp3Options& options);

// Encodes SAMPLES with FFmpeg into FORMAT: "flac", "ogg" (Vorbis), "aiff", "wav", "m4a" (AAC)
// or "wma" (WMA in ASF, as in video files of that family). Returns the
// frames encoded, or -1 when FFmpeg cannot write that format on this machine.
int64_t writeEncoded(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate,
                     const std::string& format);
int64_t writeToneEncoded(const std::string& path, const ToneSpec& tone, const std::string& format);

// Encodes the file SOURCE into OUT with the ffmpeg command, ARGS giving codec and container
// options. False when this machine's ffmpeg cannot.
bool transcodeWithFfmpeg(const std::string& source, const std::string& out, const std::string& args);

// A 16-bit PCM WAV of SAMPLES (interleaved). Returns the frames written.
int64_t writePcmWav(const std::string& path, const std::vector<int16_t>& samples, int channels, int rate);

// A signal whose every frame differs from its neighbours: a slow sawtooth in 16 bits, the same
// on every channel. Lets a test find where in the source a stretch of output came from.
std::vector<int16_t> rampSamples(int64_t frames, int channels, int period = 32000);

}  // namespace brisko::test
