// The mix of every playing voice into one stereo period. Runs in the output callback: no locks,
// no allocation, no logging, no files.
#pragma once

#include <atomic>
#include <cstdint>

namespace brisko::audio {

struct Voice;

struct MixResult {
    bool underrun = false;  // a playing voice had no data ready
    bool sounding = false;  // a voice still sounds after this period
};

// Adds voice V's next FRAMES frames into OUT (interleaved stereo). Stops the voice at its limit
// or its end, and a fading voice when its fade is done. Returns false when the voice ran out of
// decoded data (an underrun).
bool mixVoice(Voice& v, float* out, int frames);

// Frames of the fade at a stop, a pause or a start from inside the sound, and of the crossfade
// of a seek on a playing voice: 5 ms at OUTRATE.
int fadeFrames(int outRate);
// Frames the old sound of a seek on a playing voice holds, waiting for a play, before it fades
// out: 30 ms at OUTRATE, more than one output period of the usual sizes (up to 1024 frames at
// 44.1 kHz), so that a play sent right after the seek finds the old sound still there.
int holdFrames(int outRate);

// Clears OUT and mixes every sounding voice of SLOTS[0, COUNT) that plays on BUS, counting each
// voice's underruns.
MixResult mixAll(std::atomic<Voice*>* slots, int count, float* out, int frames, int bus);

}  // namespace brisko::audio
