// One drive of the ripping library: its name, readiness, parameters (kept in the library's record
// and written back by Apply only when changed) and its table of contents.
#pragma once

#include <cstdint>
#include <string>

#include "cdripper/cToc.h"
#include "platform/cdrip/CdRip.h"

namespace brisko::cdripper {

class cDrive {
public:
    // Selects drive INDEX (0-based) and reads its parameters.
    void fInit(int32_t index);

    std::string Name() const;
    bool IsUnitReady() const;
    // The same, and when not ready *WHYNOT says why when there is more to say than that there is
    // no disc (for a disc image: which file is missing or broken), else it is emptied.
    bool IsUnitReady(std::string* whyNot) const;
    int32_t Index() const { return index_; }

    int32_t ReadSectors() const { return params_.readSectors; }
    int32_t ReadOverlap() const { return params_.readOverlap; }
    int32_t BlockCompare() const { return params_.blockCompare; }
    int32_t StartOffset() const { return params_.startOffset; }
    int32_t EndOffset() const { return params_.endOffset; }
    int32_t CDSpeed() const { return params_.cdSpeed; }
    int32_t SpinUpTime() const { return params_.spinUpTime; }
    int32_t Retries() const { return params_.retries; }
    int32_t DriveType() const { return params_.driveTable.driveType; }
    int32_t RippingMethod() const { return params_.driveTable.readMethod; }

    void setReadSectors(int32_t v) { set(params_.readSectors, v); }
    void setReadOverlap(int32_t v) { set(params_.readOverlap, v); }
    void setBlockCompare(int32_t v) { set(params_.blockCompare, v); }
    void setStartOffset(int32_t v) { set(params_.startOffset, v); }
    void setEndOffset(int32_t v) { set(params_.endOffset, v); }
    void setCDSpeed(int32_t v) { set(params_.cdSpeed, v); }
    void setSpinUpTime(int32_t v) { set(params_.spinUpTime, v); }
    // Raises an overflow error (6) for a value outside 16 bits.
    void setRetries(int32_t v);
    void setDriveType(int32_t v) { set(params_.driveTable.driveType, v); }
    void setRippingMethod(int32_t v) { set(params_.driveTable.readMethod, v); }

    bool dirty() const { return dirty_; }
    const CR_CdromParameters& parameters() const { return params_; }

    // Reads the disc's table of contents.
    cToc TOC() const;
    // Re-reads the parameters (dropping changes).
    void Refresh() { fInit(index_); }
    // Sends the parameters to the library when one was changed.
    void Apply();

private:
    template <typename T>
    void set(T& field, T value) {
        if (field == value) return;
        field = value;
        dirty_ = true;
    }

    int32_t index_ = 0;
    CR_CdromParameters params_{};
    bool dirty_ = false;
};

}  // namespace brisko::cdripper
