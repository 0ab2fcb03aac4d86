// The loop that carries one track from the disc into a WAV file: ripper chunks straight into the
// writer, with a call after each chunk that reports progress and may stop the rip.
#pragma once

#include <functional>
#include <string>

#include "cdripper/cTocEntry.h"

namespace brisko::cdripper {

// Rips ENTRY into FILE (created or emptied). After every chunk written, AFTERCHUNK receives the
// percent done and returns false to stop. Returns false when stopped that way, true when the
// track was read to its end. Numbered errors of the ripper and writer propagate; the file is
// then finalised with what was written.
bool ripTrackToWav(const cTocEntry& entry, const std::string& file,
                   const std::function<bool(int percent)>& afterChunk);

}  // namespace brisko::cdripper
