// What a voice's reader pulls sound from: a media file through the decoder, or a PcmSource.
// Both deliver interleaved stereo float at the output rate, in bounded pieces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/Mp3Scan.h"

namespace brisko::audio {

class Decoder;
class PcmSource;
class SourceFile;

class VoiceStream {
public:
    virtual ~VoiceStream() = default;
    virtual int sourceRate() const = 0;
    // Writes up to MAXFRAMES frames into OUT; fewer only when the sound has ended (atEnd()).
    // May block as long as the medium does.
    virtual int64_t read(float* out, int64_t maxFrames) = 0;
    // No more frames: the end of the sound, or a read error (then error() says which).
    virtual bool atEnd() const = 0;
    // Source frame after the last one delivered; exact once atEnd().
    virtual int64_t sourcePosition() const = 0;
    // Why the sound ended before its end; "" at the real end.
    virtual std::string error() const = 0;
    // Restarts so that the next frame read is source frame FRAME. HINTS are seek points from a
    // length scan (may be empty). Slow: may decode from the start.
    virtual void seek(int64_t frame, const std::vector<SeekPoint>& hints) = 0;
    // Whether seek() would use hints (so the caller copies them only then).
    virtual bool wantsHints() const { return false; }
    // Changes the output rate; takes effect with the next seek.
    virtual void setOutRate(int rate) = 0;
};

// A media file through the decoder. The read errors of FILE (counted by SourceFile) turn the
// end of decoding into an error end.
std::unique_ptr<VoiceStream> makeFileStream(std::shared_ptr<SourceFile> file, std::unique_ptr<Decoder> decoder,
                                            int outRate);

// A PcmSource, converted to OUTRATE when its rate differs. nullptr and *ERROR when its rate is
// below 1000 or its length is negative.
std::unique_ptr<VoiceStream> makePcmStream(std::unique_ptr<PcmSource> source, int outRate, std::string* error);

}  // namespace brisko::audio
