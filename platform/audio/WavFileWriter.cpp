// Streaming 16-bit stereo WAV output with checked writes and sizes kept current.
#include "platform/audio/WavFileWriter.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace brisko::audio {
namespace {

constexpr int kHeaderBytes = 44;

void put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

// Writes all of DATA at OFFSET (or at the end when OFFSET < 0). Returns the bytes written; on a
// shortfall errno says why.
size_t writeAll(int fd, const unsigned char* data, size_t size, int64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t n = offset < 0 ? ::write(fd, data + done, size - done)
                                     : ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + int64_t(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = ENOSPC;
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

}  // namespace

WavFileWriter::~WavFileWriter() { finish(); }

std::string WavFileWriter::failure(const char* what, int err) const {
    return std::string("cannot ") + what + " " + path_ + ": " + std::strerror(err);
}

bool WavFileWriter::open(const std::string& path, int sampleRate, std::string* error) {
    finish();
    path_ = path;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        if (error) *error = failure("write", errno);
        return false;
    }
    unsigned char h[kHeaderBytes] = {};
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
    frames_ = 0;
    if (writeAll(fd_, h, sizeof h, -1) != sizeof h) {
        if (error) *error = failure("write", errno);
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    return true;
}

bool WavFileWriter::write(const float* stereo, int frames, std::string* error, int* errorNumber) {
    if (fd_ < 0 || frames <= 0) return fd_ >= 0;
    frames = static_cast<int>(std::min<int64_t>(frames, std::max<int64_t>(framesLeft(), 0)));
    if (frames <= 0) {
        if (error) *error = failure("write", EFBIG);
        if (errorNumber) *errorNumber = EFBIG;
        return false;
    }
    if (bytes_.size() < static_cast<size_t>(frames) * 4) bytes_.resize(static_cast<size_t>(frames) * 4);
    unsigned char* bytes = bytes_.data();
    for (int i = 0; i < frames * 2; ++i) {
        const float s = std::clamp(stereo[i], -1.0f, 1.0f);
        const auto v = static_cast<int16_t>(std::lrint(s * 32767.0f));
        put16(bytes + i * 2, static_cast<uint16_t>(v));
    }
    const size_t want = static_cast<size_t>(frames) * 4;
    const size_t done = writeAll(fd_, bytes, want, -1);
    const int err = errno;
    frames_ += static_cast<int64_t>(done / 4);
    if (done == want) return true;
    // Keep whole frames only, so that the header and the data agree.
    const int64_t end = kHeaderBytes + frames_ * 4;
    if (done % 4 != 0) {
        if (::ftruncate(fd_, static_cast<off_t>(end)) != 0) { /* the header below still states whole frames */ }
        ::lseek(fd_, static_cast<off_t>(end), SEEK_SET);
    }
    refreshHeader();
    if (error) *error = failure("write", err);
    if (errorNumber) *errorNumber = err;
    return false;
}

bool WavFileWriter::refreshHeader(std::string* error) {
    if (fd_ < 0) return false;
    const auto data = static_cast<uint32_t>(frames_ * 4);
    unsigned char b[4];
    put32(b, data + 36);
    bool ok = writeAll(fd_, b, 4, 4) == 4;
    put32(b, data);
    ok = ok && writeAll(fd_, b, 4, 40) == 4;
    if (!ok && error) *error = failure("update the header of", errno);
    return ok;
}

bool WavFileWriter::finish(std::string* error) {
    if (fd_ < 0) return true;
    bool ok = refreshHeader(error);
    if (::fsync(fd_) != 0 && errno != EINVAL && ok) {
        if (error) *error = failure("write", errno);
        ok = false;
    }
    if (::close(fd_) != 0 && ok) {
        if (error) *error = failure("close", errno);
        ok = false;
    }
    fd_ = -1;
    return ok;
}

}  // namespace brisko::audio
