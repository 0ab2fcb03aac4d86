// cDrive: selects its drive before every library call, since the library keeps one active drive.
#include "cdripper/cDrive.h"

#include <cstring>

#include "cdripper/mCDRip.h"

namespace brisko::cdripper {

void cDrive::fInit(int32_t index) {
    const cdrip::CdRipApi& api = ripApi("cCDDriveInfo.fInit");
    dirty_ = false;
    index_ = index;
    api.setActiveCDROM(index);
    RaiseRipError("cCDDriveInfo.fInit", api.getCDROMParameters(&params_), true);
}

std::string cDrive::Name() const {
    const void* nul = std::memchr(params_.id, '\0', sizeof params_.id);
    const std::size_t length = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - params_.id)
                                              : sizeof params_.id;
    return std::string(params_.id, length);
}

bool cDrive::IsUnitReady() const {
    const cdrip::CdRipApi& api = ripApi("cCDDriveInfo.IsUnitReady");
    api.setActiveCDROM(index_);
    return api.isUnitReady() != 0;
}

void cDrive::setRetries(int32_t v) {
    if (v < INT16_MIN || v > INT16_MAX) throw NumberedError(6, errorSource("cCDDriveInfo.Retries"), "Overflow");
    set(params_.retries, static_cast<int16_t>(v));
}

cToc cDrive::TOC() const {
    ripApi("cCDDriveInfo.TOC").setActiveCDROM(index_);
    cToc toc;
    toc.fInit(index_);
    return toc;
}

void cDrive::Apply() {
    if (!dirty_) return;
    const cdrip::CdRipApi& api = ripApi("cCDDriveInfo.Apply");
    api.setActiveCDROM(index_);
    const int code = api.setCDROMParameters(&params_);
    RaiseRipError("cCDDriveInfo.Apply", code, true);
    dirty_ = false;
}

}  // namespace brisko::cdripper
