// ripTrackToWav: OpenFile, OpenRipper, Read/WriteWavData until done or stopped, CloseRipper,
// CloseFile.
#include "cdripper/TrackRip.h"

#include "cdripper/cCDTrackRipper.h"
#include "cdripper/cWAVWriter.h"

namespace brisko::cdripper {

bool ripTrackToWav(const cTocEntry& entry, const std::string& file,
                   const std::function<bool(int percent)>& afterChunk) {
    cWAVWriter writer;
    if (!writer.OpenFile(file)) return true;
    cCDTrackRipper ripper;
    ripper.CreateForTrack(entry);
    bool stopped = false;
    if (ripper.OpenRipper()) {
        while (ripper.Read()) {
            // Straight from the ripper's buffer to the file: no copy in between.
            writer.WriteWavData(ripper.ReadBufferPtr(), ripper.ReadBufferSize());
            if (!afterChunk(ripper.PercentComplete())) {
                stopped = true;
                break;
            }
        }
    }
    ripper.CloseRipper();
    writer.CloseFile();
    return !stopped;
}

}  // namespace brisko::cdripper
