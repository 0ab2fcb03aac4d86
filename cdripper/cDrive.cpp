// cDrive: selects its drive before every library call, since the library keeps one active drive.
#include "cdripper/cDrive.h"

#include <algorithm>
#include <cstring>

#include "cdripper/DriveThread.h"
#include "cdripper/mCDRip.h"

namespace brisko::cdripper {

void cDrive::fInit(int32_t index) {
    const cdrip::CdRipApi& api = ripApi("cCDDriveInfo.fInit");
    dirty_ = false;
    index_ = index;
    CR_CdromParameters params = params_;
    const int code = onDriveThread([&] {
        api.setActiveCDROM(index);
        return api.getCDROMParameters(&params);
    });
    params_ = params;
    RaiseRipError("cCDDriveInfo.fInit", code, true);
}

std::string cDrive::Name() const {
    const void* nul = std::memchr(params_.id, '\0', sizeof params_.id);
    const std::size_t length = nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - params_.id)
                                              : sizeof params_.id;
    return std::string(params_.id, length);
}

bool cDrive::IsUnitReady() const { return IsUnitReady(nullptr); }

bool cDrive::IsUnitReady(std::string* whyNot) const {
    const cdrip::CdRipApi& api = ripApi("cCDDriveInfo.IsUnitReady");
    const int32_t index = index_;
    std::string reason;
    const bool ready = onDriveThread([&] {
        api.setActiveCDROM(index);
        if (api.isUnitReady() != 0) return true;
        if (whyNot != nullptr) {
            reason.resize(static_cast<std::size_t>(std::max(api.getNotReadyReason(nullptr, 0), 0)) + 1);
            const int32_t length = api.getNotReadyReason(reason.data(), static_cast<int32_t>(reason.size()));
            reason.resize(static_cast<std::size_t>(std::clamp<int32_t>(length, 0, static_cast<int32_t>(reason.size()) - 1)));
        }
        return false;
    });
    if (whyNot != nullptr) *whyNot = reason;
    return ready;
}

void cDrive::setRetries(int32_t v) {
    if (v < INT16_MIN || v > INT16_MAX) throw NumberedError(6, errorSource("cCDDriveInfo.Retries"), "Overflow");
    set(params_.retries, static_cast<int16_t>(v));
}

cToc cDrive::TOC() const {
    // The table is read with the drive selected again, in the same drive call (cToc::fInit).
    cToc toc;
    toc.fInit(index_);
    return toc;
}

void cDrive::Apply() {
    if (!dirty_) return;
    const cdrip::CdRipApi& api = ripApi("cCDDriveInfo.Apply");
    const int32_t index = index_;
    CR_CdromParameters params = params_;
    const int code = onDriveThread([&] {
        api.setActiveCDROM(index);
        return api.setCDROMParameters(&params);
    });
    params_ = params;
    RaiseRipError("cCDDriveInfo.Apply", code, true);
    dirty_ = false;
}

}  // namespace brisko::cdripper
