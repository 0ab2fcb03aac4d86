// The output backends: PortAudio, a real-time paced thread (silent or writing a WAV file), and
// the manual backend of tests.
#include <portaudio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#if defined(BRISKO_HAVE_ALSA)
#include <alsa/asoundlib.h>
#endif
#if defined(BRISKO_HAVE_JACK)
#include <jack/jack.h>
#endif

#include "platform/audio/Backend.h"
#include "platform/audio/Recorder.h"

namespace brisko::audio {
namespace {

constexpr int kDefaultRate = 48000;
constexpr int kPacedPeriod = 1024;

#if defined(BRISKO_HAVE_ALSA)
void quietAlsa(const char*, int, const char*, int, const char*, ...) {}
#endif
#if defined(BRISKO_HAVE_JACK)
void quietJack(const char*) {}
#endif

// ALSA and JACK print pages of errors while PortAudio probes a machine without sound cards.
void silenceAudioLibraries() {
#if defined(BRISKO_HAVE_ALSA)
    snd_lib_error_set_handler(&quietAlsa);
#endif
#if defined(BRISKO_HAVE_JACK)
    jack_set_error_function(&quietJack);
    jack_set_info_function(&quietJack);
#endif
}

bool initPortAudio(std::string* message) {
    silenceAudioLibraries();
    const PaError e = Pa_Initialize();
    if (e != paNoError) {
        if (message) *message = std::string("cannot start PortAudio: ") + Pa_GetErrorText(e);
        return false;
    }
    return true;
}

class ManualBackend final : public Backend {
public:
    explicit ManualBackend(int rate) : rate_(rate) {}
    bool start(std::string*) override { return true; }
    void stop() override {}
    int sampleRate() const override { return rate_; }
    int framesPerPeriod() const override { return 0; }
    bool isManual() const override { return true; }

private:
    int rate_;
};

// Calls the mixer from its own thread at the pace of a sound card; optionally records the mix.
class PacedBackend final : public Backend {
public:
    PacedBackend(MixCallback mix, void* context, BackendEvents* events, std::string wavPath, int period = kPacedPeriod)
        : mix_(mix), context_(context), events_(events), wavPath_(std::move(wavPath)), writer_(events), period_(period) {}
    ~PacedBackend() override { stop(); }

    bool start(std::string* message) override {
        if (!wavPath_.empty() && !writer_.open(wavPath_, kDefaultRate, message)) return false;
        running_.store(true);
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void stop() override {
        running_.store(false);
        events_->wakeOutput();
        if (thread_.joinable()) thread_.join();
        writer_.finish();
    }
    int sampleRate() const override { return kDefaultRate; }
    int framesPerPeriod() const override { return period_; }

private:
    void run() {
        using Clock = std::chrono::steady_clock;
        std::vector<float> buffer(size_t(period_) * 2);
        const auto period = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(double(period_) / kDefaultRate));
        auto next = Clock::now();
        auto lastRefresh = next;
        bool asleep = false;
        while (running_.load(std::memory_order_relaxed)) {
            const uint32_t wakesSeen = events_->wakes.load(std::memory_order_acquire);
            const bool sounding = mix_(context_, buffer.data(), period_);
            if (wavPath_.empty() && !sounding) {
                // Silence nobody hears: sleep until a voice starts, then mix at once, so that
                // the press sounds in the very next period.
                asleep = true;
                events_->asleep.store(true);
                // A stop() that bumped the count before wakesSeen was read is seen here.
                if (!running_.load()) break;
                events_->wakes.wait(wakesSeen, std::memory_order_acquire);
                next = Clock::now();
                continue;
            }
            if (asleep) {
                asleep = false;
                events_->asleep.store(false);  // after the mix: its time stamp is fresh
            }
            if (!wavPath_.empty()) {
                writer_.write(buffer.data(), period_);  // failures reach the engine's health
                const auto now = Clock::now();
                if (now - lastRefresh >= std::chrono::milliseconds(500)) {
                    writer_.refreshHeader();
                    lastRefresh = now;
                }
            }
            next += period;
            const auto now = Clock::now();
            if (now - next > std::chrono::seconds(1)) next = now;  // fell far behind: do not race
            std::this_thread::sleep_until(next);
        }
        events_->asleep.store(false);
    }

