// The engine: voices, the decoder thread that keeps their rings filled, the length-scan thread,
// and the bridge between commands and the mixer in the output callback.
//
// Commands reach the mixer only through atomics. When a command must change what the mixer
// reads (the ring, the play head), it first takes the voice out of play and waits until no mix
// that could have seen it playing is still running (callbackSeq is odd while a mix runs).
#include "platform/audio/Engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/audio/Backend.h"
#include "platform/audio/Mixer.h"
#include "platform/audio/Voice.h"

namespace brisko::audio {
namespace {

constexpr int kMaxVoices = 1024;
constexpr int64_t kRingFrames = 65536;
constexpr int kMixBlock = 1024;         // the mixer works in blocks of at most this many frames
constexpr double kOpenPrefill = 0.5;    // seconds decoded before open() returns
constexpr double kSeekPrefill = 0.25;   // seconds decoded before a seek or a play "from" returns
constexpr int64_t kFillChunk = 16384;   // frames the decoder thread adds to one voice per round
constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 10000;  // ten times normal speed

__extension__ using Wide = __int128;

int modeValue(VoiceMode m) { return static_cast<int>(m); }

// Source frame for MS milliseconds at RATE (floor, as the position is reported).
// The first frame at or after MS: rounding up makes every whole millisecond read back unchanged
// (msForFrames rounds down), so a seek to 1234 ms reports 1234 at 44.1 kHz, not 1233.
int64_t framesForMs(int64_t ms, int rate) {
    const int64_t scaled = ms * rate;
    return scaled >= 0 ? (scaled + 999) / 1000 : scaled / 1000;
}
int64_t msForFrames(int64_t frames, int rate) { return rate > 0 ? frames * 1000 / rate : -1; }

// Frames of the output rate for SOURCE frames of the source rate, rounded to the nearest.
int64_t outFramesFor(int64_t source, int srcRate, int outRate) {
    if (srcRate == outRate) return source;
    const Wide num = static_cast<Wide>(source) * outRate * 2 + srcRate;
    return static_cast<int64_t>(num / (static_cast<Wide>(srcRate) * 2));
}

// Adds decoded sound to the voice's ring, at most MAXFRAMES frames. Caller holds decodeMutex.
bool fill(Voice& v, int64_t maxFrames) {
    if (!v.decoder || v.eofOut.load(std::memory_order_relaxed) >= 0) return false;
    int64_t total = 0;
    while (total < maxFrames) {
        int64_t n = std::min<int64_t>(maxFrames - total, 4096);
        float* span = v.ring.writeSpan(&n);
        if (n <= 0) break;
        const int64_t got = v.decoder->read(span, n);
        v.ring.commit(got);
        total += got;
        if (v.decoder->atEnd()) {
            v.eofSource.store(v.decoder->sourcePosition(), std::memory_order_release);
            v.eofOut.store(v.ring.writeCount(), std::memory_order_release);
            break;
        }
        if (got < n) break;
    }
    return total > 0;
}

// The exact length from what the scan counted and where decoding really ended: the scan's count,
// or the end of decoding if that came first or earlier (a damaged tail the scan counted but the
// decoder could not decode). -1 while the scan has not finished.
int64_t combineLength(bool scanDone, int64_t scanned, int64_t eof) {
    if (!scanDone) return -1;
    if (eof >= 0 && (scanned < 0 || eof < scanned)) return eof;
    return scanned;
}

// The source frame under the play head, before clamping to the length.
int64_t rawPosition(const Voice& v) {
    int64_t pos = v.stoppedAt.load(std::memory_order_acquire);
    if (pos < 0) {
        const int64_t played = v.played.load(std::memory_order_acquire);
        const int64_t seg = v.segmentOut.load(std::memory_order_acquire);
        const int64_t src = v.segmentSource.load(std::memory_order_acquire);
        const int64_t out = played - seg;
        const int outRate = v.outRate.load();
        pos = src + (v.sourceRate == outRate
                         ? out
                         : static_cast<int64_t>(static_cast<Wide>(out) * v.sourceRate / outRate));
    }
    return pos;
}

// POS clamped to 0 and to LENGTH when that is known (>= 0).
int64_t clampPosition(int64_t pos, int64_t length) {
    if (length >= 0 && pos > length) pos = length;
    return std::max<int64_t>(pos, 0);
}

// The probe of one voice. The length scan publishes its result here as well as in the voice
// (under the voice's lengthMutex, before waiters are woken), so a probe never takes that lock.
class Probe final : public VoiceProbe {
public:
    explicit Probe(std::shared_ptr<Voice> voice) : voice_(std::move(voice)) {}

