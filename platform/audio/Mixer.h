// The mix of every playing voice into one stereo period. Runs in the output callback: no locks,
// no allocation, no logging, no files.
#pragma once

#include <atomic>
#include <cstdint>

namespace brisko::audio {

struct Voice;

struct MixResult {
    bool underrun = false;  // a playing voice had no data ready
};

// Adds voice V's next FRAMES frames into OUT (interleaved stereo). Stops the voice at its limit
// or its end. Returns false when the voice ran out of decoded data (an underrun).
bool mixVoice(Voice& v, float* out, int frames);

// Clears OUT and mixes every playing voice of SLOTS[0, COUNT).
MixResult mixAll(std::atomic<Voice*>* slots, int count, float* out, int frames);

}  // namespace brisko::audio