    MixCallback mix_;
    void* context_;
    BackendEvents* events_;
    std::string wavPath_;
    RecordingFiles writer_;
    int period_;
    std::atomic<bool> running_{false};
    std::thread thread_;
};

// A stream on a device that went away is not safe to touch: stopping it on a sound server that
// died waits minutes for a callback that never comes, and closing it fails an assertion in
// PortAudio's JACK code, which ends the program. Such a stream is given up without another
// call (or its stop is left to a thread of its own), and from then on this process leaves
// PortAudio alone: the stream and the library's state stay as they are until the program ends.
std::atomic<bool> portAudioLeft{false};
constexpr auto kStopWait = std::chrono::milliseconds(1000);    // a stream that plays drains by then
constexpr auto kSilentAfter = std::chrono::milliseconds(500);  // a device silent so long went away
// A device reports gaps while its stream starts (a sound server connects the new client): not
// told as incidents, since nothing can have been on air through this stream yet.
constexpr auto kSettle = std::chrono::milliseconds(500);

int64_t steadyNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* const kPortAudioLeft = "the sound system does not answer (an earlier device went away)";

// Whether the JACK server PortAudio's JACK streams use still takes clients.
bool jackServerAnswers() {
#if defined(BRISKO_HAVE_JACK)
    jack_status_t status{};
    jack_client_t* client = jack_client_open("brisko-check", JackNoStartServer, &status);
    if (client == nullptr) return false;
    jack_client_close(client);
#endif
    return true;
}

class PortAudioBackend final : public Backend {
public:
    PortAudioBackend(MixCallback mix, void* context, BackendEvents* events, std::string device,
                     int preferredRate)
        : shared_(std::make_shared<Shared>()), device_(std::move(device)), preferredRate_(preferredRate) {
        shared_->mix = mix;
        shared_->context = context;
        shared_->events = events;
    }
    ~PortAudioBackend() override { stop(); }

    bool start(std::string* message) override {
        if (portAudioLeft.load()) return fail(message, kPortAudioLeft);
        if (!initPortAudio(message)) return false;
        initialised_ = true;
        PaDeviceIndex index = paNoDevice;
        if (device_.empty()) {
            index = Pa_GetDefaultOutputDevice();
            if (index == paNoDevice) return fail(message, "no audio output device");
        } else {
            const int count = Pa_GetDeviceCount();
            for (int i = 0; i < count; ++i) {
                const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
                if (info && info->maxOutputChannels >= 2 && device_ == info->name) index = i;
            }
            if (index == paNoDevice) return fail(message, "no audio output device called \"" + device_ + "\"");
        }
        const PaDeviceInfo* info = Pa_GetDeviceInfo(index);
        if (!info || info->maxOutputChannels < 2) return fail(message, "the audio device has no stereo output");
        const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
        jack_ = api != nullptr && api->type == paJACK;
        PaStreamParameters params{};
        params.device = index;
        params.channelCount = 2;
        params.sampleFormat = paFloat32;
        params.suggestedLatency = info->defaultLowOutputLatency;
        const double rates[] = {double(preferredRate_ > 0 ? preferredRate_ : kDefaultRate), double(kDefaultRate),
                                44100.0, info->defaultSampleRate};
        for (double r : rates) {
            if (Pa_IsFormatSupported(nullptr, &params, r) == paFormatIsSupported) {
                rate_ = static_cast<int>(r);
                break;
            }
        }
        if (rate_ == 0) return fail(message, "the audio device accepts none of our sample rates");
        PaError e = Pa_OpenStream(&stream_, nullptr, &params, rate_, paFramesPerBufferUnspecified,
                                  paClipOff, &PortAudioBackend::callback, shared_.get());
        if (e == paNoError) e = Pa_SetStreamFinishedCallback(stream_, &PortAudioBackend::finished);
        shared_->settledNanos.store(
            steadyNanos() + std::chrono::duration_cast<std::chrono::nanoseconds>(kSettle).count());
        if (e == paNoError) e = Pa_StartStream(stream_);
        if (e != paNoError) return fail(message, std::string("cannot start the audio device: ") + Pa_GetErrorText(e));
        return true;
    }

    // Stops and closes the stream within a bounded time. A device that went away (the stream
    // ended by itself, or called back and then fell silent) is given up at once; a stop that
    // does not come back is left running on its own thread; a JACK server that died during the
    // stop is not asked to close. A given-up stream's callback keeps off the engine.
    void stop() override {
        if (!stream_ && !initialised_) return;
        shared_->stopping.store(true);
        PaStream* stream = std::exchange(stream_, nullptr);
        const bool initialised = std::exchange(initialised_, false);
        if (stream && deviceGone()) return giveUp();
        auto done = std::make_shared<StopState>();
        std::thread worker([stream, initialised, done, jack = jack_, keep = shared_] {
            bool closable = true;
            if (stream) {
                Pa_StopStream(stream);
                closable = !jack || jackServerAnswers();
                if (closable) Pa_CloseStream(stream);
            }
            if (closable && initialised) Pa_Terminate();
            {
                std::lock_guard l(done->mutex);
                done->finished = true;
                done->closed = closable;
            }
            done->cv.notify_all();
        });
        std::unique_lock l(done->mutex);
        if (!done->cv.wait_for(l, kStopWait, [&] { return done->finished; })) {
            worker.detach();
            return giveUp();
        }
        const bool closed = done->closed;
        l.unlock();
        worker.join();
        if (!closed) giveUp();
    }
    int sampleRate() const override { return rate_; }
    int framesPerPeriod() const override { return 0; }
    bool isDevice() const override { return true; }

private:
    // What the callbacks use: outlives this object when a stop has to be given up.
    struct Shared {
        MixCallback mix = nullptr;
        void* context = nullptr;
        BackendEvents* events = nullptr;
        std::atomic<bool> stopping{false};
        std::atomic<bool> ended{false};  // the stream ended by itself
        std::atomic<bool> abandoned{false};
        std::atomic<int64_t> lastCallbackNanos{0};
        std::atomic<int64_t> settledNanos{0};  // status flags count from then on
    };
    struct StopState {
        std::mutex mutex;
        std::condition_variable cv;
        bool finished = false;
        bool closed = false;
    };

