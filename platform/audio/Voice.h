// One open sound in the engine: what the command side, the voice's own reader thread and the
// mixer share. The mixer reads only atomics and the ring; fields marked "mixer" are written by
// the mixer while the voice plays and by the command side only while the mixer keeps off it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/Mp3Scan.h"
#include "platform/audio/StereoRing.h"
#include "platform/audio/VoiceStream.h"

namespace brisko::audio {

inline constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

// Values of Voice::mode beyond the public VoiceMode ones: the voice still sounds while the mixer
// fades it out, then the mixer moves it to Stopped or Paused.
inline constexpr int kModeStopped = 0;
inline constexpr int kModePlaying = 1;
inline constexpr int kModePaused = 2;
inline constexpr int kModeFadeToStop = 3;
inline constexpr int kModeFadeToPause = 4;
// Seeked while playing: stopped to everyone who asks, but the old sound goes on for a moment (see
// "Jumps" below), so that a play that follows the seek crossfades instead of leaving a gap.
inline constexpr int kModeSeekHold = 5;

// The two buses: what goes on air, and the cue (pre-listen) that only the operator hears.
inline constexpr int kBusAir = 0;
inline constexpr int kBusCue = 1;

// Whether the mixer mixes a voice in MODE.
inline bool sounding(int mode) {
    return mode == kModePlaying || mode == kModeFadeToStop || mode == kModeFadeToPause ||
           mode == kModeSeekHold;
}

struct Voice {
    explicit Voice(int64_t ringFrames) : ring(ringFrames) {}

    int id = -1;
    int sourceRate = 0;
    std::atomic<int> outRate{0};
    // The bus the voice plays on: changed only while the voice is held (see Engine::setBus).
    std::atomic<int> bus{kBusAir};

    // Serialises the commands on this voice. Commands on other voices never take it.
    std::mutex commandMutex;

    // Reading: the voice's reader thread and a command that repositions take readMutex, nothing
    // else; a read that blocks for seconds therefore delays only this voice.
    std::mutex readMutex;
    std::unique_ptr<VoiceStream> stream;
    std::atomic<bool> closing{false};
    // Wakes the reader thread (a command that needs sound, a close).
    std::mutex wakeMutex;
    std::condition_variable wakeCv;
    bool wakeRequested = false;

    StereoRing ring;
    // Set by the reader when it has written the last frame: ring count at the end, and the
    // source frame there. -1 until then.
    std::atomic<int64_t> eofOut{-1};
    std::atomic<int64_t> eofSource{-1};
    // The sound ended early on a read or decode error (eof* mark where); the text in error.
    std::atomic<bool> failed{false};
    std::mutex errorMutex;
    std::string error;

    // Commands to the mixer.
    std::atomic<int> mode{kModeStopped};
    std::atomic<int64_t> limitOut{kNoLimit};  // ring count at which to stop (the "to" point)
    std::atomic<int64_t> limitSource{0};      // source frame reported when stopping there
    std::atomic<float> gainLeft{1.0f};
    std::atomic<float> gainRight{1.0f};
    std::atomic<uint64_t> step{uint64_t(1) << 32};  // ring frames per output frame, 32.32 fixed point

    // The position, read by other threads as one snapshot under the sequence count posSeq (odd
    // while a write is under way). Writers: the mixer while the voice sounds, the command side
    // while it is held; never both at once.
    std::atomic<uint32_t> posSeq{0};
    // Ring count SEGMENTOUT holds source frame SEGMENTSOURCE.
    std::atomic<int64_t> segmentOut{0};
    std::atomic<int64_t> segmentSource{0};
    std::atomic<int64_t> played{0};        // head, published for position queries
    std::atomic<int64_t> stoppedAt{-1};    // source frame where the voice stopped by itself

