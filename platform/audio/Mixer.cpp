// The mixer: reads each playing voice's ring at its speed (linear interpolation between frames
// when the play head has a fraction), applies a gain ramped over the period, and stops voices at
// their limit or at the end of their sound.
#include "platform/audio/Mixer.h"

#include <algorithm>
#include <cstring>

#include "platform/audio/Engine.h"
#include "platform/audio/Voice.h"

namespace brisko::audio {

namespace {
constexpr uint64_t kUnitStep = uint64_t(1) << 32;
constexpr int kPlaying = static_cast<int>(VoiceMode::Playing);
constexpr int kStopped = static_cast<int>(VoiceMode::Stopped);
}  // namespace

bool mixVoice(Voice& v, float* out, int frames) {
    if (v.mode.load(std::memory_order_seq_cst) != kPlaying || frames <= 0) return true;
    const int64_t limit = v.limitOut.load(std::memory_order_acquire);
    const int64_t eof = v.eofOut.load(std::memory_order_acquire);
    const int64_t end = eof >= 0 ? std::min(limit, eof) : limit;
    const int64_t written = v.ring.publishedWrite();
    const uint64_t step = v.step.load(std::memory_order_relaxed);
    const float targetLeft = v.gainLeft.load(std::memory_order_relaxed);
    const float targetRight = v.gainRight.load(std::memory_order_relaxed);
    float gl = v.curGainLeft;
    float gr = v.curGainRight;
    const float dl = (targetLeft - gl) / static_cast<float>(frames);
    const float dr = (targetRight - gr) / static_cast<float>(frames);
    int64_t head = v.head;
    uint32_t frac = v.headFrac;
    const float* data = v.ring.data();
    const int64_t mask = v.ring.mask();
    int i = 0;
    bool starved = false;

    if (step == kUnitStep && frac == 0) {
        // Normal speed on a whole frame: a straight copy with gain.
        const int64_t n = std::max<int64_t>(0, std::min<int64_t>({frames, end - head, written - head}));
        for (int64_t k = 0; k < n; ++k) {
            const float* s = data + ((head + k) & mask) * 2;
            out[k * 2] += s[0] * gl;
            out[k * 2 + 1] += s[1] * gr;
            gl += dl;
            gr += dr;
        }
        head += n;
        i = static_cast<int>(n);
        starved = i < frames && head < end;
    } else {
        const uint32_t stepFrac = static_cast<uint32_t>(step & 0xffffffffu);
        const int64_t stepInt = static_cast<int64_t>(step >> 32);
        for (; i < frames; ++i) {
            if (head >= end) break;
            if (head >= written) {
                starved = true;
                break;
            }
            const float* a = data + (head & mask) * 2;
            const float* b = a;
            const int64_t next = head + 1;
            if (next < written) {
                b = data + (next & mask) * 2;
            } else if (!((eof >= 0 && next >= eof) || next >= limit)) {
                starved = true;
                break;
            }
            const float t = static_cast<float>(frac) * (1.0f / 4294967296.0f);
            out[i * 2] += (a[0] + (b[0] - a[0]) * t) * gl;
            out[i * 2 + 1] += (a[1] + (b[1] - a[1]) * t) * gr;
            gl += dl;
            gr += dr;
            const uint64_t f = uint64_t(frac) + stepFrac;
            head += stepInt + static_cast<int64_t>(f >> 32);
            frac = static_cast<uint32_t>(f);
        }
    }

    v.curGainLeft = targetLeft;
    v.curGainRight = targetRight;
    v.head = head;
    v.headFrac = frac;
    v.played.store(head, std::memory_order_release);
    v.ring.release(std::min(head, written));
    if (head >= end) {
        const bool atLimit = eof < 0 || limit <= eof;
        v.stoppedAt.store(atLimit ? v.limitSource.load(std::memory_order_relaxed)
                                  : v.eofSource.load(std::memory_order_acquire),
                          std::memory_order_release);
        int expected = kPlaying;
        v.mode.compare_exchange_strong(expected, kStopped, std::memory_order_acq_rel);
        return true;
    }
    return !starved;
}

MixResult mixAll(std::atomic<Voice*>* slots, int count, float* out, int frames) {
    MixResult result;
    std::memset(out, 0, sizeof(float) * 2 * static_cast<size_t>(std::max(frames, 0)));
    for (int s = 0; s < count; ++s) {
        Voice* v = slots[s].load(std::memory_order_seq_cst);
        if (v && !mixVoice(*v, out, frames)) result.underrun = true;
    }
    return result;
}

}  // namespace brisko::audio