    int64_t positionMs() const override {
        const Voice& v = *voice_;
        if (v.closing.load(std::memory_order_acquire)) return -1;
        // The play head first, then the length, in the order Engine::positionMs reads them.
        const int64_t pos = rawPosition(v);
        return msForFrames(clampPosition(pos, length()), v.sourceRate);
    }

    VoiceMode mode() const override {
        const Voice& v = *voice_;
        if (v.closing.load(std::memory_order_acquire)) return VoiceMode::Stopped;
        return static_cast<VoiceMode>(v.mode.load());
    }

    Voice& voice() const { return *voice_; }

    // Called by the length scan with the voice's lengthMutex held.
    void publishLength(int64_t scanned) {
        scannedLength_.store(scanned, std::memory_order_relaxed);
        scanDone_.store(true, std::memory_order_release);
    }

private:
    int64_t length() const {
        const int64_t eof = voice_->eofSource.load(std::memory_order_acquire);
        const bool done = scanDone_.load(std::memory_order_acquire);
        return combineLength(done, scannedLength_.load(std::memory_order_relaxed), eof);
    }

    std::shared_ptr<Voice> voice_;
    std::atomic<int64_t> scannedLength_{-1};
    std::atomic<bool> scanDone_{false};
};

}  // namespace

struct Engine::Impl {
    // Serialises commands (the engine may be driven from more than one thread).
    std::recursive_mutex commandMutex;
    // Guards the voice table, shared with the decoder thread.
    mutable std::mutex tableMutex;
    std::vector<std::shared_ptr<Voice>> voices = std::vector<std::shared_ptr<Voice>>(kMaxVoices);
    std::atomic<Voice*> slots[kMaxVoices] = {};
    // The probe of each open voice, handed out by Engine::probe.
    std::vector<std::shared_ptr<Probe>> probes = std::vector<std::shared_ptr<Probe>>(kMaxVoices);
    std::atomic<int> slotCount{0};

    // Mixer side.
    std::atomic<uint64_t> callbackSeq{0};
    std::atomic<uint64_t> underruns{0};
    std::atomic<uint64_t> periods{0};
    std::atomic<int64_t> lastMixNanos{0};

    // Backend.
    std::unique_ptr<Backend> backend;
    std::string spec;
    std::string message;
    std::atomic<int> outRate{48000};
    std::atomic<int> periodFrames{0};
    std::atomic<bool> manual{false};
    std::atomic<bool> started{false};

    // Decoder thread.
    std::thread decodeThread;
    std::mutex wakeMutex;
    std::condition_variable wake;
    std::condition_variable progress;
    bool wakeRequested = false;
    uint64_t rounds = 0;
    std::atomic<bool> running{true};

    // Length-scan thread.
    std::thread scanThread;
    std::mutex scanMutex;
    std::condition_variable scanCv;
    std::deque<std::shared_ptr<Probe>> scanQueue;  // each voice through its probe

    Impl() {
        // Damaged files make FFmpeg talk a lot; the engine reports failures itself.
        if (!std::getenv("BRISKO_FFMPEG_LOG")) av_log_set_level(AV_LOG_FATAL);
        decodeThread = std::thread([this] { decodeLoop(); });
        scanThread = std::thread([this] { scanLoop(); });
    }

    ~Impl() {
        running.store(false);
        {
            std::lock_guard l(wakeMutex);
            wakeRequested = true;
        }
        wake.notify_all();
        {
            std::lock_guard l(scanMutex);
            scanQueue.clear();
        }
        scanCv.notify_all();
        if (decodeThread.joinable()) decodeThread.join();
        if (scanThread.joinable()) scanThread.join();
    }

    // ---- mixer side -------------------------------------------------------------------------

    static void mixTrampoline(void* context, float* out, int frames) {
        static_cast<Impl*>(context)->mixPeriod(out, frames);
    }

