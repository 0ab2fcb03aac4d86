// Writing the recording: numbered continuation files, failures said once, and the writer thread
// that empties the callback's FIFO.
#include "platform/audio/Recorder.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>

namespace brisko::audio {
namespace {

constexpr int kChunkFrames = 4096;
constexpr auto kWriterPause = std::chrono::milliseconds(20);
constexpr auto kHeaderEvery = std::chrono::milliseconds(500);

// A file-size limit (ulimit -f) must end a write with EFBIG, not end the program.
void ignoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] { std::signal(SIGXFSZ, SIG_IGN); });
}

}  // namespace

std::string RecordingFiles::numberedPath(const std::string& path, int index) {
    if (index <= 1) return path;
    const size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    char number[16];
    std::snprintf(number, sizeof number, "-%03d", index);
    return path.substr(0, dot) + number + path.substr(dot);
}

bool RecordingFiles::open(const std::string& path, int sampleRate, std::string* error, int index) {
    ignoreFileSizeSignal();
    path_ = path;
    rate_ = sampleRate;
    index_ = index;
    const std::string name = numberedPath(path, index);
    if (!writer_.open(name, sampleRate, error)) return false;
    std::lock_guard l(filesMutex_);
    files_.push_back(name);
    return true;
}

void RecordingFiles::report(const std::string& text) {
    if (events_) events_->noteWriteError(text);
}

bool RecordingFiles::next() {
    std::string error;
    if (!writer_.finish(&error)) report(error);
    ++index_;
    const std::string name = numberedPath(path_, index_.load());
    if (!writer_.open(name, rate_, &error)) {
        report(error);
        failing_ = true;
        return false;
    }
    std::lock_guard l(filesMutex_);
    files_.push_back(name);
    return true;
}

void RecordingFiles::write(const float* stereo, int frames) {
    if (!writer_.isOpen() && !(failing_ && next())) return;
    while (frames > 0) {
        int64_t room = writer_.framesLeft(maxDataBytes_);
        if (room <= 0) {
            if (!next()) return;
            room = writer_.framesLeft(maxDataBytes_);
            if (room <= 0) return;
        }
        const int n = static_cast<int>(std::min<int64_t>(frames, room));
        std::string error;
        int err = 0;
        if (!writer_.write(stereo, n, &error, &err)) {
            if (!failing_) report(error);
            failing_ = true;
            // At the process's file-size limit the recording goes on in the next file.
            if (err == EFBIG && writer_.framesWritten() > 0) next();
            return;
        }
        failing_ = false;
        stereo += static_cast<size_t>(n) * 2;
        frames -= n;
    }
}

void RecordingFiles::refreshHeader() {
    std::string error;
    if (writer_.isOpen() && !writer_.refreshHeader(&error) && !failing_) {
        report(error);
        failing_ = true;
    }
}

void RecordingFiles::finish() {
    std::string error;
    if (!writer_.finish(&error)) report(error);
}

bool Recorder::start(const std::string& path, int sampleRate, std::string* error, int index) {
    stop();
    if (!files_.open(path, sampleRate, error, index)) return false;
    path_ = path;
    rate_ = sampleRate;
    chunk_.assign(size_t(kChunkFrames) * 2, 0.0f);
    running_.store(true);
    thread_ = std::thread([this] { run(); });
    return true;
}

void Recorder::push(const float* stereo, int frames) {
    const int64_t written = fifo_.push(stereo, frames);
    if (written < frames) lost_.fetch_add(static_cast<uint64_t>(frames - written), std::memory_order_relaxed);
}

void Recorder::drain() {
    for (;;) {
        const int64_t read = fifo_.readCount();
        const int64_t available = fifo_.publishedWrite() - read;
        if (available <= 0) break;
        const int n = static_cast<int>(std::min<int64_t>(available, kChunkFrames));
        for (int i = 0; i < n; ++i) {
            const float* f = fifo_.frame(read + i);
            chunk_[size_t(i) * 2] = f[0];
            chunk_[size_t(i) * 2 + 1] = f[1];
        }
        fifo_.release(read + n);
        files_.write(chunk_.data(), n);
    }
    const uint64_t lost = lost_.load(std::memory_order_relaxed);
    if (lost != lostReported_ && rate_ > 0) {
        files_.report("the recording lost " + std::to_string((lost - lostReported_) * 1000 / uint64_t(rate_)) +
                      " ms of sound: the disk did not keep up");
        lostReported_ = lost;
    }
}

void Recorder::run() {
    auto lastHeader = std::chrono::steady_clock::now();
    while (running_.load()) {
        drain();
        const auto now = std::chrono::steady_clock::now();
        if (now - lastHeader >= kHeaderEvery) {
            files_.refreshHeader();
            lastHeader = now;
        }
        std::this_thread::sleep_for(kWriterPause);
    }
}

void Recorder::stop() {
    if (!thread_.joinable()) return;
    running_.store(false);
    thread_.join();
    drain();
    files_.finish();
}

}  // namespace brisko::audio
