// The engine: voices, the reader thread of each voice that keeps its ring filled, the length-scan
// thread, and the bridge between commands and the mixer in the output callback.
//
// Locks, and what never waits on what: a command takes its own voice's commandMutex; reading
// (and a seek, which may decode from the start) takes that voice's readMutex; the voice table's
// mutex is held only to look up, insert or remove. No lock is held across slow work that another
// voice, the output or a command on another voice needs. Commands reach the mixer only through
// atomics: when a command must change what the mixer reads (the ring, the play head), it first
// takes the voice out of play and waits until no mix that could have seen it sounding is still
// running (callbackSeq is odd while a mix runs).
#include "platform/audio/Engine.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <shared_mutex>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

extern "C" {
#include <libavutil/log.h>
}

#include "platform/audio/Backend.h"
#include "platform/audio/Decoder.h"
#include "platform/audio/Mixer.h"
#include "platform/audio/PcmSource.h"
#include "platform/audio/Recorder.h"
#include "platform/audio/SourceFile.h"
#include "platform/audio/Voice.h"

namespace brisko::audio {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMaxVoices = 1024;
constexpr int64_t kRingFrames = 65536;
constexpr int kMixBlock = 1024;         // the mixer works in blocks of at most this many frames
constexpr double kOpenPrefill = 0.5;    // seconds decoded before open() returns
constexpr double kSeekPrefill = 0.25;   // seconds decoded before a seek or a play "from" returns
// Frames of the ring a reader leaves free: a seek on a playing voice prepares the new sound there
// while the old one plays on from the rest.
constexpr int64_t kJumpReserve = kRingFrames / 4;
constexpr int64_t kFillChunk = 16384;   // frames a reader adds before it looks at its wake flag
constexpr int64_t kReadPiece = 4096;    // frames asked of the stream at a time
constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 10000;  // ten times normal speed
constexpr auto kFadeWait = std::chrono::milliseconds(100);  // longest wait for a fade to finish
constexpr auto kStallAfter = std::chrono::milliseconds(1500);  // no callback for this long: stalled
constexpr auto kWatchEvery = std::chrono::milliseconds(250);   // how often the output is looked at
// A reader this long without headway hangs; a length query looks at it this often.
constexpr auto kShortEndStall = std::chrono::seconds(2);
constexpr auto kShortEndLook = std::chrono::milliseconds(100);

__extension__ using Wide = __int128;

int64_t nowNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

VoiceMode publicMode(int mode) {
    switch (mode) {
        case kModePlaying: return VoiceMode::Playing;
        case kModePaused:
        case kModeFadeToPause: return VoiceMode::Paused;
        default: return VoiceMode::Stopped;
    }
}

// Whether a voice in MODE can jump: it plays, or holds its old sound after a seek.
bool jumpable(int mode) {
    return mode == kModePlaying || mode == kModeSeekHold;
}

// Whether the mixer has a change of V's sound under way: a fade, a seek's hold, the old sound of a
// jump fading out, or a jump it has not taken yet.
bool settling(const Voice& v) {
    const int m = v.mode.load();
    return m == kModeFadeToStop || m == kModeFadeToPause || m == kModeSeekHold ||
           v.tailBusy.load() || (m == kModePlaying && v.jumpOut.load() >= 0);
}

// Source frame for MS milliseconds at RATE.
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

// The exact length from what the scan counted and where decoding really ended: the scan's count,
// or the end of decoding if that came first or earlier (a damaged tail the scan counted but the
// decoder could not decode). An end by a read error (EOF = -1 then) never shortens it. -1 while
// the scan has not finished.
int64_t combineLength(bool scanDone, int64_t scanned, int64_t eof) {
    if (!scanDone) return -1;
    if (eof >= 0 && (scanned < 0 || eof < scanned)) return eof;
    return scanned;
}

int64_t knownLengthNow(const Voice& v) {
    const int64_t eof = v.failed.load(std::memory_order_acquire) ? -1 : v.eofSource.load(std::memory_order_acquire);
    return combineLength(v.lengthDone.load(std::memory_order_acquire), v.lengthFrames.load(std::memory_order_acquire),
                         eof);
}

// The source frame under the play head, before clamping to the length: one consistent snapshot.
int64_t rawPosition(const Voice& v) {
    const PositionFields p = readPosition(v);
    if (p.stoppedAt >= 0) return p.stoppedAt;
    const int64_t out = p.played - p.segmentOut;
    if (v.sourceRate == p.outRate) return p.segmentSource + out;
    // In 64 bits while the product fits (days of sound), which saves a slow 128-bit division on
    // every position query.
    constexpr int64_t kNarrow = int64_t(1) << 40;
    if (out >= 0 && out < kNarrow && v.sourceRate < (1 << 22) && p.outRate > 0)
        return p.segmentSource + out * v.sourceRate / p.outRate;
    const Wide wide = static_cast<Wide>(out) * v.sourceRate / p.outRate;
    return p.segmentSource + static_cast<int64_t>(wide);
}

// POS clamped to 0 and to LENGTH when that is known (>= 0).
int64_t clampPosition(int64_t pos, int64_t length) {
    if (length >= 0 && pos > length) pos = length;
    return std::max<int64_t>(pos, 0);
}

int64_t positionFrames(const Voice& v) { return clampPosition(rawPosition(v), knownLengthNow(v)); }

// The probe of one voice: reads only the voice's atomics.
class Probe final : public VoiceProbe {
public:
    explicit Probe(std::shared_ptr<Voice> voice) : voice_(std::move(voice)) {}

    int64_t positionMs() const override {
        const Voice& v = *voice_;
        if (v.closing.load(std::memory_order_acquire)) return -1;
        return msForFrames(positionFrames(v), v.sourceRate);
    }

    VoiceMode mode() const override {
        const Voice& v = *voice_;
        if (v.closing.load(std::memory_order_acquire)) return VoiceMode::Stopped;
        return publicMode(v.mode.load());
    }

private:
    std::shared_ptr<Voice> voice_;
};

// What the reader threads share with the engine: a count of fill rounds (the manual backend
// waits on it) and of readers still running. Held by every reader, so it outlives the engine.
struct ReaderHub {
    std::mutex mutex;
    std::condition_variable changed;
    uint64_t rounds = 0;
    int live = 0;

    void bump() {
        {
            std::lock_guard l(mutex);
            ++rounds;
        }
        changed.notify_all();
    }
};

}  // namespace

struct Engine::Impl {
    // Starting and stopping the backend. Never taken by voice commands.
    std::mutex backendMutex;
    // An open holds it shared while it prepares sound at the output rate; a rate change holds
    // it exclusively, so no voice is left at the old rate.
    std::shared_mutex rateMutex;
    // Guards the voice table (look-ups, inserts, removals only).
    mutable std::mutex tableMutex;
    std::vector<std::shared_ptr<Voice>> voices = std::vector<std::shared_ptr<Voice>>(kMaxVoices);
    std::atomic<Voice*> slots[kMaxVoices] = {};
    std::vector<std::shared_ptr<Probe>> probes = std::vector<std::shared_ptr<Probe>>(kMaxVoices);
    std::atomic<int> slotCount{0};

    // One output stream: the air, or the cue (pre-listen). Each has its own backend, callback,
    // mix sequence and health, and mixes only the voices of its own bus; the watch looks at both.
    struct Output {
        Impl* impl = nullptr;
        int bus = kBusAir;
        BackendEvents events;
        std::unique_ptr<Backend> backend;  // backendMutex
        std::string spec;                  // backendMutex; "" while none is set
        std::string message;               // textMutex: why the chosen output is not in use
        std::atomic<int> rate{48000};
        std::atomic<int> periodFrames{0};
        std::atomic<bool> manual{false};
        std::atomic<bool> running{false};  // a backend other than the manual one runs
        std::atomic<uint64_t> seq{0};      // odd while a mix of this output runs
        std::atomic<uint64_t> underruns{0};
        std::atomic<uint64_t> periods{0};
        std::atomic<int64_t> lastMixNanos{0};
        std::atomic<int64_t> lastCallbackNanos{0};
        std::atomic<uint64_t> generation{0};  // bumped by every backend start
        std::atomic<bool> stalled{false};     // the watch saw it stalled last time
        uint64_t finishedSeen = 0;            // watch thread only
        std::atomic<uint64_t> deviceStops{0};
        std::atomic<uint64_t> devicesGivenUp{0};
    };
    Output air;
    Output cue;
    // "split": no cue stream of its own; the air callback mixes the cue bus too and sends the air
    // (as one channel) to the left, the cue to the right.
    std::atomic<bool> split{false};
    float splitAir[kMixBlock * 2] = {};  // the air callback's, in split mode
    float splitCue[kMixBlock * 2] = {};
    bool cueChosen = false;  // backendMutex: the cue was set, so BRISKO_CUE is not read

