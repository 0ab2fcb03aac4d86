// The ripping library object: initialises the library with its settings file and hands out its
// drives (fresh snapshots on every call).
#pragma once

#include <cstdint>
#include <string>

#include "cdripper/cDrive.h"

namespace brisko::cdripper {

class cCDRip {
public:
    // Initialises the library with SINIFILE once; later calls do nothing.
    void Create(const std::string& sIniFile);
    bool initialised() const { return initialised_; }

    int32_t CDDriveCount() const;
    // Drive NINDEX, 1-based.
    cDrive CDDrive(int32_t nIndex) const;

private:
    std::string iniFile_;
    bool initialised_ = false;
};

}  // namespace brisko::cdripper
