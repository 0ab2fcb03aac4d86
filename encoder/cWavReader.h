// cWavReader: opens a 16-bit stereo RIFF WAVE file, finds its data and hands the samples out in
// fixed-size chunks through one buffer it owns. Sizes and positions are in frames of 4 bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/riff/Riff.h"

class cWavReader {
public:
    // Error numbers: 29670 + code, source "brisko.cWavePlayer".
    enum Code {
        kNotStereo16 = 1, kCannotOpen = 2, kNotWave = 3, kNoFormatChunk = 4, kFormatReadError = 5,
        kNoFileOpen = 6, kOutOfMemory = 7, kPositionOutOfRange = 8, kBufferSizeLocked = 9,
        kDataReadError = 10, kNoAudio = 11,
    };
    static constexpr int kErrorBase = 29670;

    cWavReader();
    ~cWavReader();
    cWavReader(const cWavReader&) = delete;
    cWavReader& operator=(const cWavReader&) = delete;

    // The last name opened successfully.
    const std::string& Filename() const { return filename_; }
    // Opens NAME; the name is kept only when that succeeds.
    void setFilename(const std::string& name);

    // Opens and checks the file: true on success, false (no error) for an empty name. A data
    // chunk that claims more bytes than the file holds is taken as what the file holds.
    bool OpenFile(const std::string& name);
    void CloseFile();
    // Fills the buffer with the next chunk; true when more data remains after it. A read that
    // fails, or finds the file shorter than when it was opened, raises error 10.
    bool Read();

    int64_t ReadBufferSize() const { return bufferBytes_ / 4; }
    void setReadBufferSize(int64_t frames);
    int64_t ReadSize() const { return readBytes_ / 4; }
    const int16_t* ReadBufferPtr() const { return buffer_.get(); }
    int64_t AudioLength() const { return dataLength_ / 4; }
    // Bytes from the start of the data to the current position.
    int64_t BufferStartPosition() const;
    void SeekAbsolute(int64_t frame);
    void SeekRelative(int64_t frames);

    // Fields of the format record of the open file (0 when none is open).
    int channels() const { return channels_; }
    int bitsPerSample() const { return bitsPerSample_; }
    int sampleRate() const { return sampleRate_; }

    // Raises the reader's error CODE (the encoder raises kNoAudio for a file without samples).
    [[noreturn]] static void raise(Code code);

private:
    void openChecked(const std::string& name);

    std::string filename_;
    brisko::riff::RiffFile file_;
    std::unique_ptr<int16_t[]> buffer_;
    int64_t bufferBytes_ = 131072;
    int64_t readBytes_ = 0;
    int64_t dataStart_ = 0;
    int64_t dataLength_ = 0;
    int64_t position_ = 0;  // file position, kept here so reads need no query
    int channels_ = 0;
    int bitsPerSample_ = 0;
    int sampleRate_ = 0;
};
