// One open file in the engine: what the command side, the decoder thread and the mixer share.
// The mixer reads only atomics and the ring; fields marked "mixer" are written by the mixer
// while the voice plays and by the command side only while the mixer is known to keep off it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/audio/Decoder.h"
#include "platform/audio/StereoRing.h"

namespace brisko::audio {

inline constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

struct Voice {
    explicit Voice(int64_t ringFrames) : ring(ringFrames) {}

    int id = -1;
    int sourceRate = 0;
    std::atomic<int> outRate{0};
    std::shared_ptr<SourceFile> file;

    // Decoding: the decoder thread and the command side (seek) take decodeMutex.
    std::mutex decodeMutex;
    std::unique_ptr<Decoder> decoder;
    std::vector<float> staging;  // converted frames that did not fit the ring yet
    std::atomic<bool> closing{false};
    int stream = -1;  // index of the audio stream in the file
    bool plainMp3 = false;
    int64_t statedLength = -1;  // exact length the container states, -1 when it must be scanned

    StereoRing ring;
    // Set by the decoder when it has written the last frame: ring count at the end, and the
    // source frame there. -1 until then.
    std::atomic<int64_t> eofOut{-1};
    std::atomic<int64_t> eofSource{-1};

    // Commands to the mixer.
    std::atomic<int> mode{0};                 // VoiceMode
    std::atomic<int64_t> limitOut{kNoLimit};  // ring count at which to stop (the "to" point)
    std::atomic<int64_t> limitSource{0};      // source frame reported when stopping there
    std::atomic<float> gainLeft{1.0f};
    std::atomic<float> gainRight{1.0f};
    std::atomic<uint64_t> step{uint64_t(1) << 32};  // ring frames per output frame, 32.32 fixed point

    // Where the current ring content starts: ring count SEGMENTOUT holds source frame SEGMENTSOURCE.
    std::atomic<int64_t> segmentOut{0};
    std::atomic<int64_t> segmentSource{0};

    // Mixer state.
    int64_t head = 0;        // ring count of the frame being played (integer part)
    uint32_t headFrac = 0;   // fraction of the play head, 0..2^32
    float curGainLeft = 1.0f;
    float curGainRight = 1.0f;
    std::atomic<int64_t> played{0};        // head, published for position queries
    std::atomic<int64_t> stoppedAt{-1};    // source frame where the voice stopped by itself

    // Command-side view.
    std::atomic<int> volumeLeft{1000};
    std::atomic<int> volumeRight{1000};
    std::atomic<int> speed{1000};

    // Exact length, filled in by the length scan.
    std::mutex lengthMutex;
    std::condition_variable lengthReady;
    bool lengthDone = false;
    int64_t lengthFrames = -1;
    std::vector<SeekPoint> seekPoints;  // from the scan, handed to each new decoder at a seek
};

}  // namespace brisko::audio
