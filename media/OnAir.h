// What the show log needs of the sound path, without platform headers: the air mix's level period
// by period, whether a channel is a pre-listen (never on air), and a file's tags.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisko {

// One output period of the air mix: the largest absolute sample per channel and its length.
struct AirPeak {
    float left = 0.0f;
    float right = 0.0f;
    int frames = 0;
    bool sounding = false;  // a voice sounded in it
};

// The air mix's periods since *CURSOR (0 at first; the most recent few hundred are kept),
// appended to OUT; *CURSOR then stands after them. Never waits for the output.
void airPeaks(uint64_t* cursor, std::vector<AirPeak>* out);
// The air output's rate in frames per second (48000 when not known yet).
int airRate();
// True when ALIAS plays on the cue output (a pre-listen).
bool onCue(const std::string& alias);
// The file's artist and title tags ("" where none). Opens the file: never on the window thread.
void fileTags(const std::string& path, std::string* artist, std::string* title);

}  // namespace brisko
