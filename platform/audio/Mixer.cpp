// The mixer: reads each sounding voice's ring at its speed (linear interpolation between frames
// when the play head has a fraction), applies a gain ramped over the period and the short fades
// of a start or a stop, and stops voices at their limit or at the end of their sound.
#include "platform/audio/Mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/audio/Engine.h"
#include "platform/audio/Voice.h"

namespace brisko::audio {

namespace {
constexpr uint64_t kUnitStep = uint64_t(1) << 32;

// Where the mixer stands in a voice during one period.
struct Cursor {
    int64_t head;
    uint32_t frac;
    float gl, gr;  // gain now, per side
    float dl, dr;  // gain change per frame
    int64_t end;      // ring count where the sound stops (limit or end of stream)
    int64_t written;  // ring count the reader has published
    int64_t eof;
    int64_t limit;
    uint64_t step;

    // Moves the gains from where the voice left them to the targets across FRAMES frames.
    void rampGains(const Voice& v, float left, float right, int frames) {
        gl = v.curGainLeft;
        gr = v.curGainRight;
        dl = (left - gl) / static_cast<float>(frames);
        dr = (right - gr) / static_cast<float>(frames);
    }
};

// The level of an envelope at progress P (0..1): P itself for the fades of a start or a stop, a
// raised cosine for the crossfade of a jump. Two raised cosines that cross sum to 1, and the
// crossfade's slope is 0 at both ends, so a crossfade between two takes of a tone above 100 Hz
// never steps further from one sample to the next than the tone itself does.
template <bool Raised>
inline float shaped(float p) {
    if constexpr (Raised) return 0.5f - 0.5f * std::cos(3.14159265f * p);
    return p;
}

// Adds up to FRAMES frames into OUT under an envelope whose progress starts at ENV and changes by
// DENV per frame. Returns the frames mixed; sets *STARVED when the ring ran dry before the end.
template <bool Raised = false>
int mixSpan(const Voice& v, Cursor& c, float* out, int frames, float env, float denv,
            bool* starved) {
    const float* data = v.ring.data();
    const int64_t mask = v.ring.mask();
    if (c.step == kUnitStep && c.frac == 0) {
        // Normal speed on a whole frame: a straight copy with gain.
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>({frames, c.end - c.head, c.written - c.head}));
        for (int64_t k = 0; k < n; ++k) {
            const float* s = data + ((c.head + k) & mask) * 2;
            const float e = shaped<Raised>(env);
            out[k * 2] += s[0] * c.gl * e;
            out[k * 2 + 1] += s[1] * c.gr * e;
            c.gl += c.dl;
            c.gr += c.dr;
            env += denv;
        }
        c.head += n;
        if (n < frames && c.head < c.end) *starved = true;
        return static_cast<int>(n);
    }
    const uint32_t stepFrac = static_cast<uint32_t>(c.step & 0xffffffffu);
    const int64_t stepInt = static_cast<int64_t>(c.step >> 32);
    int i = 0;
    for (; i < frames; ++i) {
        if (c.head >= c.end) break;
        if (c.head >= c.written) {
            *starved = true;
            break;
        }
        const float* a = data + (c.head & mask) * 2;
        const float* b = a;
        const int64_t next = c.head + 1;
        if (next < c.written) {
            b = data + (next & mask) * 2;
        } else if (!((c.eof >= 0 && next >= c.eof) || next >= c.limit)) {
            *starved = true;
            break;
        }
        const float t = static_cast<float>(c.frac) * (1.0f / 4294967296.0f);
        const float e = shaped<Raised>(env);
        out[i * 2] += (a[0] + (b[0] - a[0]) * t) * c.gl * e;
        out[i * 2 + 1] += (a[1] + (b[1] - a[1]) * t) * c.gr * e;
        c.gl += c.dl;
        c.gr += c.dr;
        env += denv;
        const uint64_t f = uint64_t(c.frac) + stepFrac;
        c.head += stepInt + static_cast<int64_t>(f >> 32);
        c.frac = static_cast<uint32_t>(f);
    }
    return i;
}

}  // namespace

int fadeFrames(int outRate) { return std::max(1, outRate / 200); }  // 5 ms
int holdFrames(int outRate) {
    return std::max(1, outRate * 3 / 100);
}  // 30 ms