    void mixPeriod(float* out, int frames) {
        const auto t0 = std::chrono::steady_clock::now();
        // Sequentially consistent with the voice-mode and slot loads inside the mix, against
        // the stores and the callbackSeq load in quiesce().
        callbackSeq.fetch_add(1, std::memory_order_seq_cst);
        bool underrun = false;
        const int count = slotCount.load(std::memory_order_acquire);
        for (int off = 0; off < frames; off += kMixBlock) {
            const int n = std::min(kMixBlock, frames - off);
            if (mixAll(slots, count, out + off * 2, n).underrun) underrun = true;
        }
        callbackSeq.fetch_add(1, std::memory_order_release);
        periods.fetch_add(1, std::memory_order_relaxed);
        if (underrun) underruns.fetch_add(1, std::memory_order_relaxed);
        lastMixNanos.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                               std::chrono::steady_clock::now() - t0).count(),
                           std::memory_order_relaxed);
    }

    // Waits until no mix that started before this call is still running.
    void quiesce() {
        const uint64_t s = callbackSeq.load(std::memory_order_seq_cst);
        if (s & 1) {
            while (callbackSeq.load(std::memory_order_acquire) == s) std::this_thread::yield();
        }
    }

    // ---- decoder and scan threads -----------------------------------------------------------

    void wakeDecoder() {
        {
            std::lock_guard l(wakeMutex);
            wakeRequested = true;
        }
        wake.notify_one();
    }

    void decodeLoop() {
        std::vector<std::shared_ptr<Voice>> snapshot;
        while (running.load()) {
            {
                std::lock_guard l(tableMutex);
                for (auto& v : voices)
                    if (v) snapshot.push_back(v);
            }
            // Playing voices first.
            std::stable_partition(snapshot.begin(), snapshot.end(), [](const std::shared_ptr<Voice>& v) {
                return v->mode.load(std::memory_order_relaxed) == modeValue(VoiceMode::Playing);
            });
            bool more = false;
            for (auto& v : snapshot) {
                std::lock_guard l(v->decodeMutex);
                if (v->closing.load()) continue;
                if (fill(*v, kFillChunk) && v->ring.freeFrames() > 0 && v->eofOut.load() < 0) more = true;
            }
            snapshot.clear();
            std::unique_lock l(wakeMutex);
            ++rounds;
            progress.notify_all();
            if (!more) {
                wake.wait_for(l, std::chrono::milliseconds(5), [this] { return wakeRequested || !running.load(); });
            }
            wakeRequested = false;
        }
    }

    void scanLoop() {
        // Length scans are background work: they yield to the command and decoder threads.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        for (;;) {
            std::shared_ptr<Probe> probe;
            {
                std::unique_lock l(scanMutex);
                scanCv.wait(l, [this] { return !scanQueue.empty() || !running.load(); });
                if (!running.load()) return;
                probe = std::move(scanQueue.front());
                scanQueue.pop_front();
            }
            Voice* v = &probe->voice();
            int64_t length = -1;
            std::vector<SeekPoint> points;
            if (!v->closing.load()) length = scanExactLength(v->file, v->stream, v->plainMp3, &points);
            {
                std::lock_guard l(v->lengthMutex);
                v->seekPoints = std::move(points);
                v->lengthFrames = length;
                v->lengthDone = true;
                probe->publishLength(length);
            }
            v->lengthReady.notify_all();
        }
    }

    // ---- voices -----------------------------------------------------------------------------

    std::shared_ptr<Voice> get(VoiceId id) const {
        if (id < 0 || id >= kMaxVoices) return nullptr;
        std::lock_guard l(tableMutex);
        return voices[static_cast<size_t>(id)];
    }

    // The exact length once known: the scan's count, or where decoding really ended if that
    // came first or earlier (a damaged tail the scan counted but the decoder could not decode).
    static int64_t knownLength(Voice& v, bool wait) {
        std::unique_lock l(v.lengthMutex);
        if (wait) v.lengthReady.wait(l, [&] { return v.lengthDone; });
        const int64_t eof = v.eofSource.load(std::memory_order_acquire);
        return combineLength(v.lengthDone, v.lengthFrames, eof);
    }

    static int64_t positionFrames(Voice& v) {
        const int64_t pos = rawPosition(v);
        return clampPosition(pos, knownLength(v, false));
    }

    // The source frame under the play head when it is known exactly, else -1. Only while the
    // voice is out of play.
    static int64_t exactHead(Voice& v) {
        const int64_t seg = v.segmentOut.load();
        const int64_t src = v.segmentSource.load();
        if (v.headFrac != 0) return -1;
        if (v.sourceRate == v.outRate.load() || v.head == seg) return src + (v.head - seg);
        return -1;
    }

    // Takes the voice out of play and waits until the mixer keeps off it.
    void holdVoice(Voice& v) {
        v.mode.store(modeValue(VoiceMode::Stopped), std::memory_order_seq_cst);
        quiesce();
    }

    // Restarts decoding at source frame FRAME; the voice must be held.
    void restart(Voice& v, int64_t frame, double prefillSeconds) {
        std::lock_guard l(v.decodeMutex);
        if (!v.decoder) return;
        if (!v.decoder->hasSeekPoints()) {
            std::vector<SeekPoint> points;
            {
                std::lock_guard ll(v.lengthMutex);
                points = v.seekPoints;
            }
            v.decoder->addSeekPoints(points);
        }
        if (!v.decoder->seek(frame)) {
            // The container cannot seek: decode again from the start up to the frame.
            if (auto fresh = Decoder::open(v.file, v.outRate.load(), nullptr)) {
                fresh->skipTo(frame);
                v.decoder = std::move(fresh);
            }
        }
        v.ring.discardAll();
        const int64_t seg = v.ring.writeCount();
        v.segmentOut.store(seg);
        v.segmentSource.store(frame);
        v.head = seg;
        v.headFrac = 0;
        v.played.store(seg);
        v.eofOut.store(-1);
        v.eofSource.store(-1);
        v.stoppedAt.store(-1);
        v.limitOut.store(kNoLimit);
        fill(v, static_cast<int64_t>(prefillSeconds * v.outRate.load()));
    }

    void closeVoice(VoiceId id) {
        std::shared_ptr<Voice> v;
        {
            std::lock_guard l(tableMutex);
            if (id < 0 || id >= kMaxVoices) return;
            v = std::move(voices[static_cast<size_t>(id)]);
            voices[static_cast<size_t>(id)].reset();
            probes[static_cast<size_t>(id)].reset();
            slots[id].store(nullptr, std::memory_order_seq_cst);
            int top = slotCount.load();
            while (top > 0 && !voices[static_cast<size_t>(top - 1)]) --top;
            slotCount.store(top);
        }
        if (!v) return;
        holdVoice(*v);
        v->closing.store(true);
        {
            std::lock_guard l(v->decodeMutex);
            v->decoder.reset();
        }
        {
            std::lock_guard l(v->lengthMutex);
            v->lengthDone = true;
        }
        v->lengthReady.notify_all();
    }

    // Renders at the new output rate from where each voice stands.
    void changeOutRate(int rate) {
        std::vector<std::shared_ptr<Voice>> all;
        {
            std::lock_guard l(tableMutex);
            for (auto& v : voices)
                if (v) all.push_back(v);
        }
        for (auto& v : all) {
            const int wasMode = v->mode.load();
            holdVoice(*v);
            const int64_t pos = positionFrames(*v);
            const int64_t limitSource = v->limitSource.load();
            const bool limited = v->limitOut.load() != kNoLimit;
            {
                std::lock_guard l(v->decodeMutex);
                if (v->decoder) v->decoder->setOutRate(rate);
                v->outRate.store(rate);
            }
            restart(*v, pos, kSeekPrefill);
            if (limited) {
                v->limitSource.store(limitSource);
                v->limitOut.store(v->segmentOut.load() + outFramesFor(limitSource - pos, v->sourceRate, rate));
            }
            if (wasMode != modeValue(VoiceMode::Stopped)) v->mode.store(wasMode);
        }
    }

    // ---- backend ----------------------------------------------------------------------------

    void stopBackend() {
        if (backend) {
            backend->stop();
            backend.reset();
        }
    }

    bool startBackendLocked(const std::string& wanted, std::string* messageOut) {
        stopBackend();
        std::string why;
        std::string used = wanted;
        std::unique_ptr<Backend> b = makeBackend(wanted, &Impl::mixTrampoline, this, &why);
        bool ok = b && b->start(&why);
        if (!ok) {
            b = makeBackend("null", &Impl::mixTrampoline, this, nullptr);
            b->start(nullptr);
            used = "null";
            why += "; sound is off";
        }
        const int oldRate = outRate.load();
        outRate.store(b->sampleRate());
        periodFrames.store(b->framesPerPeriod());
        manual.store(b->isManual());
        backend = std::move(b);
        spec = used;
        message = ok ? std::string() : why;
        started.store(true);
        if (outRate.load() != oldRate) changeOutRate(outRate.load());
        if (messageOut) *messageOut = message;
        return ok;
    }

    void ensureBackend() {
        if (started.load()) return;
        std::lock_guard l(commandMutex);
        if (started.load()) return;
        const char* env = std::getenv("BRISKO_AUDIO");
        startBackendLocked(env && *env ? env : "portaudio", nullptr);
    }

    // Waits (outside the mixer) until each playing voice has the sound for FRAMES more output
    // frames, or has all of its sound decoded.
    void waitForData(int frames) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        for (;;) {
            bool ready = true;
            // Counts as a mix for quiesce(): a voice closed meanwhile is not freed under us.
            callbackSeq.fetch_add(1, std::memory_order_seq_cst);
            const int count = slotCount.load();
            for (int s = 0; s < count && ready; ++s) {
                Voice* v = slots[s].load();
                if (!v || v->mode.load() != modeValue(VoiceMode::Playing)) continue;
                if (v->eofOut.load() >= 0) continue;
                const uint64_t advance = (uint64_t(v->headFrac) + v->step.load() * uint64_t(frames)) >> 32;
                const int64_t need = std::min<int64_t>(v->head + static_cast<int64_t>(advance) + 2, v->limitOut.load());
                if (v->ring.publishedWrite() < need) ready = false;
            }
            callbackSeq.fetch_add(1, std::memory_order_release);
            if (ready || std::chrono::steady_clock::now() > deadline) return;
            std::unique_lock l(wakeMutex);
            const uint64_t seen = rounds;
            wakeRequested = true;
            wake.notify_one();
            progress.wait_for(l, std::chrono::milliseconds(20), [&] { return rounds != seen; });
        }
    }
};