    // The air mix's level: the callback stores each period's peaks here; readers judge them.
    struct MeterSlot {
        std::atomic<float> left{0.0f};
        std::atomic<float> right{0.0f};
        std::atomic<int> frames{0};
        std::atomic<bool> sounding{false};
    };
    static constexpr int kMeterSlots = 8192;  // over 40 s of 256-frame periods at 48 kHz
    MeterSlot meter[kMeterSlots];
    std::atomic<uint64_t> meterCount{0};

    // Health.
    std::atomic<uint64_t> readErrors{0};
    mutable std::mutex textMutex;  // the texts below and the outputs' messages
    std::string lastReadError;

    std::atomic<bool> started{false};
    std::atomic<bool> running{true};

    std::shared_ptr<ReaderHub> hub = std::make_shared<ReaderHub>();

    // The output watch: notices an output that stops calling back or ends by itself.
    std::thread watchThread;
    std::mutex watchMutex;
    std::condition_variable watchCv;
    bool watchEnd = false;                       // watchMutex
    uint64_t watchKicks = 0;                     // watchMutex: outputs started or woken

    // The recording: the callback pushes into the recorder it finds here (backendMutex guards
    // the owner; the pointer is cleared and the mixer quiesced before the recorder goes).
    std::unique_ptr<Recorder> recorderOwner;
    std::atomic<Recorder*> recorder{nullptr};
    int64_t recordingLimit = WavFileWriter::kMaxDataBytes;

    // Length-scan thread.
    std::thread scanThread;
    std::mutex scanMutex;
    std::condition_variable scanCv;
    std::deque<std::shared_ptr<Voice>> scanQueue;
    bool scansHeld = false;  // tests: the scan thread takes no work (scanMutex)

    Impl() {
        air.impl = this;
        cue.impl = this;
        cue.bus = kBusCue;
        // Damaged files make FFmpeg talk a lot; the engine reports failures itself.
        if (!std::getenv("BRISKO_FFMPEG_LOG")) av_log_set_level(AV_LOG_FATAL);
        scanThread = std::thread([this] { scanLoop(); });
        watchThread = std::thread([this] { watchLoop(); });
    }

    ~Impl() {
        {
            std::lock_guard l(watchMutex);
            watchEnd = true;
        }
        watchCv.notify_all();
        if (watchThread.joinable()) watchThread.join();
        running.store(false);
        {
            std::lock_guard l(scanMutex);
            scanQueue.clear();
        }
        scanCv.notify_all();
        if (scanThread.joinable()) scanThread.join();
        for (int id = 0; id < kMaxVoices; ++id) closeVoice(id);
        // Readers end as soon as their current read returns; a medium that hangs for good is
        // left to the end of the process.
        {
            std::unique_lock l(hub->mutex);
            hub->changed.wait_for(l, std::chrono::seconds(2), [this] { return hub->live == 0; });
        }
        // A thread that looked voices up and was never joined (a CD watcher left to a drive that
        // answered late) did so under the table lock: taking it here orders those look-ups
        // before the tables go.
        std::lock_guard l(tableMutex);
        for (auto& p : probes) p.reset();
        for (auto& v : voices) v.reset();
    }

    // ---- mixer side -------------------------------------------------------------------------

    static bool mixTrampoline(void* context, float* out, int frames) {
        auto* output = static_cast<Output*>(context);
        return output->impl->mixPeriod(*output, out, frames);
    }

    // The output that mixes V: its bus's, or the air's when the cue is split off the air device.
    Output& mixerOf(const Voice& v) {
        return v.bus.load() == kBusCue && !split.load() ? cue : air;
    }

    // Mixes one period of output O; false when no voice of it sounds any more and nothing is
    // recorded, so that the next periods are silence until a voice starts (wakeOutput()).
    bool mixPeriod(Output& o, float* out, int frames) {
        const int64_t t0 = nowNanos();
        o.lastCallbackNanos.store(t0, std::memory_order_relaxed);
        // Sequentially consistent with the voice-mode and slot loads inside the mix, against
        // the stores and the sequence loads in quiesce().
        o.seq.fetch_add(1, std::memory_order_seq_cst);
        const bool isAir = o.bus == kBusAir;
        const bool splitting = isAir && split.load(std::memory_order_relaxed);
        Recorder* r = isAir ? recorder.load(std::memory_order_acquire) : nullptr;
        bool underrun = false;
        bool sounding = false;
        float peakLeft = 0.0f;
        float peakRight = 0.0f;
        const int count = slotCount.load(std::memory_order_acquire);
        for (int off = 0; off < frames; off += kMixBlock) {
            const int n = std::min(kMixBlock, frames - off);
            float* block = out + off * 2;
            float* airMix = splitting ? splitAir : block;
            const MixResult m = mixAll(slots, count, airMix, n, o.bus);
            underrun = underrun || m.underrun;
            sounding = m.sounding;
            if (isAir) {
                for (int f = 0; f < n; ++f) {
                    peakLeft = std::max(peakLeft, std::fabs(airMix[f * 2]));
                    peakRight = std::max(peakRight, std::fabs(airMix[f * 2 + 1]));
                }
            }
            if (splitting) {
                const MixResult c = mixAll(slots, count, splitCue, n, kBusCue);
                sounding = sounding || c.sounding;
                if (r) r->push(splitAir, n);  // the recording keeps the air in stereo
                for (int f = 0; f < n; ++f) {
                    block[f * 2] = 0.5f * (splitAir[f * 2] + splitAir[f * 2 + 1]);
                    block[f * 2 + 1] = 0.5f * (splitCue[f * 2] + splitCue[f * 2 + 1]);
                }
            }
        }
        if (r && !splitting) r->push(out, frames);
        if (isAir) {
            const uint64_t k = meterCount.load(std::memory_order_relaxed);
            MeterSlot& slot = meter[k % kMeterSlots];
            slot.left.store(peakLeft, std::memory_order_relaxed);
            slot.right.store(peakRight, std::memory_order_relaxed);
            slot.frames.store(frames, std::memory_order_relaxed);
            slot.sounding.store(sounding, std::memory_order_relaxed);
            meterCount.store(k + 1, std::memory_order_release);
        }
        o.seq.fetch_add(1, std::memory_order_release);
        o.periods.fetch_add(1, std::memory_order_relaxed);
        if (underrun) o.underruns.fetch_add(1, std::memory_order_relaxed);
        o.lastMixNanos.store(nowNanos() - t0, std::memory_order_relaxed);
        return sounding || r != nullptr;
    }

    // Waits until no mix of either output that started before this call is still running.
    void quiesce() {
        for (Output* o : {&air, &cue}) {
            const uint64_t s = o->seq.load(std::memory_order_seq_cst);
            if (s & 1) {
                while (o->seq.load(std::memory_order_acquire) == s) std::this_thread::yield();
            }
        }
    }

    // Whether output O is calling the mixer by itself (so that a fade will run to its end).
    static bool outputLive(const Output& o) {
        if (!o.running.load()) return false;
        return nowNanos() - o.lastCallbackNanos.load(std::memory_order_relaxed) <
               std::chrono::duration_cast<std::chrono::nanoseconds>(kFadeWait).count();
    }
    bool outputLive(const Voice& v) { return outputLive(mixerOf(v)); }

