// Rips one track through the ripping library, a chunk at a time, into a buffer it owns and
// reuses; the caller writes each chunk before asking for the next.
#pragma once

#include <cstdint>
#include <memory>

#include "cdripper/cTocEntry.h"

namespace brisko::cdripper {

class cCDTrackRipper {
public:
    cCDTrackRipper() = default;
    ~cCDTrackRipper();
    cCDTrackRipper(const cCDTrackRipper&) = delete;
    cCDTrackRipper& operator=(const cCDTrackRipper&) = delete;

    // Takes the track's sector range and drive, after closing any open rip.
    void CreateForTrack(const cTocEntry& cTrack);
    bool OpenRipper();
    // Fetches the next chunk; false when the rip is over (or was not open).
    bool Read();
    const uint8_t* ReadBufferPtr() const { return buffer_.get(); }
    int32_t ReadBufferSize() const { return bytesRead_; }
    int32_t PercentComplete() const { return percent_; }
    int32_t JitterErrorCount() const { return jitterErrors_; }
    bool CloseRipper();

    bool isOpen() const { return open_; }

private:
    bool CreateBuffer(int32_t size);
    void DestroyBuffer();

    int32_t driveIndex_ = 0;
    int32_t startSector_ = 0;
    int32_t endSector_ = 0;
    bool open_ = false;
    int32_t jitterErrors_ = 0;
    int32_t percent_ = 0;
    int32_t bufferSize_ = 0;
    int32_t bytesRead_ = 0;
    std::unique_ptr<uint8_t[]> buffer_;
};

}  // namespace brisko::cdripper
