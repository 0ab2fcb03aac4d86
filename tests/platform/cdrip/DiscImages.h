// Test discs: CUE/BIN images of generated tones, with the exact audio bytes each track must rip
// to, and a cdrip.ini that lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace brisko::test {

struct DiscImage {
    std::string cue;
    std::string bin;
    std::vector<std::string> trackAudio;  // per track: its bytes in the .bin, padding included
    std::vector<int32_t> startSectors;    // per track, then the lead-out
};

// Writes DIR/NAME.cue and .bin with one tone per entry of SECONDS (440 Hz, 550 Hz, ...).
DiscImage makeToneDisc(const std::string& dir, const std::string& name, const std::vector<double>& seconds);

// Writes INI listing CUES under [Images] (plus EXTRA lines at the end).
void writeCdRipIni(const std::string& ini, const std::vector<std::string>& cues, const std::string& extra = "");

// Writes DIR/NAME.cue and .bin: one data track (MODE1/2352) of SECTORS sectors.
std::string makeDataDisc(const std::string& dir, const std::string& name, int sectors);

// Holds every read of a drive or an image in the loaded libcdrip until it is let go, as a drive
// that takes seconds to spin up would (CR_TestHoldDrive).
void holdDrives(bool hold);

}  // namespace brisko::test