    // Waits until DONE(v) holds, as long as an output runs that can bring it about, and never
    // longer than kFadeWait. Whether it holds.
    template <typename Done>
    bool waitFor(const Voice& v, Done done) {
        if (done(v)) return true;
        if (!outputLive(v)) return false;
        const auto deadline = Clock::now() + kFadeWait;
        while (!done(v) && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done(v);
    }

    // Lets a fade, a seek's hold or a jump that is under way finish.
    void waitForFade(Voice& v) {
        waitFor(v, [](const Voice& w) { return !settling(w); });
    }

    // Takes the voice out of play, fading it out first when it sounds, and waits until the
    // mixer keeps off it. A jump the mixer has not taken is taken here, silently.
    void holdVoice(Voice& v) {
        int m = kModePlaying;
        if (outputLive(v)) {
            v.mode.compare_exchange_strong(m, kModeFadeToStop);
            v.holdCut.store(true);
        }
        waitForFade(v);
        v.mode.store(kModeStopped, std::memory_order_seq_cst);
        v.tailBusy.store(false, std::memory_order_seq_cst);
        quiesce();
        settleJump(v);
    }

    // Moves the head of a held voice to a jump the mixer has not taken.
    static void settleJump(Voice& v) {
        const int64_t jump = v.jumpOut.load();
        if (jump < 0) return;
        v.head = jump;
        v.headFrac = 0;
        v.ring.release(jump);
        v.dataEnd.store(kNoLimit);
        v.jumpOut.store(-1);
    }

    // ---- readers and the scan thread --------------------------------------------------------

    void reportReadError(const std::string& text) {
        {
            std::lock_guard l(textMutex);
            lastReadError = text;
        }
        readErrors.fetch_add(1, std::memory_order_release);
    }

    // Where a stream's sound ended while it was read into the ring.
    struct StreamEnd {
        bool reached = false;
        int64_t out = -1;     // ring count after its last frame
        int64_t source = -1;  // source frame there
        std::string error;    // why it ended early ("" at the real end)
    };

    // Reads up to MAXFRAMES frames of the voice's stream into its ring, keeping at most
    // MAXBUFFERED frames in the ring; notes in *END where the sound ended. Caller holds readMutex.
    static int64_t readIntoRing(Voice& v, int64_t maxFrames, int64_t maxBuffered, StreamEnd* end) {
        int64_t total = 0;
        while (total < maxFrames && !v.closing.load(std::memory_order_relaxed)) {
            const int64_t room = maxBuffered - (v.ring.capacity() - v.ring.freeFrames());
            int64_t n = std::min({maxFrames - total, kReadPiece, room});
            if (n <= 0) break;
            float* span = v.ring.writeSpan(&n);
            if (n <= 0) break;
            const int64_t got = v.stream->read(span, n);
            v.ring.commit(got);
            total += got;
            if (v.stream->atEnd()) {
                end->reached = true;
                end->error = v.stream->error();
                end->source = v.stream->sourcePosition();
                end->out = v.ring.writeCount();
                break;
            }
            if (got < n) break;
        }
        return total;
    }

    // Whether the reader has filled the ring as far as it may.
    static bool readerFull(const Voice& v) { return v.ring.freeFrames() <= kJumpReserve; }

    // Marks the voice's sound as ended where END says.
    void publishEnd(Voice& v, const StreamEnd& end) {
        if (!end.error.empty()) {
            v.setError(end.error);
            v.failed.store(true, std::memory_order_release);
            reportReadError(end.error);
        }
        v.eofSource.store(end.source, std::memory_order_release);
        v.eofOut.store(end.out, std::memory_order_release);
    }

    // Adds sound to the voice's ring, at most MAXFRAMES frames, leaving the jump reserve free.
    // Caller holds readMutex.
    bool fill(Voice& v, int64_t maxFrames) {
        if (!v.stream || v.eofOut.load(std::memory_order_relaxed) >= 0) return false;
        StreamEnd end;
        const int64_t total = readIntoRing(v, maxFrames, v.ring.capacity() - kJumpReserve, &end);
        if (end.reached) publishEnd(v, end);
        return total > 0;
    }

    // Moves a voice that plays, or holds after a seek, to source frame FRAME without a gap (see
    // "Jumps" in Voice.h): the new sound is prepared behind the old one, which plays on
    // meanwhile, and the voice is left in kModeSeekHold, stopped at FRAME, its old sound still
    // holding; a play that follows crossfades. A jump not taken yet is replaced. False, having
    // changed nothing, when the voice neither plays nor holds: the caller then restarts it as a
    // stopped voice. Slow as a seek is, but only for this voice. Caller holds commandMutex.
    bool jumpSeamless(Voice& v, int64_t frame) {
        if (!jumpable(v.mode.load())) return false;
        std::vector<SeekPoint> hints;
        std::lock_guard l(v.readMutex);
        if (!v.stream || v.closing.load()) return false;
        if (v.stream->wantsHints()) {
            std::lock_guard ll(v.lengthMutex);
            hints = v.seekPoints;
        }
        v.jumpFrozen.store(true, std::memory_order_seq_cst);
        quiesce();
        // The mixer takes no jump now. One it took a moment ago may still fade its old sound.
        if (v.tailBusy.load() && !waitFor(v, [](const Voice& w) { return !w.tailBusy.load(); })) {
            v.tailBusy.store(false, std::memory_order_seq_cst);
            quiesce();
        }
        if (!jumpable(v.mode.load())) {
            v.jumpFrozen.store(false, std::memory_order_seq_cst);
            return false;
        }
        int64_t cut = v.jumpOut.load();
        if (cut >= 0) {
            // A jump not taken: its sound is dropped, the old sound and its hold go on.
            v.ring.rewindWrite(cut);
        } else {
            // The old sound must last through its hold and fade, or through the crossfade of a
            // play that follows, from where the mixer is now. Where the reader is just behind the
            // play head (right after another jump, a slow disk, a busy machine), more of it is
            // read first: cut short, the old sound would stop dead in the middle of its fade.
            const int rate = v.outRate.load();
            const int64_t need = v.played.load() + holdFrames(rate) + fadeFrames(rate) + rate / 50;
            while (v.eofOut.load() < 0 && v.ring.writeCount() < need) {
                StreamEnd oldEnd;
                const int64_t got =
                    readIntoRing(v, need - v.ring.writeCount(), v.ring.capacity(), &oldEnd);
                if (oldEnd.reached) publishEnd(v, oldEnd);
                if (got <= 0) break;
            }
            cut = v.ring.writeCount();
            v.dataEnd.store(cut, std::memory_order_release);
            // The old sound ends at the cut, or before it where it ended or was to stop.
            int64_t oldEnd = std::min(cut, v.limitOut.load());
            if (const int64_t eof = v.eofOut.load(); eof >= 0) oldEnd = std::min(oldEnd, eof);
            v.jumpTailEnd.store(oldEnd);
            v.jumpGainLeft.store(v.gainLeft.load());
            v.jumpGainRight.store(v.gainRight.load());
            v.holdPos = 0;
        }
        v.holdCut.store(false);
        v.jumpSource.store(frame);
        v.stream->seek(frame, hints);
        StreamEnd end;
        const int64_t prefill =
            std::min<int64_t>(static_cast<int64_t>(kSeekPrefill * v.outRate.load()), kJumpReserve);
        readIntoRing(v, prefill, v.ring.capacity(), &end);

        int expected = kModePlaying;
        v.mode.compare_exchange_strong(expected, kModeSeekHold, std::memory_order_seq_cst);
        // Stopped instead only when the old sound reached its end or limit meanwhile.
        const bool held = v.mode.load() == kModeSeekHold;
        quiesce();
        // The mixer keeps to the old sound's own fields now: the voice's are the new sound's.
        v.failed.store(false);
        v.setError("");
        v.eofOut.store(-1);
        v.eofSource.store(-1);
        if (end.reached) publishEnd(v, end);
        v.limitOut.store(kNoLimit);
        beginPositionWrite(v);
        v.segmentOut.store(cut, std::memory_order_release);
        v.segmentSource.store(frame, std::memory_order_release);
        v.played.store(cut, std::memory_order_release);
        v.stoppedAt.store(frame, std::memory_order_release);
        endPositionWrite(v);
        v.jumpOut.store(cut, std::memory_order_release);
        if (!held) settleJump(v);
        v.jumpFrozen.store(false, std::memory_order_seq_cst);
        return true;
    }

    // Sets where a voice that plays (or is about to) stops: TOFRAME, or its end when negative.
    static void setStopPoint(Voice& v, int64_t toFrame) {
        if (toFrame < 0) {
            v.limitOut.store(kNoLimit, std::memory_order_release);
            return;
        }
        int64_t limit = v.segmentOut.load() + outFramesFor(toFrame - v.segmentSource.load(),
                                                           v.sourceRate, v.outRate.load());
        limit = std::max(limit, v.played.load());
        v.limitSource.store(toFrame);
        v.limitOut.store(limit, std::memory_order_release);
    }

    // How long a reader may sleep: until its ring is half empty at the voice's speed.
    // Counts the sound ahead of the play head, or of a jump not taken yet: the ring may still hold
    // a jump's old sound, which the mixer lets go of only once it has crossfaded from it.
    static std::chrono::microseconds refillDelay(const Voice& v) {
        const int64_t jump = v.jumpOut.load(std::memory_order_acquire);
        const int64_t from =
            jump >= 0 ? jump
                      : std::max(v.ring.readCount(), v.played.load(std::memory_order_acquire));
        const int64_t buffered = v.ring.writeCount() - from;
        const int64_t spare = buffered - v.ring.capacity() / 2;
        const double perSecond = double(v.outRate.load()) * v.speed.load() / 1000.0;
        const double us = spare > 0 && perSecond > 0 ? double(spare) / perSecond * 1e6 : 0.0;
        return std::chrono::microseconds(std::clamp<int64_t>(static_cast<int64_t>(us), 1000, 250000));
    }

    // The reader of one voice: fills the ring while there is room and sleeps until the mixer has
    // used half of it, or until a command wakes it. Ends when the voice is closed.
    void readerLoop(const std::shared_ptr<Voice>& v) {
        while (!v->closing.load()) {
            bool added = false;
            bool ended = false;
            {
                std::lock_guard l(v->readMutex);
                if (v->closing.load()) break;
                added = fill(*v, kFillChunk);
                ended = v->eofOut.load() >= 0;
            }
            // A round that only found the end adds nothing, but a length query waits for it.
            if (added || ended) hub->bump();
            std::unique_lock wl(v->wakeMutex);
            if (v->wakeRequested || v->closing.load()) {
                v->wakeRequested = false;
                continue;
            }
            if (!ended && added && !readerFull(*v)) continue;
            auto woken = [&] { return v->wakeRequested || v->closing.load(); };
            if (ended || !sounding(v->mode.load())) v->wakeCv.wait(wl, woken);
            else v->wakeCv.wait_for(wl, refillDelay(*v), woken);
            v->wakeRequested = false;
        }
    }

    void startReader(std::shared_ptr<Voice> v) {
        {
            std::lock_guard l(hub->mutex);
            ++hub->live;
        }
        std::thread([this, v = std::move(v), hub = hub]() mutable {
            readerLoop(v);
            v.reset();  // the voice (and its file) goes before the engine may
            {
                std::lock_guard l(hub->mutex);
                --hub->live;
            }
            hub->changed.notify_all();
        }).detach();
    }

    // Runs the voice's length scan here; the caller has claimed it (scanState 0 -> 1).
    static void runScan(Voice& v) {
        std::vector<SeekPoint> points;
        int64_t length = -1;
        if (!v.closing.load() && v.scan) length = v.scan(&points);
        {
            std::lock_guard l(v.lengthMutex);
            v.seekPoints = std::move(points);
            v.lengthFrames.store(length, std::memory_order_release);
            v.lengthDone.store(true, std::memory_order_release);
        }
        v.scanState.store(2);
        v.lengthReady.notify_all();
    }

    void scanLoop() {
        // Length scans are background work: they yield to the command and reader threads.
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
        for (;;) {
            std::shared_ptr<Voice> v;
            {
                std::unique_lock l(scanMutex);
                scanCv.wait(l, [this] {
                    return (!scanQueue.empty() && !scansHeld) || !running.load();
                });
                if (!running.load()) return;
                v = std::move(scanQueue.front());
                scanQueue.pop_front();
            }
            int expected = 0;
            if (v->scanState.compare_exchange_strong(expected, 1)) runScan(*v);
        }
    }

    // The exact length once known; with WAIT, counts it now if no scan has started (so a
    // waiting command never queues behind other voices' scans) or waits for the running one.
    int64_t knownLength(Voice& v, bool wait) {
        if (wait && !v.lengthDone.load(std::memory_order_acquire)) {
            int expected = 0;
            if (v.scanState.compare_exchange_strong(expected, 1)) {
                runScan(v);
            } else {
                std::unique_lock l(v.lengthMutex);
                v.lengthReady.wait(l, [&] { return v.lengthDone.load(); });
            }
        }
        if (wait) awaitShortEnd(v);
        return knownLengthNow(v);
    }

    // A short sound (up to about twice what the ring holds) is read to its end, or until the
    // ring is full, within moments of its open: its length is reported once that is done, so
    // that a cut or damaged file, whose header or scan promised more, reports what really plays.
    // The wait lasts as long as the voice's reader gets on, however slowly (a busy machine must
    // not change the answer); only a reader that makes no headway for kShortEndStall (a medium
    // that hangs) ends it early, with the length as stated or counted.
    void awaitShortEnd(Voice& v) {
        const int64_t length = v.lengthFrames.load();
        if (length < 0 || v.eofOut.load() >= 0 || v.closing.load()) return;
        if (outFramesFor(length, v.sourceRate, v.outRate.load()) > 2 * v.ring.capacity()) return;
        // Only while nothing has been played or skipped: then the ring holds the sound from 0.
        const PositionFields p = readPosition(v);
        if (p.segmentSource != 0 || p.played != p.segmentOut) return;
        v.wake();
        auto done = [&] { return v.eofOut.load() >= 0 || readerFull(v) || v.closing.load(); };
        std::unique_lock l(hub->mutex);
        int64_t written = v.ring.publishedWrite();
        auto progressAt = Clock::now();
        while (!hub->changed.wait_for(l, kShortEndLook, done)) {
            const int64_t now = v.ring.publishedWrite();
            if (now != written) {
                written = now;
                progressAt = Clock::now();
            } else if (Clock::now() - progressAt >= kShortEndStall) {
                return;
            }
        }
    }

    // ---- voices -----------------------------------------------------------------------------

    std::shared_ptr<Voice> get(VoiceId id) const {
        if (id < 0 || id >= kMaxVoices) return nullptr;
        std::lock_guard l(tableMutex);
        return voices[static_cast<size_t>(id)];
    }

    std::vector<std::shared_ptr<Voice>> allVoices() const {
        std::vector<std::shared_ptr<Voice>> all;
        std::lock_guard l(tableMutex);
        for (auto& v : voices)
            if (v) all.push_back(v);
        return all;
    }

    // The source frame under the play head when it is known exactly, else -1. Only while the
    // voice is held.
    static int64_t exactHead(Voice& v) {
        const int64_t seg = v.segmentOut.load();
        const int64_t src = v.segmentSource.load();
        if (v.headFrac != 0) return -1;
        if (v.sourceRate == v.outRate.load() || v.head == seg) return src + (v.head - seg);
        return -1;
    }

    // Restarts reading at source frame FRAME; the voice must be held. Slow: may decode from the
    // start, and waits for a read of this voice that is under way.
    void restart(Voice& v, int64_t frame, double prefillSeconds) {
        std::vector<SeekPoint> hints;
        std::lock_guard l(v.readMutex);
        if (!v.stream) return;
        if (v.stream->wantsHints()) {
            std::lock_guard ll(v.lengthMutex);
            hints = v.seekPoints;
        }
        v.stream->seek(frame, hints);
        v.ring.discardAll();
        const int64_t seg = v.ring.writeCount();
        beginPositionWrite(v);
        v.segmentOut.store(seg, std::memory_order_release);
        v.segmentSource.store(frame, std::memory_order_release);
        v.played.store(seg, std::memory_order_release);
        v.stoppedAt.store(-1, std::memory_order_release);
        endPositionWrite(v);
        v.head = seg;
        v.headFrac = 0;
        v.dataEnd.store(kNoLimit);
        v.jumpOut.store(-1);
        v.eofOut.store(-1);
        v.eofSource.store(-1);
        v.failed.store(false);
        v.setError("");
        v.limitOut.store(kNoLimit);
        fill(v, static_cast<int64_t>(prefillSeconds * v.outRate.load()));
    }

    // Prepares the first moments of V's sound, enters it in the table and starts its reader.
    VoiceId addVoice(const std::shared_ptr<Voice>& v, bool queueScan, std::string* error) {
        {
            std::lock_guard rl(v->readMutex);
            fill(*v, static_cast<int64_t>(kOpenPrefill * v->outRate.load()));
        }
        auto probe = std::make_shared<Probe>(v);
        {
            std::lock_guard tl(tableMutex);
            int id = 0;
            while (id < kMaxVoices && voices[static_cast<size_t>(id)]) ++id;
            if (id == kMaxVoices) {
                if (error) *error = "too many open files";
                return -1;
            }
            v->id = id;
            voices[static_cast<size_t>(id)] = v;
            probes[static_cast<size_t>(id)] = probe;
            slots[id].store(v.get(), std::memory_order_release);
            if (id >= slotCount.load()) slotCount.store(id + 1);
        }
        startReader(v);
        if (queueScan) {
            {
                std::lock_guard sl(scanMutex);
                scanQueue.push_back(v);
            }
            scanCv.notify_one();
        }
        return v->id;
    }

    void closeVoice(VoiceId id) {
        std::shared_ptr<Voice> v = get(id);
        if (!v) return;
        std::lock_guard cl(v->commandMutex);
        if (v->closing.load()) return;
        // Fade out while the voice is still mixed, then take it out of the table.
        int m = kModePlaying;
        if (outputLive(*v)) {
            v->mode.compare_exchange_strong(m, kModeFadeToStop);
            v->holdCut.store(true);
        }
        waitForFade(*v);
        {
            std::lock_guard l(tableMutex);
            if (voices[static_cast<size_t>(id)] == v) {
                voices[static_cast<size_t>(id)].reset();
                probes[static_cast<size_t>(id)].reset();
                slots[id].store(nullptr, std::memory_order_seq_cst);
                int top = slotCount.load();
                while (top > 0 && !voices[static_cast<size_t>(top - 1)]) --top;
                slotCount.store(top);
            }
        }
        v->mode.store(kModeStopped, std::memory_order_seq_cst);
        quiesce();
        v->closing.store(true);
        v->wake();
        {
            std::lock_guard l(v->lengthMutex);
            v->lengthDone.store(true);
        }
        v->lengthReady.notify_all();
    }

    // Renders a held voice at RATE from where it stands; it is left stopped there, its stop
    // point kept.
    void moveToRate(Voice& v, int rate) {
        const int64_t pos = positionFrames(v);
        const int64_t limitSource = v.limitSource.load();
        const bool limited = v.limitOut.load() != kNoLimit;
        {
            std::lock_guard l(v.readMutex);
            if (v.stream) v.stream->setOutRate(rate);
            beginPositionWrite(v);
            v.outRate.store(rate, std::memory_order_release);
            endPositionWrite(v);
        }
        restart(v, pos, kSeekPrefill);
        if (limited) {
            v.limitSource.store(limitSource);
            v.limitOut.store(v.segmentOut.load() +
                             outFramesFor(limitSource - pos, v.sourceRate, rate));
        }
    }

    // Renders every voice of output O at its new rate from where it stands. Holds rateMutex
    // exclusively.
    void changeOutRate(Output& o, int rate) {
        for (auto& v : allVoices()) {
            std::lock_guard cl(v->commandMutex);
            if (v->closing.load() || &mixerOf(*v) != &o) continue;
            const int wasMode = v->mode.load();
            holdVoice(*v);
            moveToRate(*v, rate);
            const VoiceMode was = publicMode(wasMode);
            if (was != VoiceMode::Stopped) {
                v->mode.store(was == VoiceMode::Playing ? kModePlaying : kModePaused);
                v->wake();
                wakeOutput();
            }
        }
    }

    // ---- the output watch ---------------------------------------------------------------------

    void kickWatch() {
        {
            std::lock_guard l(watchMutex);
            ++watchKicks;
        }
        watchCv.notify_all();
    }

    // Something may sound from now on: wakes a sleeping output, and the watch with it.
    void wakeOutput() {
        air.events.wakeOutput();
        cue.events.wakeOutput();
        kickWatch();
    }

    // A running output that has not called back for kStallAfter; one asleep because nothing
    // sounds is not stalled.
    static bool outputStalled(const Output& o) {
        return o.running.load() && !o.events.asleep.load() &&
               nowNanos() - o.lastCallbackNanos.load() >
                   std::chrono::duration_cast<std::chrono::nanoseconds>(kStallAfter).count();
    }

    // Whether the watch has an output to look at: one that runs by itself and is awake.
    bool watchWanted(const Output& o, bool kicked) const {
        return o.running.load() && (!o.events.asleep.load() || kicked);
    }

    // Looks at the outputs every kWatchEvery while one runs by itself and is awake; sleeps for
    // good otherwise (the manual backend of tests, after shutdown, the silent output asleep)
    // until an output starts or is woken.
    void watchLoop() {
        std::unique_lock l(watchMutex);
        uint64_t kicksSeen = 0;
        for (;;) {
            watchCv.wait(l, [&] {
                const bool kicked = watchKicks != kicksSeen;
                return watchEnd || watchWanted(air, kicked) || watchWanted(cue, kicked);
            });
            kicksSeen = watchKicks;
            if (watchEnd) return;
            if (watchCv.wait_for(l, kWatchEvery, [this] { return watchEnd; })) return;
            l.unlock();
            checkOutput(air);
            checkOutput(cue);
            l.lock();
        }
    }

    // An output that stalled (counted once per stall) or ended by itself has stopped. A device
    // that stopped is given up; a stall of our own paced output is only counted.
    void checkOutput(Output& o) {
        const uint64_t generation = o.generation.load();
        const uint64_t finished = o.events.finished.load();
        const bool ended = finished != o.finishedSeen;
        o.finishedSeen = finished;
        const bool stall = outputStalled(o);
        const bool newStall = !o.stalled.exchange(stall) && stall;
        if (!ended && !newStall) return;
        if (!giveUpDevice(o, generation)) o.deviceStops.fetch_add(1);
    }

    // Gives up an output device that stopped, unless another output was started meanwhile: what
    // was playing through it is paused where its sound stopped (the mixer no longer ran, so that
    // is where the listeners lost it), and the silent output takes over, so that commands and new
    // plays go on as with no sound device. True when it did (and counted the stop).
    bool giveUpDevice(Output& o, uint64_t generation) {
        std::lock_guard l(backendMutex);
        if (generation != o.generation.load() || !o.backend || !o.backend->isDevice()) return false;
        for (auto& v : allVoices()) {
            std::lock_guard cl(v->commandMutex);
            if (&mixerOf(*v) != &o) continue;
            int m = kModePlaying;
            if (v->mode.compare_exchange_strong(m, kModePaused)) continue;
            m = kModeFadeToPause;
            if (v->mode.compare_exchange_strong(m, kModePaused)) continue;
            m = kModeFadeToStop;
            if (v->mode.compare_exchange_strong(m, kModeStopped)) continue;
            m = kModeSeekHold;
            v->mode.compare_exchange_strong(m, kModeStopped);
        }
        // Counted before the switch, which may wait for the dead device a moment.
        o.devicesGivenUp.fetch_add(1);
        o.deviceStops.fetch_add(1);
        startBackendLocked(o, "null", nullptr);
        return true;
    }

    // ---- recording (backendMutex held) -------------------------------------------------------

    bool startRecordingLocked(const std::string& path, int index, std::string* error) {
        stopRecordingLocked();
        auto r = std::make_unique<Recorder>(&air.events);
        r->setMaxDataBytes(recordingLimit);
        if (!r->start(path, air.rate.load(), error, index)) return false;
        recorder.store(r.get(), std::memory_order_release);
        recorderOwner = std::move(r);
        wakeOutput();  // the recording hears every period, silent ones too
        return true;
    }

    void stopRecordingLocked() {
        if (!recorderOwner) return;
        recorder.store(nullptr, std::memory_order_seq_cst);
        quiesce();
        recorderOwner->stop();
        recorderOwner.reset();
    }

    // ---- backend ----------------------------------------------------------------------------

    static void stopBackend(Output& o) {
        o.running.store(false);
        if (o.backend) {
            o.backend->stop();
            o.backend.reset();
        }
    }

    // Starts output O on WANTED; on failure the silent output takes its place and the reason is
    // kept as the output's message. The cue asks a device for the air's rate first.
    bool startBackendLocked(Output& o, const std::string& wanted, std::string* messageOut) {
        stopBackend(o);
        std::string why;
        std::string used = wanted;
        const int preferred = o.bus == kBusCue ? air.rate.load() : 0;
        std::unique_ptr<Backend> b =
            makeBackend(wanted, &Impl::mixTrampoline, &o, &o.events, &why, preferred);
        o.lastCallbackNanos.store(nowNanos());
        o.generation.fetch_add(1);
        o.stalled.store(false);
        bool ok = b && b->start(&why);
        if (!ok) {
            b = makeBackend("null", &Impl::mixTrampoline, &o, &o.events, nullptr, preferred);
            b->start(nullptr);
            used = "null";
            why += o.bus == kBusCue ? "; pre-listens are silent" : "; sound is off";
        }
        const int oldRate = o.rate.load();
        {
            std::unique_lock rl(rateMutex);
            o.rate.store(b->sampleRate());
            if (o.rate.load() != oldRate) changeOutRate(o, o.rate.load());
        }
        if (o.bus == kBusAir && recorderOwner && o.rate.load() != oldRate) {
            // A WAV file has one rate: the recording goes on in its next file.
            const std::string path = recorderOwner->path();
            const int index = recorderOwner->index() + 1;
            std::string error;
            if (!startRecordingLocked(path, index, &error)) o.events.noteWriteError(error);
        }
        o.periodFrames.store(b->framesPerPeriod());
        o.manual.store(b->isManual());
        o.backend = std::move(b);
        // The stall watch counts from here: a device may take a while to start calling back.
        o.lastCallbackNanos.store(nowNanos());
        o.running.store(!o.manual.load());
        kickWatch();
        o.spec = used;
        {
            std::lock_guard l(textMutex);
            o.message = ok ? std::string() : why;
        }
        if (o.bus == kBusAir) {
            if (split.load()) cue.rate.store(o.rate.load());
            started.store(true);
        }
        if (messageOut) *messageOut = ok ? std::string() : why;
        return ok;
    }

    // Sets the cue output: SPEC as for the air, "split", or "" for none. Voices on the cue bus
    // go back to the air bus, stopped, when the cue goes.
    bool startCueLocked(const std::string& spec, std::string* messageOut) {
        cueChosen = true;
        if (spec.empty() || spec == "split") {
            stopBackend(cue);
            if (spec.empty()) {
                std::shared_lock rl(rateMutex);
                for (auto& v : allVoices()) {
                    if (v->bus.load() != kBusCue) continue;
                    std::lock_guard cl(v->commandMutex);
                    holdVoice(*v);
                    v->bus.store(kBusAir);
                    quiesce();
                    if (v->outRate.load() != air.rate.load()) moveToRate(*v, air.rate.load());
                }
            }
            split.store(!spec.empty());
            cue.spec = spec;
            cue.rate.store(air.rate.load());
            {
                std::lock_guard l(textMutex);
                cue.message.clear();
            }
            if (messageOut) messageOut->clear();
            return true;
        }
        // Cue voices move to the new stream: stopped first, like a rate change does.
        split.store(false);
        return startBackendLocked(cue, spec, messageOut);
    }

    void ensureBackend() {
        if (started.load()) return;
        std::lock_guard l(backendMutex);
        if (started.load()) return;
        const char* env = std::getenv("BRISKO_AUDIO");
        startBackendLocked(air, env && *env ? env : "portaudio", nullptr);
        const char* cueEnv = std::getenv("BRISKO_CUE");
        if (!cueChosen && cueEnv && *cueEnv) startCueLocked(cueEnv, nullptr);
    }

    // Waits (outside the mixer) until each sounding voice of output O has the sound for FRAMES
    // more output frames, or has all of its sound read.
    void waitForData(Output& o, int frames) {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        for (;;) {
            uint64_t seen;
            {
                std::lock_guard l(hub->mutex);
                seen = hub->rounds;
            }
            bool ready = true;
            // Counts as a mix for quiesce(): a voice closed meanwhile is not freed under us.
            o.seq.fetch_add(1, std::memory_order_seq_cst);
            const int count = slotCount.load();
            for (int s = 0; s < count; ++s) {
                Voice* v = slots[s].load();
                // A held voice plays what the ring holds already.
                if (!v || &mixerOf(*v) != &o) continue;
                if (!sounding(v->mode.load()) || v->mode.load() == kModeSeekHold) continue;
                if (v->eofOut.load() >= 0) continue;
                const int64_t jump = v->jumpOut.load();
                const int64_t head = jump >= 0 ? jump : v->head;
                const uint32_t frac = jump >= 0 ? 0 : v->headFrac;
                const uint64_t advance = (uint64_t(frac) + v->step.load() * uint64_t(frames)) >> 32;
                const int64_t need =
                    std::min<int64_t>(head + static_cast<int64_t>(advance) + 2, v->limitOut.load());
                if (v->ring.publishedWrite() < need) {
                    ready = false;
                    v->wake();
                }
            }
            o.seq.fetch_add(1, std::memory_order_release);
            if (ready || Clock::now() > deadline) return;
            std::unique_lock l(hub->mutex);
            hub->changed.wait_for(l, std::chrono::milliseconds(20), [&] { return hub->rounds != seen; });
        }
    }

    // Manual output O only: mixes FRAMES frames as its callback would, once the sound is ready.
    void renderManual(Output& o, float* out, int frames) {
        ensureBackend();
        if (!o.manual.load()) {
            std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(std::max(frames, 0)));
            return;
        }
        for (int off = 0; off < frames; off += kMixBlock) {
            const int n = std::min(kMixBlock, frames - off);
            waitForData(o, n);
            mixPeriod(o, out + off * 2, n);
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
    std::lock_guard l(impl_->backendMutex);
    return impl_->startBackendLocked(impl_->air, spec, message);
}

std::string Engine::backendSpec() const {
    impl_->ensureBackend();
    std::lock_guard l(impl_->backendMutex);
    return impl_->air.spec;
}

std::string Engine::backendMessage() const {
    impl_->ensureBackend();
    std::lock_guard l(impl_->textMutex);
    return impl_->air.message;
}

std::vector<std::string> Engine::listDevices() { return portAudioDevices(); }

void Engine::shutdown() {
    std::lock_guard l(impl_->backendMutex);
    Impl::stopBackend(impl_->air);
    Impl::stopBackend(impl_->cue);
    impl_->stopRecordingLocked();
    // No backend starts by itself after this; startBackend() still can.
    impl_->started.store(true);
    impl_->cueChosen = true;
    impl_->split.store(false);
    for (Impl::Output* o : {&impl_->air, &impl_->cue}) {
        o->manual.store(false);
        o->spec.clear();
    }
    for (int id = 0; id < kMaxVoices; ++id) impl_->closeVoice(id);
}

bool Engine::startRecording(const std::string& path, std::string* error) {
    impl_->ensureBackend();
    std::lock_guard l(impl_->backendMutex);
    return impl_->startRecordingLocked(path, 1, error);
}

void Engine::stopRecording() {
    std::lock_guard l(impl_->backendMutex);
    impl_->stopRecordingLocked();
}

std::vector<std::string> Engine::recordingFiles() const {
    std::lock_guard l(impl_->backendMutex);
    return impl_->recorderOwner ? impl_->recorderOwner->files() : std::vector<std::string>();
}

void Engine::setRecordingFileLimit(int64_t bytes) {
    std::lock_guard l(impl_->backendMutex);
    impl_->recordingLimit = bytes > 0 ? bytes : WavFileWriter::kMaxDataBytes;
}

VoiceId Engine::open(const std::string& path, std::string* error) {
    impl_->ensureBackend();
    std::shared_lock rl(impl_->rateMutex);
    auto file = SourceFile::open(path, error);
    if (!file) return -1;
    const int outRate = impl_->air.rate.load();
    auto decoder = Decoder::open(file, outRate, error);
    if (!decoder) return -1;
    auto v = std::make_shared<Voice>(kRingFrames);
    v->sourceRate = decoder->sourceRate();
    v->outRate.store(outRate);
    const int stream = decoder->streamIndex();
    const bool plainMp3 = decoder->isPlainMp3();
    const int64_t stated = decoder->statedLength();
    v->estimatedFrames = decoder->estimatedLength();
    Impl* impl = impl_.get();
    v->scan = [file, stream, plainMp3, impl](std::vector<SeekPoint>* points) -> int64_t {
        const uint64_t errors = file->readErrors();
        const int64_t length = scanExactLength(file, stream, plainMp3, points);
        if (file->readErrors() != errors) {
            // A count cut short by a failing read is no length.
            impl->reportReadError("cannot count the length of " + file->path() + ": " +
                                  std::strerror(file->lastReadErrno()));
            return -1;
        }
        return length;
    };
    v->stream = makeFileStream(std::move(file), std::move(decoder), outRate);
    if (stated >= 0) {
        // The container states the exact length: known now, nothing to scan.
        v->lengthFrames.store(stated);
        v->lengthDone.store(true);
        v->scanState.store(2);
    }
    return impl_->addVoice(v, stated < 0, error);
}

VoiceId Engine::openSource(std::unique_ptr<PcmSource> source, std::string* error) {
    impl_->ensureBackend();
    std::shared_lock rl(impl_->rateMutex);
    if (!source) {
        if (error) *error = "no source";
        return -1;
    }
    const int rate = source->sampleRate();
    const int64_t length = source->lengthFrames();
    const int outRate = impl_->air.rate.load();
    auto stream = makePcmStream(std::move(source), outRate, error);
    if (!stream) return -1;
    auto v = std::make_shared<Voice>(kRingFrames);
    v->sourceRate = rate;
    v->outRate.store(outRate);
    v->stream = std::move(stream);
    v->lengthFrames.store(length);
    v->lengthDone.store(true);
    v->scanState.store(2);
    return impl_->addVoice(v, false, error);
}

void Engine::holdLengthScans(bool hold) {
    {
        std::lock_guard l(impl_->scanMutex);
        impl_->scansHeld = hold;
    }
    impl_->scanCv.notify_all();
}

void Engine::close(VoiceId voice) { impl_->closeVoice(voice); }

void Engine::closeAll() {
    for (auto& v : impl_->allVoices()) impl_->closeVoice(v->id);
}

bool Engine::isOpen(VoiceId voice) const { return impl_->get(voice) != nullptr; }

int64_t Engine::lengthFrames(VoiceId voice) {
    auto v = impl_->get(voice);
    return v ? impl_->knownLength(*v, true) : -1;
}

int64_t Engine::lengthMs(VoiceId voice) {
    auto v = impl_->get(voice);
    if (!v) return -1;
    const int64_t frames = impl_->knownLength(*v, true);
    return frames < 0 ? -1 : msForFrames(frames, v->sourceRate);
}

int64_t Engine::lengthMsNow(VoiceId voice, bool* exact) const {
    *exact = false;
    auto v = impl_->get(voice);
    if (!v) return -1;
    if (v->lengthDone.load(std::memory_order_acquire)) {
        *exact = true;
        const int64_t frames = knownLengthNow(*v);
        return frames < 0 ? -1 : msForFrames(frames, v->sourceRate);
    }
    return v->estimatedFrames < 0 ? -1 : msForFrames(v->estimatedFrames, v->sourceRate);
}

int Engine::sourceRate(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->sourceRate : 0;
}

int64_t Engine::positionMs(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? msForFrames(positionFrames(*v), v->sourceRate) : -1;
}

VoiceMode Engine::mode(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? publicMode(v->mode.load()) : VoiceMode::Stopped;
}

std::shared_ptr<const VoiceProbe> Engine::probe(VoiceId voice) const {
    if (voice < 0 || voice >= kMaxVoices) return nullptr;
    std::lock_guard l(impl_->tableMutex);
    return impl_->probes[static_cast<size_t>(voice)];
}

bool Engine::play(VoiceId voice, int64_t fromMs, int64_t toMs, std::string* error) {
    auto v = impl_->get(voice);
    auto fail = [&](const char* why) {
        if (error) *error = why;
        return false;
    };
    if (!v) return fail("the voice is not open");
    std::lock_guard cl(v->commandMutex);
    if (v->closing.load()) return fail("the voice is not open");
    const int rate = v->sourceRate;
    // Checked against the length only once the scan has it: play() never waits for it. A
    // "to" past the real end then simply ends at the end.
    const int64_t length = knownLengthNow(*v);
    const int64_t fromFrame = fromMs >= 0 ? framesForMs(fromMs, rate) : positionFrames(*v);
    const int64_t toFrame = toMs >= 0 ? framesForMs(toMs, rate) : -1;
    if (length >= 0 && (fromFrame > length || toFrame > length)) return fail("the position is out of range");
    if (toFrame >= 0 && toFrame < fromFrame) return fail("the position is out of range");

    const int mode = v->mode.load();
    if (fromMs < 0 && mode == kModePlaying) {
        // Already playing: the sound goes on untouched; only where it stops may change.
        Impl::setStopPoint(*v, toFrame);
        return true;
    }
    // A voice seeked while playing whose old sound still holds, or a playing voice moved now:
    // the mixer crossfades from the old sound to the new.
    bool held = mode == kModeSeekHold && (fromMs < 0 || fromFrame == v->jumpSource.load());
    if (fromMs >= 0 && !held) held = impl_->jumpSeamless(*v, fromFrame);
    if (held && v->mode.load() == kModeSeekHold) {
        Impl::setStopPoint(*v, toFrame);
        beginPositionWrite(*v);
        v->stoppedAt.store(-1, std::memory_order_release);
        endPositionWrite(*v);
        int expected = kModeSeekHold;
        if (v->mode.compare_exchange_strong(expected, kModePlaying, std::memory_order_seq_cst)) {
            v->wake();
            impl_->wakeOutput();
            return true;
        }
    }

    impl_->holdVoice(*v);
    if (fromMs >= 0) {
        if (Impl::exactHead(*v) != fromFrame) impl_->restart(*v, fromFrame, kSeekPrefill);
    } else if (v->stoppedAt.load() >= 0 && Impl::exactHead(*v) < 0) {
        // Stopped by itself at a point the ring does not hold exactly: continue from there.
        impl_->restart(*v, v->stoppedAt.load(), kSeekPrefill);
    } else if (v->failed.load() && v->eofOut.load() >= 0 && v->head >= v->eofOut.load()) {
        // Ended by a read error: try the medium again from where the sound stopped.
        impl_->restart(*v, positionFrames(*v), kSeekPrefill);
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
    beginPositionWrite(*v);
    v->stoppedAt.store(-1, std::memory_order_release);
    endPositionWrite(*v);
    v->curGainLeft = v->gainLeft.load();
    v->curGainRight = v->gainRight.load();
    // A start from inside the sound fades in; a start from frame 0 keeps its first sample.
    const int64_t startFrame = fromMs >= 0 ? fromFrame : positionFrames(*v);
    v->fadeOutPos = -1;
    v->rampInPos = 0;
    v->rampInLength = startFrame > 0 ? fadeFrames(v->outRate.load()) : 0;
    v->rampRaised = false;
    v->mode.store(kModePlaying, std::memory_order_release);
    v->wake();
    impl_->wakeOutput();
    return true;
}

void Engine::pause(VoiceId voice) {
    if (auto v = impl_->get(voice)) {
        std::lock_guard cl(v->commandMutex);
        int expected = kModePlaying;
        v->mode.compare_exchange_strong(expected, kModeFadeToPause);
    }
}

void Engine::resume(VoiceId voice) {
    auto v = impl_->get(voice);
    if (!v) return;
    std::lock_guard cl(v->commandMutex);
    if (v->mode.load() == kModeFadeToPause) {
        impl_->waitForFade(*v);
        int expected = kModeFadeToPause;
        v->mode.compare_exchange_strong(expected, kModePaused);
        impl_->quiesce();
    }
    if (v->mode.load() != kModePaused) return;
    if (v->jumpOut.load() >= 0) {
        // A jump left untaken when the output was given up: taken now, silently.
        impl_->quiesce();
        Impl::settleJump(*v);
    }
    v->fadeOutPos = -1;
    v->rampInPos = 0;
    v->rampInLength = fadeFrames(v->outRate.load());
    v->rampRaised = false;
    v->mode.store(kModePlaying, std::memory_order_release);
    v->wake();
    impl_->wakeOutput();
}

void Engine::stop(VoiceId voice) {
    if (auto v = impl_->get(voice)) {
        std::lock_guard cl(v->commandMutex);
        int m = v->mode.load();
        if (m == kModePlaying || m == kModeFadeToPause) {
            if (!v->mode.compare_exchange_strong(m, kModeFadeToStop)) v->mode.store(kModeStopped);
        } else if (m == kModePaused) {
            v->mode.store(kModeStopped);
        } else if (m == kModeSeekHold) {
            v->holdCut.store(true);  // stopped already: its old sound fades out now
        }
    }
}

bool Engine::seek(VoiceId voice, int64_t ms, std::string* error) {
    auto v = impl_->get(voice);
    if (!v) {
        if (error) *error = "the voice is not open";
        return false;
    }
    if (ms < 0) {
        if (error) *error = "the position is out of range";
        return false;
    }
    std::lock_guard cl(v->commandMutex);
    int64_t frame = framesForMs(ms, v->sourceRate);
    const int64_t length = impl_->knownLength(*v, true);
    if (length >= 0 && frame > length) frame = length;
    if (impl_->jumpSeamless(*v, frame)) {
        v->wake();
        return true;
    }
    impl_->holdVoice(*v);
    impl_->restart(*v, frame, kSeekPrefill);
    v->wake();
    return true;
}

void Engine::setVolume(VoiceId voice, int left, int right) {
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
    if (auto v = impl_->get(voice)) {
        speed = std::clamp(speed, kMinSpeed, kMaxSpeed);
        v->speed.store(speed);
        v->step.store((uint64_t(speed) << 32) / 1000);
        v->wake();
    }
}

int Engine::speed(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->speed.load() : -1;
}

EngineStats Engine::stats() const {
    impl_->ensureBackend();
    const Impl::Output& air = impl_->air;
    EngineStats s;
    s.underruns = air.underruns.load();
    s.periodsMixed = air.periods.load();
    s.sampleRate = air.rate.load();
    s.framesPerPeriod = air.periodFrames.load();
    s.lastMixNanos = air.lastMixNanos.load();
    std::lock_guard l(impl_->tableMutex);
    for (auto& v : impl_->voices)
        if (v) ++s.openVoices;
    return s;
}

EngineHealth Engine::health() const {
    Impl& i = *impl_;
    EngineHealth h;
    h.underruns = i.air.underruns.load();
    h.deviceUnderflows = i.air.events.underflows.load();
    h.deviceOverflows = i.air.events.overflows.load();
    // Stops and losses as the output watch counted them (given up first, so never behind).
    h.deviceStops = i.air.deviceStops.load();
    h.devicesGivenUp = i.air.devicesGivenUp.load();
    h.deviceStalled = Impl::outputStalled(i.air);
    h.readErrors = i.readErrors.load(std::memory_order_acquire);
    h.recorderErrors = i.air.events.writeErrors.load(std::memory_order_acquire);
    h.lastRecorderError = i.air.events.lastWriteError();
    h.cueDeviceStops = i.cue.deviceStops.load();
    h.cueDevicesGivenUp = i.cue.devicesGivenUp.load();
    h.cueDeviceStalled = Impl::outputStalled(i.cue);
    h.cueUnderruns = i.cue.underruns.load();
    std::lock_guard l(i.textMutex);
    h.lastReadError = i.lastReadError;
    h.backendMessage = i.air.message;
    h.cueBackendMessage = i.cue.message;
    return h;
}

std::string Engine::voiceError(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->errorText() : std::string();
}

uint64_t Engine::voiceUnderruns(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v ? v->underruns.load() : 0;
}

void Engine::renderManual(float* out, int frames) { impl_->renderManual(impl_->air, out, frames); }

void Engine::renderCueManual(float* out, int frames) { impl_->renderManual(impl_->cue, out, frames); }

bool Engine::startCueOutput(const std::string& spec, std::string* message) {
    impl_->ensureBackend();
    std::lock_guard l(impl_->backendMutex);
    return impl_->startCueLocked(spec, message);
}

bool Engine::hasCueOutput() const {
    impl_->ensureBackend();
    std::lock_guard l(impl_->backendMutex);
    return !impl_->cue.spec.empty();
}

std::string Engine::cueSpec() const {
    impl_->ensureBackend();
    std::lock_guard l(impl_->backendMutex);
    return impl_->cue.spec;
}

bool Engine::setBus(VoiceId voice, Bus bus) {
    const int wanted = bus == Bus::Cue ? kBusCue : kBusAir;
    if (wanted == kBusCue && !hasCueOutput()) return false;
    auto v = impl_->get(voice);
    if (!v) return false;
    // The rate lock first, as a rate change takes it before the voices' command locks.
    std::shared_lock rl(impl_->rateMutex);
    std::lock_guard cl(v->commandMutex);
    if (v->closing.load()) return false;
    if (v->bus.load() == wanted) return true;
    impl_->holdVoice(*v);
    v->bus.store(wanted);
    impl_->quiesce();
    const int rate = impl_->mixerOf(*v).rate.load();
    if (v->outRate.load() != rate) impl_->moveToRate(*v, rate);
    return true;
}

Bus Engine::bus(VoiceId voice) const {
    auto v = impl_->get(voice);
    return v && v->bus.load() == kBusCue ? Bus::Cue : Bus::Air;
}

void Engine::airPeaks(uint64_t* cursor, std::vector<MixPeak>* out) const {
    const uint64_t count = impl_->meterCount.load(std::memory_order_acquire);
    uint64_t from = *cursor;
    if (count - from > uint64_t(Impl::kMeterSlots)) from = count - Impl::kMeterSlots;
    for (uint64_t k = from; k < count; ++k) {
        const Impl::MeterSlot& slot = impl_->meter[k % Impl::kMeterSlots];
        out->push_back({slot.left.load(std::memory_order_relaxed), slot.right.load(std::memory_order_relaxed),
                        slot.frames.load(std::memory_order_relaxed),
                        slot.sounding.load(std::memory_order_relaxed)});
    }
    *cursor = count;
}

float Engine::gainForVolume(int volume) {
    // A cubic taper: about 60 dB of range, close to how loudness is heard.
    if (volume <= 0) return 0.0f;
    if (volume >= 1000) return 1.0f;
    const double x = volume / 1000.0;
    return static_cast<float>(x * x * x);
}

}  // namespace brisko::audio