    bool deviceGone() const {
        if (shared_->ended.load()) return true;
        const int64_t last = shared_->lastCallbackNanos.load();
        return last != 0 &&
               steadyNanos() - last >
                   std::chrono::duration_cast<std::chrono::nanoseconds>(kSilentAfter).count();
    }
    void giveUp() {
        shared_->abandoned.store(true);
        portAudioLeft.store(true);
        // The callback may still be called with it: kept for the life of the process.
        static std::mutex keptMutex;
        static auto* kept = new std::vector<std::shared_ptr<Shared>>();
        std::lock_guard l(keptMutex);
        kept->push_back(shared_);
    }

    bool fail(std::string* message, const std::string& why) {
        if (message) *message = why;
        stop();
        return false;
    }
    static int callback(const void*, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                        PaStreamCallbackFlags flags, void* user) {
        auto* shared = static_cast<Shared*>(user);
        if (shared->abandoned.load(std::memory_order_acquire)) {
            std::memset(output, 0, sizeof(float) * 2 * frames);
            return paAbort;
        }
        const int64_t now = steadyNanos();
        shared->lastCallbackNanos.store(now, std::memory_order_relaxed);
        if (now < shared->settledNanos.load(std::memory_order_relaxed)) flags = 0;
        if (flags & paOutputUnderflow)
            shared->events->underflows.fetch_add(1, std::memory_order_relaxed);
        if (flags & paOutputOverflow)
            shared->events->overflows.fetch_add(1, std::memory_order_relaxed);
        shared->mix(shared->context, static_cast<float*>(output), static_cast<int>(frames));
        return paContinue;
    }
    // The stream ended: counted when it was not us who stopped it (a device that went away).
    static void finished(void* user) {
        auto* shared = static_cast<Shared*>(user);
        if (shared->stopping.load()) return;
        shared->ended.store(true);
        shared->events->finished.fetch_add(1, std::memory_order_relaxed);
    }

    std::shared_ptr<Shared> shared_;
    std::string device_;
    int preferredRate_ = 0;
    PaStream* stream_ = nullptr;
    bool initialised_ = false;
    bool jack_ = false;  // the device is a JACK server's
    int rate_ = 0;
};

}  // namespace

std::unique_ptr<Backend> makeBackend(const std::string& spec, MixCallback mix, void* context, BackendEvents* events,
                                     std::string* message, int preferredRate) {
    if (spec == "portaudio") return std::make_unique<PortAudioBackend>(mix, context, events, "", preferredRate);
    if (spec.rfind("portaudio:", 0) == 0)
        return std::make_unique<PortAudioBackend>(mix, context, events, spec.substr(10), preferredRate);
    if (spec == "null") return std::make_unique<PacedBackend>(mix, context, events, "");
    if (spec.rfind("null:", 0) == 0) {
        char* end = nullptr;
        const long period = std::strtol(spec.c_str() + 5, &end, 10);
        if (end && *end == '\0' && period >= 16 && period <= 8192)
            return std::make_unique<PacedBackend>(mix, context, events, "", static_cast<int>(period));
    }
    if (spec.rfind("file:", 0) == 0 && spec.size() > 5)
        return std::make_unique<PacedBackend>(mix, context, events, spec.substr(5));
    if (spec == "manual") return std::make_unique<ManualBackend>(kDefaultRate);
    if (spec.rfind("manual:", 0) == 0) {
        char* end = nullptr;
        const long rate = std::strtol(spec.c_str() + 7, &end, 10);
        if (end && *end == '\0' && rate >= 8000 && rate <= 384000)
            return std::make_unique<ManualBackend>(static_cast<int>(rate));
    }
    if (message) *message = "unknown audio output \"" + spec + "\"";
    return nullptr;
}

std::vector<std::string> portAudioDevices() {
    std::vector<std::string> names;
    if (portAudioLeft.load() || !initPortAudio(nullptr)) return names;
    const int count = Pa_GetDeviceCount();
    for (int i = 0; i < count; ++i) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(i);
        if (info && info->maxOutputChannels >= 2) names.emplace_back(info->name);
    }
    Pa_Terminate();
    return names;
}

}  // namespace brisko::audio
