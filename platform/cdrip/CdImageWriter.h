// Writes a CD image (a .cue sheet and its .bin) from WAV files, one audio track per file, so that
// discs can be made without a drive: for tests, demonstrations and the CD window's image drives.
#pragma once

#include <string>
#include <vector>

namespace brisko::cdrip {

// Writes CUE_PATH and, beside it, the same name with ".bin". Every WAV must be 44100 Hz, 16-bit,
// stereo PCM with some audio; each track is padded with silence to whole sectors (2352 bytes).
// On failure nothing is left behind and *error says why.
bool writeCdImage(const std::string& cuePath, const std::vector<std::string>& wavFiles,
                  std::string* error);

}  // namespace brisko::cdrip
