// cdRipApi: dlopen of libcdrip and lookup of its calls, once per process.
#include "platform/cdrip/CdRipLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>

#include "platform/common/ProgramFolder.h"

namespace brisko::cdrip {

namespace {

struct Loaded {
    std::once_flag once;
    std::string path;  // set by tests before the first use
    CdRipApi api{};
    bool ok = false;
    std::string error;
};

Loaded& loaded() {
    static Loaded* l = new Loaded;
    return *l;
}

std::string executableFolder() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return {};
    std::string path(buffer, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

template <typename F>
bool resolve(void* handle, const char* name, F* out, std::string* missing) {
    *out = reinterpret_cast<F>(::dlsym(handle, name));
    if (*out == nullptr && missing->empty()) *missing = name;
    return *out != nullptr;
}

void load(Loaded& l) {
    void* handle = nullptr;
    std::string reason;
    if (!l.path.empty()) {
        handle = ::dlopen(l.path.c_str(), RTLD_NOW | RTLD_LOCAL);
    } else {
        const std::string beside = executableFolder() + "/libcdrip.so";
        if (::access(beside.c_str(), F_OK) == 0) handle = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) handle = ::dlopen("libcdrip.so", RTLD_NOW | RTLD_LOCAL);
    }
    if (handle == nullptr) {
        const char* why = ::dlerror();
        l.error = std::string("The CD ripping library (libcdrip) could not be loaded: ") +
                  (why != nullptr ? why : "not found");
        return;
    }
    std::string missing;
    CdRipApi& a = l.api;
    resolve(handle, "CR_Init", &a.init, &missing);
    resolve(handle, "CR_GetNumCDROM", &a.getNumCDROM, &missing);
    resolve(handle, "CR_SetActiveCDROM", &a.setActiveCDROM, &missing);
    resolve(handle, "CR_GetCDROMParameters", &a.getCDROMParameters, &missing);
    resolve(handle, "CR_SetCDROMParameters", &a.setCDROMParameters, &missing);
    resolve(handle, "CR_IsUnitReady", &a.isUnitReady, &missing);
    resolve(handle, "CR_GetNotReadyReason", &a.getNotReadyReason, &missing);
    resolve(handle, "CR_ReadToc", &a.readToc, &missing);
    resolve(handle, "CR_GetNumTocEntries", &a.getNumTocEntries, &missing);
    resolve(handle, "CR_GetTocEntry", &a.getTocEntry, &missing);
    resolve(handle, "CR_OpenRipper", &a.openRipper, &missing);
    resolve(handle, "CR_RipChunk", &a.ripChunk, &missing);
    resolve(handle, "CR_GetPercentCompleted", &a.getPercentCompleted, &missing);
    resolve(handle, "CR_GetNumberOfJitterErrors", &a.getNumberOfJitterErrors, &missing);
    resolve(handle, "CR_CloseRipper", &a.closeRipper, &missing);
    resolve(handle, "CR_DiscOpen", &a.discOpen, &missing);
    resolve(handle, "CR_DiscReadToc", &a.discReadToc, &missing);
    resolve(handle, "CR_DiscReadAudio", &a.discReadAudio, &missing);
    resolve(handle, "CR_DiscCanEject", &a.discCanEject, &missing);
    resolve(handle, "CR_DiscEject", &a.discEject, &missing);
    resolve(handle, "CR_DiscClose", &a.discClose, &missing);
    if (!missing.empty()) {
        l.error = "The CD ripping library (libcdrip) lacks " + missing + ".";
        ::dlclose(handle);
        return;
    }
    // Kept loaded for the life of the process.
    l.ok = true;
}

}  // namespace

const CdRipApi* cdRipApi(std::string* error) {
    Loaded& l = loaded();
    std::call_once(l.once, [&l] { load(l); });
    if (!l.ok && error != nullptr) *error = l.error;
    return l.ok ? &l.api : nullptr;
}

void setCdRipLibraryPath(const std::string& path) { loaded().path = path; }

std::string cdRipSettingsPath() { return programFolder() + "/cdrip.ini"; }

}  // namespace brisko::cdrip
