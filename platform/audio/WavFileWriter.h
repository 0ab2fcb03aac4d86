// A 16-bit stereo WAV file written as sound arrives. Every write is checked: on a full disk, a
// file-size limit or an I/O error the file is cut back to the last whole frame and its header
// says exactly what is on disk. The sizes are refreshed on request so that the file stays
// readable if the process dies; finish() writes the final sizes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisko::audio {

class WavFileWriter {
public:
    // The most data one file can hold: the RIFF sizes are 32-bit.
    static constexpr int64_t kMaxDataBytes = (0xFFFFFFFFLL - 36) / 4 * 4;

    WavFileWriter() = default;
    ~WavFileWriter();
    WavFileWriter(const WavFileWriter&) = delete;
    WavFileWriter& operator=(const WavFileWriter&) = delete;

    bool open(const std::string& path, int sampleRate, std::string* error);
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    // Appends interleaved stereo float frames, clipped to 16 bits. False with *ERROR (and
    // *ERRNO) when not all of them could be written; the file then holds whole frames only.
    bool write(const float* stereo, int frames, std::string* error = nullptr, int* errorNumber = nullptr);
    // Rewrites the header sizes for what is on disk and flushes. False with *ERROR on failure.
    bool refreshHeader(std::string* error = nullptr);
    // Final sizes, then closes. False with *ERROR when that failed.
    bool finish(std::string* error = nullptr);
    int64_t framesWritten() const { return frames_; }
    // Frames that still fit before the file reaches MAXDATABYTES.
    int64_t framesLeft(int64_t maxDataBytes = kMaxDataBytes) const { return (maxDataBytes - frames_ * 4) / 4; }

private:
    std::string failure(const char* what, int err) const;
    int fd_ = -1;
    std::string path_;
    int64_t frames_ = 0;
    std::vector<unsigned char> bytes_;  // conversion buffer, kept between writes
};

}  // namespace brisko::audio