namespace {

// The level of a held sound after POS frames of its hold: full for the grace, then falling.
float holdLevel(int pos, int grace, int fade) {
    if (pos <= grace) return 1.0f;
    return std::max(0.0f, 1.0f - float(pos - grace) / float(fade));
}

// A cursor on the old sound of a jump, which ends at END whatever comes after it in the ring.
Cursor oldSoundCursor(const Voice& v, int64_t head, uint32_t frac, int64_t end) {
    Cursor c;
    c.head = head;
    c.frac = frac;
    c.end = end;
    c.written = std::min(v.ring.publishedWrite(), end);
    c.eof = end;
    c.limit = end;
    c.step = v.step.load(std::memory_order_relaxed);
    c.gl = c.gr = 1.0f;
    c.dl = c.dr = 0.0f;
    return c;
}

// The old sound of a jump fading out beside the new one.
void mixTail(Voice& v, float* out, int frames) {
    const int fade = fadeFrames(v.outRate.load(std::memory_order_relaxed));
    Cursor c = oldSoundCursor(v, v.tailHead, v.tailFrac, v.tailEnd);
    c.gl = v.tailGainLeft;
    c.gr = v.tailGainRight;
    const int n = std::min(frames, static_cast<int>(std::ceil(v.tailEnv * float(fade))));
    bool starved = false;
    const int got =
        n > 0 ? mixSpan<true>(v, c, out, n, v.tailEnv, -1.0f / float(fade), &starved) : 0;
    v.tailHead = c.head;
    v.tailFrac = c.frac;
    v.tailEnv -= float(got) / float(fade);
    if (got < n || v.tailEnv <= 0.0f) v.tailBusy.store(false, std::memory_order_release);
}

// Moves the play head to a pending jump: the old sound becomes the tail, fading out from the
// level its hold had reached, and the new sound fades in over the same frames.
void takeJump(Voice& v, int64_t jump) {
    const int rate = v.outRate.load(std::memory_order_relaxed);
    const float level = holdLevel(v.holdPos, holdFrames(rate), fadeFrames(rate));
    const int64_t oldEnd = v.jumpTailEnd.load(std::memory_order_relaxed);
    if (level > 0.0f && v.head < oldEnd) {
        v.tailHead = v.head;
        v.tailFrac = v.headFrac;
        v.tailEnd = oldEnd;
        v.tailEnv = level;
        v.tailGainLeft = v.curGainLeft;
        v.tailGainRight = v.curGainRight;
        v.tailBusy.store(true, std::memory_order_release);
    }
    v.head = jump;
    v.headFrac = 0;
    v.rampInPos = 0;
    v.rampInLength = fadeFrames(rate);
    v.rampRaised = true;
    v.fadeOutPos = -1;
    v.dataEnd.store(kNoLimit, std::memory_order_relaxed);
    beginPositionWrite(v);
    v.segmentOut.store(jump, std::memory_order_release);
    v.segmentSource.store(v.jumpSource.load(std::memory_order_relaxed), std::memory_order_release);
    v.played.store(jump, std::memory_order_release);
    endPositionWrite(v);
    v.jumpOut.store(-1, std::memory_order_release);
}

// The old sound of a jump not taken yet: it holds at the gain it had through the grace, then
// fades out, and the voice is stopped (its position already reads the jump's place; the head
// moves there with the next command). While KEEP (a command prepares another jump) it holds at
// the level it has, however long that takes.
void mixHold(Voice& v, float* out, int frames, bool keep) {
    const int rate = v.outRate.load(std::memory_order_relaxed);
    const int grace = holdFrames(rate);
    const int fade = fadeFrames(rate);
    if (!keep && v.holdCut.load(std::memory_order_relaxed) && v.holdPos < grace) v.holdPos = grace;
    Cursor c = oldSoundCursor(v, v.head, v.headFrac, v.jumpTailEnd.load(std::memory_order_relaxed));
    const float targetLeft = v.jumpGainLeft.load(std::memory_order_relaxed);
    const float targetRight = v.jumpGainRight.load(std::memory_order_relaxed);
    c.rampGains(v, targetLeft, targetRight, frames);
    bool starved = false;
    if (keep) {
        mixSpan<true>(v, c, out, frames, holdLevel(v.holdPos, grace, fade), 0.0f, &starved);
    } else {
        int done = 0;
        if (v.holdPos < grace) {
            done = mixSpan(v, c, out, std::min(frames, grace - v.holdPos), 1.0f, 0.0f, &starved);
            v.holdPos += done;
        }
        if (done < frames && v.holdPos >= grace && v.holdPos < grace + fade && c.head < c.end) {
            const int n = std::min(frames - done, grace + fade - v.holdPos);
            v.holdPos += mixSpan<true>(v, c, out + done * 2, n, holdLevel(v.holdPos, grace, fade),
                                       -1.0f / float(fade), &starved);
        }
    }
    v.curGainLeft = targetLeft;
    v.curGainRight = targetRight;
    v.head = c.head;
    v.headFrac = c.frac;
    v.ring.release(std::min(c.head, c.written));
    if (keep || v.mode.load(std::memory_order_relaxed) != kModeSeekHold) return;
    if (v.holdPos >= grace + fade || c.head >= c.end) {
        int expected = kModeSeekHold;
        v.mode.compare_exchange_strong(expected, kModeStopped, std::memory_order_acq_rel);
    }
}

}  // namespace

