// cLameEncoder: turns one 16-bit stereo WAV file into one MP3 file through liblameencshim, chunk by
// chunk, reporting progress after every chunk to a handler that may cancel the run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "encoder/LameLibrary.h"
#include "encoder/cLameEncoderVersion.h"

class cLameEncoder {
public:
    // Error numbers: 29770 + the library's result code, or code 1 for a stream never opened.
    static constexpr int kErrorBase = 29770;

    // Progress(done, total, cancel): counts of 16-bit samples (frames × 2); set cancel to stop.
    using ProgressHandler = std::function<void(int64_t done, int64_t total, bool& cancel)>;
    ProgressHandler Progress;

    cLameEncoder();
    ~cLameEncoder();
    cLameEncoder(const cLameEncoder&) = delete;
    cLameEncoder& operator=(const cLameEncoder&) = delete;

    // The library's version record, read when first asked for.
    cLameEncoderVersion& Version();
    const std::string& WavFile() const { return wavFile_; }
    // Kept only when a file of that name exists; otherwise ignored without error.
    void setWavFile(const std::string& name);
    const std::string& Mp3File() const { return mp3File_; }
    // Kept only when no file of that name exists; otherwise ignored without error.
    void setMp3File(const std::string& name);
    int EncodingPreset() const { return config_.preset; }
    void setEncodingPreset(int preset) { config_.preset = preset; }
    int BitRate() const { return static_cast<int>(config_.bitrate); }
    void setBitRate(int kbps) { config_.bitrate = static_cast<uint32_t>(kbps); }
    int SampleRate() const { return static_cast<int>(config_.sampleRate); }
    void setSampleRate(int hz) { config_.sampleRate = static_cast<uint32_t>(hz); }
    int OutputMode() const { return config_.mode; }
    void setOutputMode(int mode) { config_.mode = mode; }

    // Runs the whole conversion; returns when the file is finished or the run was cancelled
    // (the output is then deleted). Raises brisko::NumberedError on failure; a partly written
    // output stays on disk.
    void Encode();

    // The configuration record handed to the library (for tests and callers that need more).
    brisko::lameenc::Config& config() { return config_; }

private:
    void openStream();
    void closeStream();
    [[noreturn]] void raiseResult(uint32_t code, const char* step) const;

    brisko::lameenc::Config config_;
    brisko::encoder::LameApi api_;
    brisko::lameenc::StreamHandle handle_ = 0;
    uint32_t samplesPerChunk_ = 0;
    uint32_t outputBufferSize_ = 0;
    std::string wavFile_;
    std::string mp3File_;
    std::unique_ptr<cLameEncoderVersion> version_;
};
