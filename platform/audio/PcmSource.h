// A source of sound that is not a media file (a CD track, a generated or test signal), played by
// the engine like a file through Engine::openSource.
#pragma once

#include <cstdint>
#include <string>

namespace brisko::audio {

// What the engine asks of such a source. Frames are stereo: one frame is a left and a right
// sample. Threading: after openSource() returns, the engine calls read() and seek() from one
// thread at a time (the voice's own reader, or the thread of a seek command), never at once;
// either may block for as long as the medium needs (a slow drive, a network share) without
// delaying any other voice. The engine destroys the source on one of those threads.
class PcmSource {
public:
    virtual ~PcmSource() = default;

    // Frames per second, fixed for the life of the source. Sources below 1000 are refused.
    virtual int sampleRate() const = 0;
    // The exact number of frames from frame 0 to the end. Called once by openSource, before any
    // read; it must not be an estimate (positions and "to" points are checked against it).
    virtual int64_t lengthFrames() const = 0;
    // Reads up to MAXFRAMES frames from the current position into OUT as interleaved stereo
    // float (full scale is -1..1) and moves past them. Returns the number of frames read, which
    // may be fewer than asked; 0 only at the end (frame lengthFrames()). On a read error returns
    // -1 with the reason in *ERROR: the voice then ends there and the error is reported.
    virtual int64_t read(float* out, int64_t maxFrames, std::string* error) = 0;
    // Moves so that the next read starts at FRAME (0 <= FRAME <= lengthFrames()). False with the
    // reason in *ERROR when the medium cannot get there.
    virtual bool seek(int64_t frame, std::string* error) = 0;
};

}  // namespace brisko::audio