// ---- Engine ---------------------------------------------------------------------------------

Engine::Engine() : impl_(std::make_unique<Impl>()) {}

Engine::~Engine() { shutdown(); }

Engine& Engine::instance() {
    static Engine engine;
    return engine;
}

bool Engine::startBackend(const std::string& spec, std::string* message) {
    std::lock_guard l(impl_->commandMutex);
    return impl_->startBackendLocked(spec, message);
}

std::string Engine::backendSpec() const {
    impl_->ensureBackend();
    std::lock_guard l(impl_->commandMutex);
    return impl_->spec;
}

std::string Engine::backendMessage() const {
    impl_->ensureBackend();
    std::lock_guard l(impl_->commandMutex);
    return impl_->message;
}

std::vector<std::string> Engine::listDevices() { return portAudioDevices(); }

void Engine::shutdown() {
    std::lock_guard l(impl_->commandMutex);
    impl_->stopBackend();
    // No backend starts by itself after this; startBackend() still can.
    impl_->started.store(true);
    impl_->manual.store(false);
    impl_->spec.clear();
    for (int id = 0; id < kMaxVoices; ++id) impl_->closeVoice(id);
}

VoiceId Engine::open(const std::string& path, std::string* error) {
    impl_->ensureBackend();
    std::lock_guard l(impl_->commandMutex);
    auto file = SourceFile::open(path, error);
    if (!file) return -1;
    const int outRate = impl_->outRate.load();
    auto decoder = Decoder::open(file, outRate, error);
    if (!decoder) return -1;
    auto v = std::make_shared<Voice>(kRingFrames);
    auto probe = std::make_shared<Probe>(v);
    v->file = std::move(file);
    v->sourceRate = decoder->sourceRate();
    v->outRate.store(outRate);
    v->stream = decoder->streamIndex();
    v->plainMp3 = decoder->isPlainMp3();
    v->statedLength = decoder->statedLength();
    v->decoder = std::move(decoder);
    {
        std::lock_guard dl(v->decodeMutex);
        fill(*v, static_cast<int64_t>(kOpenPrefill * outRate));
    }
    {
        std::lock_guard tl(impl_->tableMutex);
        int id = 0;
        while (id < kMaxVoices && impl_->voices[static_cast<size_t>(id)]) ++id;
        if (id == kMaxVoices) {
            if (error) *error = "too many open files";
            return -1;
        }
        v->id = id;
        impl_->voices[static_cast<size_t>(id)] = v;
        impl_->probes[static_cast<size_t>(id)] = probe;
        impl_->slots[id].store(v.get(), std::memory_order_release);
        if (id >= impl_->slotCount.load()) impl_->slotCount.store(id + 1);
    }
    if (v->statedLength >= 0) {
        // The container states the exact length: known now, nothing to scan.
        std::lock_guard ll(v->lengthMutex);
        v->lengthFrames = v->statedLength;
        v->lengthDone = true;
        probe->publishLength(v->statedLength);
    } else {
        std::lock_guard sl(impl_->scanMutex);
        impl_->scanQueue.push_back(probe);
    }
    impl_->scanCv.notify_one();
    impl_->wakeDecoder();
    return v->id;
}

