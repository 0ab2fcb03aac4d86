// Output backends: something that calls the mixer once per period and sends the result out
// (a sound card through PortAudio, a WAV file, nowhere), or nothing at all for tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace brisko::audio {

// The mixer entry point a backend calls: fills FRAMES interleaved stereo frames.
using MixCallback = void (*)(void* context, float* out, int frames);

class Backend {
public:
    virtual ~Backend() = default;
    // Starts output; false with *message when the device cannot be used.
    virtual bool start(std::string* message) = 0;
    virtual void stop() = 0;
    virtual int sampleRate() const = 0;
    virtual int framesPerPeriod() const = 0;  // 0 = varies
    virtual bool isManual() const { return false; }
};

// Builds the backend for SPEC (see Engine::startBackend); nullptr and *message when SPEC is not
// understood.
std::unique_ptr<Backend> makeBackend(const std::string& spec, MixCallback mix, void* context,
                                     std::string* message);

std::vector<std::string> portAudioDevices();

}  // namespace brisko::audio
