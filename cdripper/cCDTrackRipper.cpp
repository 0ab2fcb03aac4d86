// cCDTrackRipper: the open / read chunk / close sequence of one track rip, with the library's
// result codes turned into numbered errors.
#include "cdripper/cCDTrackRipper.h"

#include <new>

#include "cdripper/DriveThread.h"
#include "cdripper/mCDRip.h"

namespace brisko::cdripper {

cCDTrackRipper::~cCDTrackRipper() {
    DestroyBuffer();
    try {
        CloseRipper();
    } catch (...) {
    }
}

void cCDTrackRipper::CreateForTrack(const cTocEntry& cTrack) {
    if (!CloseRipper()) return;
    startSector_ = cTrack.StartSector();
    endSector_ = cTrack.EndSector();
    driveIndex_ = cTrack.DriveIndex();
}

bool cCDTrackRipper::OpenRipper() {
    if (!CloseRipper()) return false;
    const cdrip::CdRipApi& api = ripApi("cCDTrackRipper.OpenRipper");
    percent_ = 0;
    int32_t size = 0;
    const int32_t drive = driveIndex_;
    const int32_t start = startSector_;
    const int32_t end = endSector_;
    const int code = onDriveThread([&] {
        api.setActiveCDROM(drive);
        return api.openRipper(&size, start, end);
    });
    RaiseRipError("cCDTrackRipper.OpenRipper", code, true);
    if (code != 0) return false;
    if (!CreateBuffer(size)) {
        onDriveThread([&] { return api.closeRipper(); });
        RaiseRipError("cCDTrackRipper.CreateBuffer", 7, false);
    }
    open_ = true;
    jitterErrors_ = 0;
    return true;
}

bool cCDTrackRipper::Read() {
    if (!open_) {
        bytesRead_ = 0;
        return false;
    }
    const cdrip::CdRipApi& api = ripApi("cCDTrackRipper.Read");
    int32_t bytes = 0;
    int32_t percent = 0;
    uint8_t* buffer = buffer_.get();
    const int code = onDriveThread([&] {
        int32_t abort = 0;
        const int result = api.ripChunk(buffer, &bytes, &abort);
        percent = api.getPercentCompleted();
        return result;
    });
    // Never more than the buffer holds, whatever the library says.
    bytesRead_ = bytes < 0 ? 0 : (bytes > bufferSize_ ? bufferSize_ : bytes);
    percent_ = percent;
    switch (code) {
        case 0:
        case 3:
        case 5: return true;
        case 4: CloseRipper(); return true;
        case 1:
        case 2:
            CloseRipper();
            RaiseRipError("cCDTrackRipper.Read", code, true);
            return false;
        default: return false;
    }
}

bool cCDTrackRipper::CloseRipper() {
    if (!open_) return true;
    const cdrip::CdRipApi& api = ripApi("cCDTrackRipper.CloseRipper");
    open_ = false;
    int32_t jitter = 0;
    const int code = onDriveThread([&] {
        jitter = api.getNumberOfJitterErrors();  // before the rip is closed
        return api.closeRipper();
    });
    jitterErrors_ = jitter;
    RaiseRipError("cCDTrackRipper.CloseRipper", code, true);
    return code == 0;
}

bool cCDTrackRipper::CreateBuffer(int32_t size) {
    if (size < 2) return false;
    if (size != bufferSize_) DestroyBuffer();
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) uint8_t[static_cast<std::size_t>(size)]());
        if (!buffer_) return false;
        bufferSize_ = size;
    }
    return true;
}

void cCDTrackRipper::DestroyBuffer() {
    buffer_.reset();
    bufferSize_ = 0;
    bytesRead_ = 0;
}

}  // namespace brisko::cdripper
