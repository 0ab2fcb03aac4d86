// A 16-bit stereo WAV file written as sound arrives. The RIFF sizes are refreshed on request so
// that the file stays readable if the process dies; finish() writes the final sizes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace brisko::audio {

class WavFileWriter {
public:
    WavFileWriter() = default;
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    bool open(const std::string& path, int sampleRate, std::string* error);
    // Appends interleaved stereo float frames, clipped to 16 bits.
    void write(const float* stereo, int frames);
    // Rewrites the header sizes for what has been written so far and flushes.
    void refreshHeader();
    void finish();
    int64_t framesWritten() const { return frames_; }

private:
    std::FILE* file_ = nullptr;
    int64_t frames_ = 0;
    std::vector<unsigned char> bytes_;  // conversion buffer, kept between writes
};

}  // namespace brisko::audio
