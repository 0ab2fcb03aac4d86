// The air-check recording of the master mix: RecordingFiles writes a sequence of WAV files
// (NAME.wav, then NAME-002.wav, NAME-003.wav, ... where one would pass the format's 4 GiB or the
// process's file-size limit) and reports each failure once; Recorder feeds it from a lock-free
// FIFO that the output callback fills, on a writer thread of its own.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/Backend.h"
#include "platform/audio/StereoRing.h"
#include "platform/audio/WavFileWriter.h"

namespace brisko::audio {

class RecordingFiles {
public:
    // Failures are reported to EVENTS (may be null).
    explicit RecordingFiles(BackendEvents* events) : events_(events) {}
    // Opens the file with number INDEX of PATH (1 is PATH itself). False with *ERROR.
    bool open(const std::string& path, int sampleRate, std::string* error, int index = 1);
    // Writes FRAMES frames; on a failure reports it (once until a write succeeds again) and
    // drops them. Goes on in the next numbered file before this one would pass its limit.
    void write(const float* stereo, int frames);
    // Keeps the header current (call now and then).
    void refreshHeader();
    // The final header; closes.
    void finish();
    // Reports TEXT as a recording failure.
    void report(const std::string& text);

    // The name of file number INDEX of PATH.
    static std::string numberedPath(const std::string& path, int index);
    // Tests: the most data per file (instead of 4 GiB).
    void setMaxDataBytes(int64_t bytes) { maxDataBytes_ = bytes; }
    int index() const { return index_.load(); }
    std::vector<std::string> files() const {
        std::lock_guard l(filesMutex_);
        return files_;
    }

private:
    bool next();
    BackendEvents* events_;
    WavFileWriter writer_;
    std::string path_;
    int rate_ = 0;
    std::atomic<int> index_{1};
    int64_t maxDataBytes_ = WavFileWriter::kMaxDataBytes;
    bool failing_ = false;
    mutable std::mutex filesMutex_;  // files_ is read by other threads
    std::vector<std::string> files_;
};

class Recorder {
public:
    explicit Recorder(BackendEvents* events) : files_(events), events_(events) {}
    ~Recorder() { stop(); }
    // Opens file INDEX of PATH and starts the writer thread.
    bool start(const std::string& path, int sampleRate, std::string* error, int index = 1);
    // Output callback side: copies the period into the FIFO. Never waits, never allocates;
    // what does not fit is counted as lost and reported by the writer.
    void push(const float* stereo, int frames);
    // Writes what is left, the final header, and ends the writer thread.
    void stop();
    // Tests: the most data per file.
    void setMaxDataBytes(int64_t bytes) { files_.setMaxDataBytes(bytes); }
    int index() const { return files_.index(); }
    const std::string& path() const { return path_; }
    std::vector<std::string> files() const { return files_.files(); }

private:
    void run();
    void drain();
    RecordingFiles files_;
    BackendEvents* events_;
    std::string path_;
    int rate_ = 0;
    StereoRing fifo_{1 << 18};  // about 5 s at 48 kHz
    std::atomic<uint64_t> lost_{0};
    uint64_t lostReported_ = 0;
    std::atomic<bool> running_{false};
    std::thread thread_;
    std::vector<float> chunk_;
};

}  // namespace brisko::audio