void Engine::close(VoiceId voice) {
    std::lock_guard l(impl_->commandMutex);
    impl_->closeVoice(voice);
}

void Engine::closeAll() {
    std::lock_guard l(impl_->commandMutex);
    for (int id = 0; id < kMaxVoices; ++id) impl_->closeVoice(id);
}

bool Engine::isOpen(VoiceId voice) const { return impl_->get(voice) != nullptr; }

int64_t Engine::lengthFrames(VoiceId voice) {
    auto v = impl_->get(voice);
    return v ? Impl::knownLength(*v, true) : -1;
}

int64_t Engine::lengthMs(VoiceId voice) {
    auto v = impl_->get(voice);
    if (!v) return -1;
    const int64_t frames = Impl::knownLength(*v, true);
    return frames < 0 ? -1 : msForFrames(frames, v->sourceRate);
}

int Engine::sourceRate(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->sourceRate : 0;
}

int64_t Engine::positionMs(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? msForFrames(Impl::positionFrames(*v), v->sourceRate) : -1;
}

VoiceMode Engine::mode(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? static_cast<VoiceMode>(v->mode.load()) : VoiceMode::Stopped;
}

std::shared_ptr<const VoiceProbe> Engine::probe(VoiceId voice) const {
    if (voice < 0 || voice >= kMaxVoices) return nullptr;
    std::lock_guard l(impl_->tableMutex);
    return impl_->probes[static_cast<size_t>(voice)];
}

