// Loads libcdrip by name at its first use and hands out its CR_ calls. When the library cannot be
// loaded the program carries on without CD functions and says why.
#pragma once

#include <string>

#include "platform/cdrip/CdRip.h"

namespace brisko::cdrip {

struct CdRipApi {
    int32_t (*init)(const char*);
    int32_t (*getNumCDROM)();
    int32_t (*setActiveCDROM)(int32_t);
    int32_t (*getCDROMParameters)(CR_CdromParameters*);
    int32_t (*setCDROMParameters)(CR_CdromParameters*);
    int32_t (*isUnitReady)();
    int32_t (*getNotReadyReason)(char*, int32_t);
    int32_t (*readToc)();
    int32_t (*getNumTocEntries)();
    CR_TocEntry (*getTocEntry)(int32_t);
    int32_t (*openRipper)(int32_t*, int32_t, int32_t);
    int32_t (*ripChunk)(uint8_t*, int32_t*, int32_t*);
    int32_t (*getPercentCompleted)();
    int32_t (*getNumberOfJitterErrors)();
    int32_t (*closeRipper)();
    CR_Disc* (*discOpen)(const char*, int32_t);
    int32_t (*discReadToc)(CR_Disc*, CR_TocEntry*, int32_t);
    int32_t (*discReadAudio)(CR_Disc*, int32_t, int32_t, void*);
    int32_t (*discCanEject)(CR_Disc*);
    int32_t (*discEject)(CR_Disc*);
    void (*discClose)(CR_Disc*);
};

// The library's calls, loaded on the first call; null when it cannot be loaded, with the reason
// in *error. Looks for "libcdrip.so" beside the executable, then wherever the system's loader
// looks. Safe to call from any thread.
const CdRipApi* cdRipApi(std::string* error = nullptr);

// Tests and tools: load from PATH instead. Only before the first cdRipApi call.
void setCdRipLibraryPath(const std::string& path);

// The settings file the program hands to the library: the program folder's "cdrip.ini".
std::string cdRipSettingsPath();

}  // namespace brisko::cdrip
