// An open media file shared by the decoder and the length scan, read through FFmpeg with our own
// I/O so that both keep working on the same open file even after its name is deleted.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

namespace brisko::audio {

class SourceFile {
public:
    // Opens PATH for reading; nullptr and *error when it is missing, a folder, empty or unreadable.
    static std::shared_ptr<SourceFile> open(const std::string& path, std::string* error);
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // Read errors met so far by any reader of this file (the disk, a share going away), and the
    // errno of the last one. A reader that sees the count grow knows its end was no real end.
    uint64_t readErrors() const { return readErrors_.load(std::memory_order_acquire); }
    int lastReadErrno() const { return lastErrno_.load(std::memory_order_relaxed); }
    void noteReadError(int err) {
        lastErrno_.store(err, std::memory_order_relaxed);
        readErrors_.fetch_add(1, std::memory_order_release);
    }

private:
    SourceFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    int fd_;
    std::string path_;
    std::atomic<uint64_t> readErrors_{0};
    std::atomic<int> lastErrno_{0};
};

// A demuxer over a SourceFile, each with its own read position.
class FormatInput {
public:
    FormatInput();
    ~FormatInput();
    FormatInput(const FormatInput&) = delete;
    FormatInput& operator=(const FormatInput&) = delete;

    // Opens the container; with FIND_INFO reads ahead until the streams are known.
    bool open(std::shared_ptr<SourceFile> file, bool findInfo, std::string* error);
    // Reads ahead until the streams are known, unless open() already did.
    bool findInfo(std::string* error);
    AVFormatContext* context() const { return fmt_; }
    const std::shared_ptr<SourceFile>& file() const { return file_; }
    // Index of the best audio stream, -1 if none.
    int bestAudioStream() const;

private:
    std::shared_ptr<SourceFile> file_;
    AVFormatContext* fmt_ = nullptr;
    struct Io;
    std::unique_ptr<Io> io_;
    bool infoRead_ = false;
};

std::string ffmpegErrorText(int code);

}  // namespace brisko::audio