    // Jumps: a seek on a playing voice. The command freezes the voice's jumps (jumpFrozen: the
    // mixer plays the sound it has and takes none), prepares the new position's sound in the ring
    // after the old sound (which keeps playing meanwhile: dataEnd keeps the mixer from running on
    // into the new sound), puts the voice in kModeSeekHold and publishes jumpOut. The old sound
    // then holds, at the gain it had, for at most a short grace and fades out; the voice is
    // stopped, and the next command moves the head to jumpOut. A play within the grace makes the
    // mixer take the jump: it crossfades from the old sound (the tail) to the new. A jump that was
    // not taken yet is replaced by the next one, its sound dropped from the ring. The command side
    // writes jumpTailEnd, jumpGain*, jumpSource and holdPos only while frozen or before the hold.
    std::atomic<int64_t> dataEnd{kNoLimit};  // the mixer reads the ring up to here (old sound)
    std::atomic<int64_t> jumpOut{-1};        // ring count where the new sound starts; -1: none
    std::atomic<int64_t> jumpSource{0};      // its source frame
    std::atomic<int64_t> jumpTailEnd{0};     // where the old sound ends: the cut, its end or limit
    std::atomic<float> jumpGainLeft{1.0f};   // the old sound's gain while it holds
    std::atomic<float> jumpGainRight{1.0f};
    std::atomic<bool> holdCut{false};        // a command asks the hold to fade out at once
    std::atomic<bool> jumpFrozen{false};     // a command prepares a jump: none is taken meanwhile
    std::atomic<bool> tailBusy{false};       // the mixer is fading out a jump's old sound
    int holdPos = 0;                         // mixer: frames of the hold done
    int64_t tailHead = 0;                    // mixer: the old sound's play head while it fades
    uint32_t tailFrac = 0;
    int64_t tailEnd = 0;
    float tailEnv = 0.0f;                    // its level now, falling to 0
    float tailGainLeft = 1.0f;
    float tailGainRight = 1.0f;

    // Mixer state.
    int64_t head = 0;        // ring count of the frame being played (integer part)
    uint32_t headFrac = 0;   // fraction of the play head, 0..2^32
    float curGainLeft = 1.0f;
    float curGainRight = 1.0f;
    int rampInPos = 0;       // frames of the fade-in done
    int rampInLength = 0;    // frames of the fade-in at this start (0: none)
    bool rampRaised = false; // the fade-in is the new side of a jump's crossfade (raised cosine)
    int fadeOutPos = -1;     // frames of the fade-out done; -1 while none runs
    std::atomic<uint64_t> underruns{0};  // periods in which this voice had no sound ready

    // Command-side view.
    std::atomic<int> volumeLeft{1000};
    std::atomic<int> volumeRight{1000};
    std::atomic<int> speed{1000};

    // Exact length: counted by a scan job (on the scan thread, or on the thread that needs it
    // first), or known at open. scanState: 0 queued, 1 running, 2 done.
    std::function<int64_t(std::vector<SeekPoint>*)> scan;
    std::atomic<int> scanState{0};
    std::mutex lengthMutex;
    std::condition_variable lengthReady;
    std::atomic<bool> lengthDone{false};
    std::atomic<int64_t> lengthFrames{-1};
    std::vector<SeekPoint> seekPoints;  // from the scan, handed to the stream at a seek (lengthMutex)
    // The length the header gives before counting, not exact (source frames; -1 when none). Set
    // before the voice is entered in the table, never changed.
    int64_t estimatedFrames = -1;

    void wake() {
        {
            std::lock_guard l(wakeMutex);
            wakeRequested = true;
        }
        wakeCv.notify_one();
    }
    void setError(const std::string& text) {
        std::lock_guard l(errorMutex);
        error = text;
    }
    std::string errorText() {
        std::lock_guard l(errorMutex);
        return error;
    }
};

// A consistent reading of a voice's position fields.
struct PositionFields {
    int64_t stoppedAt;
    int64_t played;
    int64_t segmentOut;
    int64_t segmentSource;
    int outRate;
};

// Opens and closes a write of the position fields (one writer at a time, see posSeq). Between
// the two, every field is stored with release order: a reader that sees a new value then also
// sees the odd count stored before it, and retries.
inline void beginPositionWrite(Voice& v) {
    v.posSeq.store(v.posSeq.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}
inline void endPositionWrite(Voice& v) {
    v.posSeq.store(v.posSeq.load(std::memory_order_relaxed) + 1, std::memory_order_release);
}

// Reads the position fields as they stood between two writes: never half of a seek. The fields
// are loaded with acquire order, so the second load of the count cannot move before them.
inline PositionFields readPosition(const Voice& v) {
    for (;;) {
        const uint32_t s1 = v.posSeq.load(std::memory_order_acquire);
        if (s1 & 1) {
            std::this_thread::yield();  // a write is under way (a few stores)
            continue;
        }
        PositionFields p;
        p.stoppedAt = v.stoppedAt.load(std::memory_order_acquire);
        p.played = v.played.load(std::memory_order_acquire);
        p.segmentOut = v.segmentOut.load(std::memory_order_acquire);
        p.segmentSource = v.segmentSource.load(std::memory_order_acquire);
        p.outRate = v.outRate.load(std::memory_order_acquire);
        if (v.posSeq.load(std::memory_order_relaxed) == s1) return p;
    }
}

}  // namespace brisko::audio