bool mixVoice(Voice& v, float* out, int frames) {
    if (frames <= 0) return true;
    const int mode = v.mode.load(std::memory_order_seq_cst);
    // A command preparing a jump freezes the voice's jumps: the sound it has goes on, untaken.
    const bool frozen = v.jumpFrozen.load(std::memory_order_seq_cst);
    const int64_t jump = sounding(mode) ? v.jumpOut.load(std::memory_order_acquire) : -1;
    const bool hold = mode == kModeSeekHold || (jump >= 0 && frozen);
    if (!hold && jump >= 0) takeJump(v, jump);
    if (v.tailBusy.load(std::memory_order_acquire)) mixTail(v, out, frames);
    if (!sounding(mode)) return true;
    if (hold) {
        mixHold(v, out, frames, frozen);
        return true;
    }
    Cursor c;
    c.limit = v.limitOut.load(std::memory_order_acquire);
    c.eof = v.eofOut.load(std::memory_order_acquire);
    c.end = c.eof >= 0 ? std::min(c.limit, c.eof) : c.limit;
    c.written = std::min(v.ring.publishedWrite(), v.dataEnd.load(std::memory_order_acquire));
    c.step = v.step.load(std::memory_order_relaxed);
    c.head = v.head;
    c.frac = v.headFrac;
    const float targetLeft = v.gainLeft.load(std::memory_order_relaxed);
    const float targetRight = v.gainRight.load(std::memory_order_relaxed);
    c.rampGains(v, targetLeft, targetRight, frames);
    const int ramp = fadeFrames(v.outRate.load(std::memory_order_relaxed));
    bool starved = false;
    bool faded = false;

    if (mode == kModePlaying) {
        int done = 0;
        if (v.rampInPos < v.rampInLength) {
            const int len = v.rampInLength;
            const int n = std::min(frames, len - v.rampInPos);
            const float from = float(v.rampInPos) / float(len);
            const int got = v.rampRaised
                                ? mixSpan<true>(v, c, out, n, from, 1.0f / float(len), &starved)
                                : mixSpan(v, c, out, n, from, 1.0f / float(len), &starved);
            v.rampInPos += got;
            done = got;
        }
        if (!starved && done < frames) mixSpan(v, c, out + done * 2, frames - done, 1.0f, 0.0f, &starved);
    } else {
        if (v.fadeOutPos < 0) {
            // Fade from where a fade-in left off, so that the level never jumps.
            if (v.rampInPos < v.rampInLength) {
                const float p = float(v.rampInPos) / float(v.rampInLength);
                const float level = v.rampRaised ? shaped<true>(p) : p;
                v.fadeOutPos = static_cast<int>(float(ramp) * (1.0f - level));
            } else {
                v.fadeOutPos = 0;
            }
            v.rampInPos = v.rampInLength = 0;
        }
        const int n = std::min(frames, ramp - v.fadeOutPos);
        const int got = n > 0 ? mixSpan(v, c, out, n, 1.0f - float(v.fadeOutPos) / float(ramp), -1.0f / float(ramp), &starved) : 0;
        v.fadeOutPos += got;
        faded = v.fadeOutPos >= ramp;
    }

    v.curGainLeft = targetLeft;
    v.curGainRight = targetRight;
    v.head = c.head;
    v.headFrac = c.frac;
    const bool ended = c.head >= c.end;
    beginPositionWrite(v);
    v.played.store(c.head, std::memory_order_release);
    if (ended) {
        const bool atLimit = c.eof < 0 || c.limit <= c.eof;
        v.stoppedAt.store(atLimit ? v.limitSource.load(std::memory_order_relaxed)
                                  : v.eofSource.load(std::memory_order_acquire),
                          std::memory_order_release);
    }
    endPositionWrite(v);
    const bool tail = v.tailBusy.load(std::memory_order_relaxed);
    v.ring.release(std::min({c.head, c.written, tail ? v.tailHead : c.head}));
    if (ended) {
        int expected = mode;
        v.mode.compare_exchange_strong(expected, kModeStopped, std::memory_order_acq_rel);
        v.fadeOutPos = -1;
        return true;
    }
    if (faded) {
        int expected = mode;
        v.mode.compare_exchange_strong(expected, mode == kModeFadeToPause ? kModePaused : kModeStopped,
                                       std::memory_order_acq_rel);
        v.fadeOutPos = -1;
        return true;
    }
    return !starved;
}

MixResult mixAll(std::atomic<Voice*>* slots, int count, float* out, int frames, int bus) {
    MixResult result;
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(std::max(frames, 0)));
    for (int s = 0; s < count; ++s) {
        Voice* v = slots[s].load(std::memory_order_seq_cst);
        if (!v || v->bus.load(std::memory_order_relaxed) != bus) continue;
        if (!mixVoice(*v, out, frames)) {
            v->underruns.fetch_add(1, std::memory_order_relaxed);
            result.underrun = true;
        }
        if (sounding(v->mode.load(std::memory_order_relaxed)) ||
            v->tailBusy.load(std::memory_order_relaxed))
            result.sounding = true;
    }
    return result;
}

}  // namespace brisko::audio