bool Engine::play(VoiceId voice, int64_t fromMs, int64_t toMs, std::string* error) {
    std::lock_guard l(impl_->commandMutex);
    auto v = impl_->get(voice);
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (!v) return fail("the voice is not open");
    const int rate = v->sourceRate;
    // Checked against the length only once the scan has it: play() never waits for it. A
    // "to" past the real end then simply ends at the end.
    const int64_t length = Impl::knownLength(*v, false);
    const int64_t fromFrame = fromMs >= 0 ? framesForMs(fromMs, rate) : Impl::positionFrames(*v);
    const int64_t toFrame = toMs >= 0 ? framesForMs(toMs, rate) : -1;
    if (length >= 0 && (fromFrame > length || toFrame > length)) return fail("the position is out of range");
    if (toFrame >= 0 && toFrame < fromFrame) return fail("the position is out of range");

    const int wasMode = v->mode.load();
    impl_->holdVoice(*v);
    if (fromMs >= 0) {
        if (Impl::exactHead(*v) != fromFrame) impl_->restart(*v, fromFrame, kSeekPrefill);
    } else if (wasMode == modeValue(VoiceMode::Stopped) && v->stoppedAt.load() >= 0 &&
               Impl::exactHead(*v) < 0) {
        // Stopped by itself at a point the ring does not hold exactly: continue from there.
        impl_->restart(*v, v->stoppedAt.load(), kSeekPrefill);
    }
    const int64_t seg = v->segmentOut.load();
    const int64_t segSource = v->segmentSource.load();
    if (toFrame >= 0) {
        int64_t limit = seg + outFramesFor(toFrame - segSource, rate, v->outRate.load());
        if (limit < v->head) limit = v->head;
        v->limitSource.store(toFrame);
        v->limitOut.store(limit, std::memory_order_release);
    } else {
        v->limitOut.store(kNoLimit, std::memory_order_release);
    }
    v->stoppedAt.store(-1);
    v->curGainLeft = v->gainLeft.load();
    v->curGainRight = v->gainRight.load();
    v->mode.store(modeValue(VoiceMode::Playing), std::memory_order_release);
    impl_->wakeDecoder();
    return true;
}

