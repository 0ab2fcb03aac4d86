// The mixer: reads each sounding voice's ring at its speed (linear interpolation between frames
// when the play head has a fraction), applies a gain ramped over the period and the short fades
// of a start or a stop, and stops voices at their limit or at the end of their sound.
#include "platform/audio/Mixer.h"

#include <algorithm>
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
};

// Adds up to FRAMES frames into OUT under an envelope that starts at ENV and changes by DENV per
// frame. Returns the frames mixed; sets *STARVED when the ring ran dry before the end.
int mixSpan(const Voice& v, Cursor& c, float* out, int frames, float env, float denv, bool* starved) {
    const float* data = v.ring.data();
    const int64_t mask = v.ring.mask();
    if (c.step == kUnitStep && c.frac == 0) {
        // Normal speed on a whole frame: a straight copy with gain.
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>({frames, c.end - c.head, c.written - c.head}));
        for (int64_t k = 0; k < n; ++k) {
            const float* s = data + ((c.head + k) & mask) * 2;
            out[k * 2] += s[0] * c.gl * env;
            out[k * 2 + 1] += s[1] * c.gr * env;
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
        out[i * 2] += (a[0] + (b[0] - a[0]) * t) * c.gl * env;
        out[i * 2 + 1] += (a[1] + (b[1] - a[1]) * t) * c.gr * env;
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

bool mixVoice(Voice& v, float* out, int frames) {
    const int mode = v.mode.load(std::memory_order_seq_cst);
    if (!sounding(mode) || frames <= 0) return true;
    Cursor c;
    c.limit = v.limitOut.load(std::memory_order_acquire);
    c.eof = v.eofOut.load(std::memory_order_acquire);
    c.end = c.eof >= 0 ? std::min(c.limit, c.eof) : c.limit;
    c.written = v.ring.publishedWrite();
    c.step = v.step.load(std::memory_order_relaxed);
    c.head = v.head;
    c.frac = v.headFrac;
    const float targetLeft = v.gainLeft.load(std::memory_order_relaxed);
    const float targetRight = v.gainRight.load(std::memory_order_relaxed);
    c.gl = v.curGainLeft;
    c.gr = v.curGainRight;
    c.dl = (targetLeft - c.gl) / static_cast<float>(frames);
    c.dr = (targetRight - c.gr) / static_cast<float>(frames);
    const int ramp = fadeFrames(v.outRate.load(std::memory_order_relaxed));
    bool starved = false;
    bool faded = false;

    if (mode == kModePlaying) {
        int done = 0;
        if (v.rampInPos < v.rampInLength) {
            const int len = v.rampInLength;
            const int n = std::min(frames, len - v.rampInPos);
            const int got = mixSpan(v, c, out, n, float(v.rampInPos) / float(len), 1.0f / float(len), &starved);
            v.rampInPos += got;
            done = got;
        }
        if (!starved && done < frames) mixSpan(v, c, out + done * 2, frames - done, 1.0f, 0.0f, &starved);
    } else {
        if (v.fadeOutPos < 0) {
            // Fade from where a fade-in left off, so that the level never jumps.
            v.fadeOutPos = v.rampInPos < v.rampInLength ? ramp - v.rampInPos * ramp / v.rampInLength : 0;
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
    v.ring.release(std::min(c.head, c.written));
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

MixResult mixAll(std::atomic<Voice*>* slots, int count, float* out, int frames) {
    MixResult result;
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(std::max(frames, 0)));
    for (int s = 0; s < count; ++s) {
        Voice* v = slots[s].load(std::memory_order_seq_cst);
        if (!v) continue;
        if (!mixVoice(*v, out, frames)) {
            v->underruns.fetch_add(1, std::memory_order_relaxed);
            result.underrun = true;
        }
        if (sounding(v->mode.load(std::memory_order_relaxed))) result.sounding = true;
    }
    return result;
}

}  // namespace brisko::audio
