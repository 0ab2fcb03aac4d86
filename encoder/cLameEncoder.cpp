// cLameEncoder: opens an encoder stream for the configuration record, feeds it the WAV's samples
// one library chunk at a time, appends every result to the MP3, flushes, writes the final
// Xing/LAME tag over the placeholder frame, and cleans up on error and on cancel.
#include "encoder/cLameEncoder.h"

#include <filesystem>
#include <system_error>

#include "encoder/cMp3Writer.h"
#include "encoder/cWavReader.h"
#include "platform/common/NumberedError.h"

using brisko::NumberedError;
namespace fs = std::filesystem;

namespace {

const char* resultDescription(uint32_t code) {
    switch (code) {
        case 1: return "Invalid Format";
        case 2: return "Invalid Format Parameters";
        case 3: return "Out of LAME handles";
        case 4: return "LAME handle is invalid";
        case 5: return "Buffer is too small";
        default: return "";
    }
}

bool exists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && fs::exists(name, ec);
}

}  // namespace

cLameEncoder::cLameEncoder() = default;

cLameEncoder::~cLameEncoder() {
    try {
        closeStream();
    } catch (...) {  // destruction ignores a failing close
    }
}

cLameEncoderVersion& cLameEncoder::Version() {
    if (!version_) version_ = std::make_unique<cLameEncoderVersion>();
    return *version_;
}

void cLameEncoder::setWavFile(const std::string& name) {
    if (exists(name)) wavFile_ = name;
}

void cLameEncoder::setMp3File(const std::string& name) {
    if (!exists(name)) mp3File_ = name;
}

void cLameEncoder::raiseResult(uint32_t code, const char* step) const {
    throw NumberedError(kErrorBase + static_cast<int>(code), brisko::errorSource(step), resultDescription(code));
}

void cLameEncoder::openStream() {
    closeStream();
    api_ = brisko::encoder::lameApi(brisko::errorSource("lameInit"));
    const uint32_t result = api_.initStream(&config_, &samplesPerChunk_, &outputBufferSize_, &handle_);
    if (result != 0) {
        handle_ = 0;
        samplesPerChunk_ = 0;
        outputBufferSize_ = 0;
        raiseResult(result, "lameInit");
    }
}

void cLameEncoder::closeStream() {
    if (handle_ == 0) return;
    const uint32_t result = api_.closeStream(handle_);
    handle_ = 0;
    samplesPerChunk_ = 0;
    outputBufferSize_ = 0;
    if (result != 0) raiseResult(result, "lameClose");
}

void cLameEncoder::Encode() {
    openStream();
    if (handle_ == 0) {
        throw NumberedError(kErrorBase + 1, brisko::errorSource("lameConvert"), "Lame engine not initialised");
    }

    // The names of this run: the window may change the encoder's names while a run lets input through.
    const std::string wavFile = wavFile_;
    const std::string mp3File = mp3File_;
    std::unique_ptr<cWavReader> reader;
    std::unique_ptr<cMp3Writer> writer;
    try {
        reader = std::make_unique<cWavReader>();
        reader->setReadBufferSize(samplesPerChunk_ / 2);
        reader->setFilename(wavFile);
        // Without a single frame the encoder would still write frames no decoder accepts.
        if (!reader->Filename().empty() && reader->AudioLength() == 0) cWavReader::raise(cWavReader::kNoAudio);

        writer = std::make_unique<cMp3Writer>();
        writer->setBufferSize(outputBufferSize_);
        writer->setFilename(mp3File);

        int64_t done = 0;
        const int64_t total = reader->AudioLength() * 2;
        bool cancel = false;
        for (;;) {
            const bool more = reader->Read();
            if (cancel) break;
            if (reader->ReadSize() > 0) {
                const auto samples = static_cast<uint32_t>(reader->ReadSize() * 2);
                uint32_t produced = 0;
                const uint32_t result =
                    api_.encodeChunk(handle_, samples, reader->ReadBufferPtr(), writer->BufferPointer(), &produced);
                if (result != 0) raiseResult(result, "lameConvert");
                writer->WriteBufferToFile(produced);
                done += samples;
                if (Progress) Progress(done, total, cancel);
            }
            if (!more) break;
        }

        if (!cancel) {
            uint32_t produced = 0;
            const uint32_t result = api_.deinitStream(handle_, writer->BufferPointer(), &produced);
            if (result != 0) raiseResult(result, "lameConvert");
            writer->WriteBufferToFile(produced);
            if (Progress) Progress(total, total, cancel);
            // Data the system could not store shows up at the latest when the file is closed.
            if (!writer->CloseFile()) {
                throw NumberedError(cMp3Writer::kErrorBase + cMp3Writer::kWriteFailed,
                                    brisko::errorSource("WriteBufferToFile"), "Failed to write buffer to file");
            }
            // The first frame is a placeholder: the finished tag (length, encoder delay and
            // padding) replaces it now, or players show a wrong length and lose gapless trimming.
            if (api_.writeInfoTag(handle_, mp3File.c_str()) != 0) {
                throw NumberedError(cMp3Writer::kErrorBase + cMp3Writer::kWriteFailed,
                                    brisko::errorSource("WriteBufferToFile"), "Failed to write buffer to file");
            }
        } else {
            writer->CloseFile();
            std::error_code ec;
            fs::remove(mp3File, ec);
        }
        writer.reset();
        reader.reset();
        closeStream();
    } catch (const NumberedError& e) {
        writer.reset();
        reader.reset();
        try {
            closeStream();
        } catch (...) {  // the first error is the one reported
        }
        throw NumberedError(e.number(), brisko::errorSource("lameConvert"), e.description());
    }
}