void Engine::pause(VoiceId voice) {
    std::lock_guard l(impl_->commandMutex);
    if (auto v = impl_->get(voice)) {
        int expected = modeValue(VoiceMode::Playing);
        v->mode.compare_exchange_strong(expected, modeValue(VoiceMode::Paused));
    }
}

void Engine::resume(VoiceId voice) {
    std::lock_guard l(impl_->commandMutex);
    if (auto v = impl_->get(voice)) {
        int expected = modeValue(VoiceMode::Paused);
        v->mode.compare_exchange_strong(expected, modeValue(VoiceMode::Playing));
    }
}

void Engine::stop(VoiceId voice) {
    std::lock_guard l(impl_->commandMutex);
    if (auto v = impl_->get(voice)) v->mode.store(modeValue(VoiceMode::Stopped));
}

bool Engine::seek(VoiceId voice, int64_t ms, std::string* error) {
    std::lock_guard l(impl_->commandMutex);
    auto v = impl_->get(voice);
    if (!v) {
        if (error) *error = "the voice is not open";
        return false;
    }
    if (ms < 0) {
        if (error) *error = "the position is out of range";
        return false;
    }
    int64_t frame = framesForMs(ms, v->sourceRate);
    const int64_t length = Impl::knownLength(*v, true);
    if (length >= 0 && frame > length) frame = length;
    impl_->holdVoice(*v);
    impl_->restart(*v, frame, kSeekPrefill);
    return true;
}

void Engine::setVolume(VoiceId voice, int left, int right) {
    std::lock_guard l(impl_->commandMutex);
    if (auto v = impl_->get(voice)) {
        left = std::clamp(left, 0, 1000);
        right = std::clamp(right, 0, 1000);
        v->volumeLeft.store(left);
        v->volumeRight.store(right);
        v->gainLeft.store(gainForVolume(left));
        v->gainRight.store(gainForVolume(right));
    }
}

int Engine::volumeLeft(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->volumeLeft.load() : -1;
}

int Engine::volumeRight(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->volumeRight.load() : -1;
}

void Engine::setSpeed(VoiceId voice, int speed) {
    std::lock_guard l(impl_->commandMutex);
    if (auto v = impl_->get(voice)) {
        speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
        v->speed.store(speed);
        v->step.store((uint64_t(speed) << 32) / 1000);
        impl_->wakeDecoder();
    }
}

int Engine::speed(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->speed.load() : -1;
}

EngineStats Engine::stats() const {
    impl_->ensureBackend();
    EngineStats s;
    s.underruns = impl_->underruns.load();
    s.periodsMixed = impl_->periods.load();
    s.sampleRate = impl_->outRate.load();
    s.framesPerPeriod = impl_->periodFrames.load();
    s.lastMixNanos = impl_->lastMixNanos.load();
    std::lock_guard l(impl_->tableMutex);
    for (auto& v : impl_->voices)
        if (v) ++s.openVoices;
    return s;
}

void Engine::renderManual(float* out, int frames) {
    impl_->ensureBackend();
    if (!impl_->manual.load()) {
        std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(std::max(frames, 0)));
        return;
    }
    for (int off = 0; off < frames; off += kMixBlock) {
        const int n = std::min(kMixBlock, frames - off);
        impl_->waitForData(n);
        impl_->mixPeriod(out + off * 2, n);
    }
}

float Engine::gainForVolume(int volume) {
    // A cubic taper: about 60 dB of range, close to how loudness is heard.
    if (volume <= 0) return 0.0f;
    if (volume >= 1000) return 1.0f;
    const double x = volume / 1000.0;
    return static_cast<float>(x * x * x);
}

}  // namespace brisko::audio
