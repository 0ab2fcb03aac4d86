// Writes a ripped track as a WAV file: a fixed 46-byte CD-audio header (44100 Hz, 16-bit,
// stereo, an 18-byte format chunk), the audio as received, and the chunk sizes at close.
#pragma once

#include <cstdint>
#include <string>

#include "platform/riff/Riff.h"

namespace brisko::cdripper {

inline constexpr int kWavErrorBase = 29600;

class cWAVWriter {
public:
    cWAVWriter() = default;
    // Finalises a file still open, ignoring errors, so an abandoned file is still usable.
    ~cWAVWriter();
    cWAVWriter(const cWAVWriter&) = delete;
    cWAVWriter& operator=(const cWAVWriter&) = delete;

    // Creates (or empties) SFILE and writes the header. Raises 29603 or 29604.
    bool OpenFile(const std::string& sFile);
    // Appends LWRITESIZE bytes; returns the bytes written. Raises 29605 or 29606.
    int32_t WriteWavData(const void* lPtrBuff, int32_t lWriteSize);
    // Writes the chunk sizes and closes. Raises 29601 or 29602 when the file may be unusable.
    void CloseFile();

    bool isOpen() const { return file_.isOpen(); }

private:
    bool WriteWaveFormatHeader();
    [[noreturn]] void RaiseWavError(int code, const std::string& source);

    riff::RiffFile file_;
    riff::Chunk riffChunk_;
    riff::Chunk subChunk_;
};

}  // namespace brisko::cdripper
