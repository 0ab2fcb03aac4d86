// cMp3Writer: owns the buffer the encoder library fills and the output file that buffer is
// appended to after every encoder call. The file holds exactly the bytes written, nothing else.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class cMp3Writer {
public:
    // Error numbers: 29870 + code, source "brisko." + the failing step.
    enum Code { kAllocateBuffer = 1, kOpenFile = 2, kMoreThanBuffer = 3, kNotOpen = 4, kWriteFailed = 5 };
    static constexpr int kErrorBase = 29870;

    cMp3Writer() = default;
    ~cMp3Writer();
    cMp3Writer(const cMp3Writer&) = delete;
    cMp3Writer& operator=(const cMp3Writer&) = delete;

    // Closes the output file if one is open; false (no error raised) when the system reports that
    // data could not be stored on closing.
    bool CloseFile();
    const std::string& Filename() const { return filename_; }
    // Closes any open file, keeps NAME, makes sure a buffer exists, then creates the file (an
    // existing one is emptied). Error 2 when it cannot be created; the name is kept anyway.
    void setFilename(const std::string& name);
    int64_t BufferSize() const { return bufferSize_; }
    void setBufferSize(int64_t bytes);
    uint8_t* BufferPointer() const { return buffer_.get(); }
    // Appends the first BYTES bytes of the buffer to the file; returns the bytes written.
    int64_t WriteBufferToFile(int64_t bytes);

private:
    void allocate(int64_t bytes);

    std::unique_ptr<uint8_t[]> buffer_;
    int64_t bufferSize_ = 8192;
    std::string filename_;
    int fd_ = -1;
};
