// Binding liblameencshim with dlopen/dlsym. Once bound, the library stays loaded for the run.
#include "encoder/LameLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

#include "platform/common/NumberedError.h"

namespace brisko::encoder {

namespace {

std::mutex bindMutex;
LameApi bound;
bool isBound = false;
std::string libraryName = kLameLibraryName;

std::string executableFolder() {
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    const std::string exe(path, static_cast<size_t>(n));
    const size_t slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

void* openLibrary(const std::string& name) {
    if (void* h = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    if (name.find('/') != std::string::npos) return nullptr;
    const std::string here = executableFolder();
    if (!here.empty()) {
        if (void* h = ::dlopen((here + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
#ifdef BRISKO_LAMEENCSHIM_DIR
    return ::dlopen((std::string(BRISKO_LAMEENCSHIM_DIR) + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL);
#else
    return nullptr;
#endif
}

template <typename F>
void bind(void* library, F& slot, const char* symbol, const std::string& source) {
    slot = reinterpret_cast<F>(::dlsym(library, symbol));
    if (slot == nullptr) {
        throw NumberedError(kEntryPointNotFound, source,
                            std::string("Can't find DLL entry point ") + symbol + " in " + libraryName);
    }
}

}  // namespace

const LameApi& lameApi(const std::string& source) {
    std::lock_guard lock(bindMutex);
    if (isBound) return bound;
    void* library = openLibrary(libraryName);
    if (library == nullptr) throw NumberedError(kLibraryNotFound, source, "File not found: " + libraryName);
    LameApi api;
    try {
        bind(library, api.initStream, "beInitStream", source);
        bind(library, api.encodeChunk, "beEncodeChunk", source);
        bind(library, api.deinitStream, "beDeinitStream", source);
        bind(library, api.closeStream, "beCloseStream", source);
        bind(library, api.version, "beVersion", source);
        bind(library, api.writeInfoTag, "beWriteInfoTag", source);
    } catch (...) {
        ::dlclose(library);
        throw;
    }
    bound = api;
    isBound = true;
    return bound;
}

void setLameLibraryNameForTesting(const std::string& name) {
    std::lock_guard lock(bindMutex);
    libraryName = name;
    isBound = false;
    bound = LameApi{};
}

}  // namespace brisko::encoder
