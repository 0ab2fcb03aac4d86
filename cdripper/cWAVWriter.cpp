// cWAVWriter over the RIFF layer: RIFF/WAVE form, "fmt " chunk of 18 bytes, "data" chunk whose
// size (and the RIFF size) the RIFF layer writes when each chunk is left.
#include "cdripper/cWAVWriter.h"

#include "platform/common/NumberedError.h"

namespace brisko::cdripper {

namespace {

const char* wavMessage(int code) {
    switch (code) {
        case 1: return "Unable to finalise data chunk; WAV file may not be usable.";
        case 2: return "Unable to finalise RIFF chunk; WAV file may not be usable.";
        case 3: return "Unable to open file for writing.";
        case 4: return "Unable to write the WAV file header.";
        case 5: return "WAV file not open.";
        case 6: return "Error writing data: bytes written does not match request, WAV file may not be usable.";
        default: return "";
    }
}

void putLE16(unsigned char* p, uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void putLE32(unsigned char* p, uint32_t v) {
    putLE16(p, static_cast<uint16_t>(v));
    putLE16(p + 2, static_cast<uint16_t>(v >> 16));
}

}  // namespace

cWAVWriter::~cWAVWriter() {
    try {
        CloseFile();
    } catch (...) {
    }
}

void cWAVWriter::RaiseWavError(int code, const std::string& source) {
    throw NumberedError(kWavErrorBase + code, errorSource(source), wavMessage(code));
}

bool cWAVWriter::OpenFile(const std::string& sFile) {
    CloseFile();
    if (!file_.open(sFile, riff::Mode::Create)) RaiseWavError(3, "OpenFile");
    return WriteWaveFormatHeader();
}

bool cWAVWriter::WriteWaveFormatHeader() {
    auto failed = [this] {
        file_.close();
        RaiseWavError(4, "WriteWaveFormatHeader");
    };
    riffChunk_ = riff::Chunk{};
    riffChunk_.id = riff::fourCC("RIFF");
    riffChunk_.formType = riff::fourCC("WAVE");
    if (!file_.createChunk(riffChunk_)) failed();

    subChunk_ = riff::Chunk{};
    subChunk_.id = riff::fourCC("fmt");
    if (!file_.createChunk(subChunk_)) failed();
    unsigned char format[18];
    putLE16(format, 1);          // PCM
    putLE16(format + 2, 2);      // channels
    putLE32(format + 4, 44100);  // samples per second
    putLE32(format + 8, 176400); // bytes per second
    putLE16(format + 12, 4);     // block alignment
    putLE16(format + 14, 16);    // bits per sample
    putLE16(format + 16, 0);     // extra format bytes
    if (file_.write(format, sizeof format) != static_cast<int64_t>(sizeof format)) failed();
    if (!file_.ascend(subChunk_)) failed();

    subChunk_.id = riff::fourCC("data");
    subChunk_.size = 0;
    subChunk_.created = false;
    if (!file_.createChunk(subChunk_)) failed();
    return true;
}

int32_t cWAVWriter::WriteWavData(const void* lPtrBuff, int32_t lWriteSize) {
    if (!file_.isOpen()) RaiseWavError(5, "WriteWavData");
    if (lWriteSize <= 0) return 0;
    const int64_t written = file_.write(lPtrBuff, lWriteSize);
    if (written != lWriteSize) RaiseWavError(6, "WriteWavData");
    return static_cast<int32_t>(written);
}

void cWAVWriter::CloseFile() {
    if (!file_.isOpen()) return;
    int code = 0;
    if (!file_.ascend(subChunk_)) code = 1;
    if (!file_.ascend(riffChunk_)) code = 2;
    // Buffered bytes that cannot be written at close (a full disk) leave the file unusable too.
    if (!file_.close() && code == 0) code = 2;
    if (code != 0) RaiseWavError(code, "CloseFile");
}

}  // namespace brisko::cdripper
