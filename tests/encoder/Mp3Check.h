// What a test can learn of an MP3 file: its frames (rate, bit rate of each, the tag frame) and its
// audio as FFmpeg decodes it, plus the WAV files the encoder tests feed in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisko::test {

struct Mp3Frames {
    int sampleRate = 0;
    std::vector<int> bitrates;  // kbit/s of every audio frame, the tag frame left out
    bool infoTag = false;       // the first frame is a Xing/Info tag frame
    bool valid = false;         // the frames run back to back to the end of the file
};
Mp3Frames scanMp3Frames(const std::string& path);

// Interleaved 16-bit stereo as the ffmpeg command decodes the file (gapless trimming included).
std::vector<int16_t> decodeWithFfmpeg(const std::string& path);

// Normalised correlation of two interleaved signals over their common length.
double correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

// A 16-bit WAV whose header says what the caller asks, however wrong: FORMAT_SIZE bytes of "fmt "
// (16 or 18), optional chunk BEFORE_DATA (a whole chunk) and a data chunk declaring DECLARED bytes
// (-1: the real size) followed by DATA.
std::string wavBytes(int channels, int bits, int rate, const std::string& data, int64_t declared = -1,
                     const std::string& beforeData = "", int formatSize = 18);

// A full disk stand-in: while alive, files of this process cannot grow beyond BYTES; SIGXFSZ is
// ignored so the write that meets the limit fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(uint64_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    bool active() const { return active_; }

private:
    uint64_t oldSoft_ = 0;
    void (*oldHandler_)(int) = nullptr;
    bool active_ = false;
};

}  // namespace brisko::test
