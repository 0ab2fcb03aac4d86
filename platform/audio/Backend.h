// Output backends: something that calls the mixer once per period and sends the result out
// (a sound card through PortAudio, a WAV file, nowhere), or nothing at all for tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brisko::audio {

// The mixer entry point a backend calls: fills FRAMES interleaved stereo frames. Returns false
// when nothing sounded and nothing will before the engine calls BackendEvents::wakeOutput(): an
// output whose periods nobody hears (the silent one) may sleep until then.
using MixCallback = bool (*)(void* context, float* out, int frames);

// What a backend reports besides asking for sound. The counters are bumped from the output
// callback (lock-free); the write-error text only from threads that may wait (the file writer).
struct BackendEvents {
    std::atomic<uint64_t> underflows{0};   // the device said it ran out of sound
    std::atomic<uint64_t> overflows{0};
    std::atomic<uint64_t> finished{0};     // the device ended the stream by itself
    std::atomic<uint64_t> writeErrors{0};  // the file output could not write
    std::mutex textMutex;
    std::string writeErrorText;
    // An output asleep for want of sound (see MixCallback): no callbacks then, and no stall.
    std::atomic<bool> asleep{false};
    // Bumped by the engine when a voice starts to sound; a sleeping output waits on it.
    std::atomic<uint32_t> wakes{0};

    // Command side (never the output callback): something may sound from now on.
    void wakeOutput() {
        wakes.fetch_add(1, std::memory_order_acq_rel);
        wakes.notify_all();
    }

    void noteWriteError(const std::string& text) {
        {
            std::lock_guard l(textMutex);
            writeErrorText = text;
        }
        writeErrors.fetch_add(1, std::memory_order_release);
    }
    std::string lastWriteError() {
        std::lock_guard l(textMutex);
        return writeErrorText;
    }
};

class Backend {
public:
    virtual ~Backend() = default;
    // Starts output; false with *message when the device cannot be used.
    virtual bool start(std::string* message) = 0;
    virtual void stop() = 0;
    virtual int sampleRate() const = 0;
    virtual int framesPerPeriod() const = 0;  // 0 = varies
    virtual bool isManual() const { return false; }
    // A device outside the process (a sound card, a sound server) that can go away; the engine
    // gives it up when it stops calling back. Our own paced outputs cannot.
    virtual bool isDevice() const { return false; }
};

// Builds the backend for SPEC (see Engine::startBackend); nullptr and *message when SPEC is not
// understood. The backend reports into EVENTS, which must outlive it. A sound device is asked for
// PREFERREDRATE first when it is not 0.
std::unique_ptr<Backend> makeBackend(const std::string& spec, MixCallback mix, void* context, BackendEvents* events,
                                     std::string* message, int preferredRate = 0);

std::vector<std::string> portAudioDevices();

}  // namespace brisko::audio
