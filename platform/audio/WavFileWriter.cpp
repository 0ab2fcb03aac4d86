// Streaming 16-bit stereo WAV output with sizes kept current.
#include "platform/audio/WavFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace brisko::audio {
namespace {

constexpr int64_t kMaxDataBytes = 0xFFFFFFFFLL - 36;  // RIFF sizes are 32-bit

void put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

WavFileWriter::~WavFileWriter() { finish(); }

bool WavFileWriter::open(const std::string& path, int sampleRate, std::string* error) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    unsigned char h[44] = {};
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);
    put16(h + 22, 2);
    put32(h + 24, static_cast<uint32_t>(sampleRate));
    put32(h + 28, static_cast<uint32_t>(sampleRate * 4));
    put16(h + 32, 4);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, 0);
    if (std::fwrite(h, 1, sizeof h, file_) != sizeof h) {
        if (error) *error = "cannot write " + path;
        std::fclose(file_);
        file_ = nullptr;
        return false;
    }
    std::fflush(file_);
    frames_ = 0;
    return true;
}

void WavFileWriter::write(const float* stereo, int frames) {
    if (!file_ || frames <= 0) return;
    // Past the 4 GiB limit of the format the recording simply ends.
    const int64_t room = (kMaxDataBytes - frames_ * 4) / 4;
    frames = static_cast<int>(std::min<int64_t>(frames, std::max<int64_t>(room, 0)));
    if (frames <= 0) return;
    if (bytes_.size() < static_cast<size_t>(frames) * 4) bytes_.resize(static_cast<size_t>(frames) * 4);
    unsigned char* bytes = bytes_.data();
    for (int i = 0; i < frames * 2; ++i) {
        const float s = std::clamp(stereo[i], -1.0f, 1.0f);
        const auto v = static_cast<int16_t>(std::lrint(s * 32767.0f));
        put16(bytes + i * 2, static_cast<uint16_t>(v));
    }
    const size_t n = std::fwrite(bytes, 4, static_cast<size_t>(frames), file_);
    frames_ += static_cast<int64_t>(n);
}

void WavFileWriter::refreshHeader() {
    if (!file_) return;
    const auto data = static_cast<uint32_t>(frames_ * 4);
    unsigned char b[4];
    std::fflush(file_);
    const long end = std::ftell(file_);
    put32(b, data + 36);
    std::fseek(file_, 4, SEEK_SET);
    std::fwrite(b, 1, 4, file_);
    put32(b, data);
    std::fseek(file_, 40, SEEK_SET);
    std::fwrite(b, 1, 4, file_);
    std::fseek(file_, end, SEEK_SET);
    std::fflush(file_);
}

void WavFileWriter::finish() {
    if (!file_) return;
    refreshHeader();
    std::fclose(file_);
    file_ = nullptr;
}

}  // namespace brisko::audio
