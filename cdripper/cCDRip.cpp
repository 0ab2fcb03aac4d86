// cCDRip: library initialisation and drive enumeration.
#include "cdripper/cCDRip.h"

#include "cdripper/DriveThread.h"
#include "cdripper/mCDRip.h"

namespace brisko::cdripper {

void cCDRip::Create(const std::string& sIniFile) {
    if (initialised_) return;
    const cdrip::CdRipApi& api = ripApi("cCDDriveRip_Create");
    iniFile_ = sIniFile;
    const int code = onDriveThread([&] { return api.init(sIniFile.c_str()); });
    initialised_ = code == 0;
    RaiseRipError("cCDDriveRip_Create", code, true);
}

int32_t cCDRip::CDDriveCount() const {
    if (!initialised_) RaiseRipError("cCDDriveRip.CDDriveCount", 1, false);
    const cdrip::CdRipApi& api = ripApi("cCDDriveRip.CDDriveCount");
    return onDriveThread([&] { return api.getNumCDROM(); });
}

cDrive cCDRip::CDDrive(int32_t nIndex) const {
    cDrive drive;
    drive.fInit(nIndex - 1);
    return drive;
}

}  // namespace brisko::cdripper
