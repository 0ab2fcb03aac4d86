// cWavReader: the RIFF walk (RIFF WAVE form, then "fmt ", then "data", each searched from the
// position the previous one left) and the chunked reading of the data.
#include "encoder/cWavReader.h"

#include <new>

#include "platform/common/NumberedError.h"

using brisko::NumberedError;
namespace riff = brisko::riff;

namespace {

const char* description(int code) {
    switch (code) {
        case cWavReader::kNotStereo16: return "Only stereo 16 bit wave files supported.";
        case cWavReader::kCannotOpen: return "Unable to open file.";
        case cWavReader::kNotWave: return "Not a Wave file.";
        case cWavReader::kNoFormatChunk: return "Unable to retrieve format chunk";
        case cWavReader::kFormatReadError: return "Error reading format";
        case cWavReader::kNoFileOpen: return "No Wave File Open";
        case cWavReader::kOutOfMemory: return "Insufficient memory";
        case cWavReader::kPositionOutOfRange: return "Position out of range";
        case cWavReader::kBufferSizeLocked: return "Cannot change buffer size whilst a file is open.";
        case cWavReader::kDataReadError: return "Unable to read the wave data.";
        case cWavReader::kNoAudio: return "The wave file holds no audio.";
        default: return "";
    }
}

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

}  // namespace

cWavReader::cWavReader() = default;

cWavReader::~cWavReader() { CloseFile(); }

void cWavReader::raise(Code code) {
    throw NumberedError(kErrorBase + code, brisko::errorSource("cWavePlayer"), description(code));
}

void cWavReader::setFilename(const std::string& name) {
    if (OpenFile(name)) filename_ = name;
}

bool cWavReader::OpenFile(const std::string& name) {
    CloseFile();
    if (name.empty()) return false;
    try {
        openChecked(name);
    } catch (...) {
        CloseFile();
        throw;
    }
    return true;
}

void cWavReader::openChecked(const std::string& name) {
    if (!file_.open(name, riff::Mode::Read)) raise(kCannotOpen);

    riff::Chunk wave{.formType = riff::fourCC("WAVE")};
    if (!file_.descend(wave, nullptr, riff::Find::RiffForm)) raise(kNotWave);

    riff::Chunk fmt{.id = riff::fourCC("fmt ")};
    if (!file_.descend(fmt, &wave, riff::Find::ChunkId)) raise(kNoFormatChunk);
    // Format tag, channels, rate, bytes per second, block alignment, bits per sample (+ extra size).
    unsigned char format[18] = {};
    const int64_t wanted = fmt.size < sizeof format ? fmt.size : sizeof format;
    if (wanted < 16 || file_.read(format, wanted) != wanted) raise(kFormatReadError);
    channels_ = le16(format + 2);
    bitsPerSample_ = le16(format + 14);
    sampleRate_ = static_cast<int>(le16(format + 4) | static_cast<uint32_t>(le16(format + 6)) << 16);
    if (!file_.ascend(fmt)) raise(kFormatReadError);
    if (bitsPerSample_ != 16 || channels_ != 2) raise(kNotStereo16);

    riff::Chunk data{.id = riff::fourCC("data")};
    if (!file_.descend(data, &wave, riff::Find::ChunkId)) raise(kNoFileOpen);
    dataStart_ = file_.tell();
    position_ = dataStart_;
    dataLength_ = data.size;
    // A recorder that never finished its file leaves a size larger than the data written: read
    // what is there rather than waiting for bytes that will never come.
    const int64_t fileSize = file_.fileSize();
    if (fileSize >= 0 && dataStart_ + dataLength_ > fileSize) dataLength_ = fileSize - dataStart_;

    buffer_.reset(new (std::nothrow) int16_t[static_cast<size_t>(bufferBytes_ / 2 + 1)]());
    if (!buffer_) raise(kOutOfMemory);
}

void cWavReader::CloseFile() {
    file_.close();
    buffer_.reset();
    readBytes_ = 0;
    dataStart_ = 0;
    dataLength_ = 0;
    position_ = 0;
    channels_ = 0;
    bitsPerSample_ = 0;
    sampleRate_ = 0;
}

bool cWavReader::Read() {
    if (!file_.isOpen()) raise(kNoFileOpen);
    const int64_t remaining = dataStart_ + dataLength_ - position_;
    const int64_t wanted = bufferBytes_ < remaining ? bufferBytes_ : remaining;
    if (wanted <= 0) return false;  // nothing left: the read size stays as it was
    const int64_t got = file_.read(buffer_.get(), wanted);
    if (got != wanted) {
        // The file was cut short (or failed) after it was opened: never pass a partial file off
        // as the whole one.
        readBytes_ = 0;
        raise(kDataReadError);
    }
    position_ += got;
    readBytes_ = got;
    return bufferBytes_ < remaining;
}

void cWavReader::setReadBufferSize(int64_t frames) {
    if (file_.isOpen()) raise(kBufferSizeLocked);
    if (frames <= 0 || frames > (int64_t{1} << 28)) raise(kOutOfMemory);
    bufferBytes_ = frames * 4;
}

int64_t cWavReader::BufferStartPosition() const { return position_ - dataStart_; }

void cWavReader::SeekAbsolute(int64_t frame) {
    if (!file_.isOpen()) raise(kNoFileOpen);
    if (frame < 0 || frame * 4 > dataLength_) raise(kPositionOutOfRange);
    if (file_.seek(dataStart_ + frame * 4) < 0) raise(kPositionOutOfRange);
    position_ = dataStart_ + frame * 4;
}

void cWavReader::SeekRelative(int64_t frames) {
    if (!file_.isOpen()) raise(kNoFileOpen);
    const int64_t offset = position_ - dataStart_ + frames * 4;
    if (offset < 0 || offset > dataLength_) raise(kPositionOutOfRange);
    if (file_.seek(dataStart_ + offset) < 0) raise(kPositionOutOfRange);
    position_ = dataStart_ + offset;
}
