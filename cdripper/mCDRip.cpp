// RaiseRipError: the messages of the ripping library's codes and of the ripping classes' codes.
#include "cdripper/mCDRip.h"

namespace brisko::cdripper {

void RaiseRipError(const std::string& source, int code, bool libraryCode) {
    std::string message;
    if (libraryCode) {
        switch (code) {
            case 0:
            case 4: return;
            case 1: message = "CDRip Error"; break;
            case 2: message = "CDRip File Open Error"; break;
            case -1: message = "CDRip Jitter Error"; break;
            default: break;
        }
    } else {
        switch (code) {
            case 0: return;
            case 1: message = "CDRip Not Initialised."; break;
            case 2: message = "CD Buffer not open for reading."; break;
            case 3: message = "Invalid sector specified"; break;
            case 7: message = "Failed to create memory buffer to read CD to."; break;
            default: break;
        }
    }
    throw NumberedError(kRipErrorBase + code, errorSource(source), message);
}

const cdrip::CdRipApi& ripApi(const std::string& source) {
    const cdrip::CdRipApi* api = cdrip::cdRipApi();
    if (api == nullptr) RaiseRipError(source, 1, false);
    return *api;
}

}  // namespace brisko::cdripper
