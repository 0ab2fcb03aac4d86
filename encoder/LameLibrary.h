// The encoder library liblameencshim, loaded by name at its first use. A library or a call that
// cannot be found is a numbered error, so a machine without it still runs the rest of the program.
#pragma once

#include <string>

#include "platform/lameencshim/LameEncShim.h"

namespace brisko::encoder {

struct LameApi {
    decltype(&::beInitStream) initStream = nullptr;
    decltype(&::beEncodeChunk) encodeChunk = nullptr;
    decltype(&::beDeinitStream) deinitStream = nullptr;
    decltype(&::beCloseStream) closeStream = nullptr;
    decltype(&::beVersion) version = nullptr;
    decltype(&::beWriteInfoTag) writeInfoTag = nullptr;
};

inline constexpr const char* kLameLibraryName = "liblameencshim.so";
// Numbers of the errors of binding: the library is missing, or lacks one of its calls.
inline constexpr int kLibraryNotFound = 53;
inline constexpr int kEntryPointNotFound = 453;

// The bound calls. Loads the library on the first call (and again after a failed attempt), looking
// for it by name, then in the program's folder, then where the build put it. Raises NumberedError
// 53 or 453 with SOURCE when it cannot. Safe to call from several threads.
const LameApi& lameApi(const std::string& source);

// Tests: bind to another library name (a missing one, say) from the next call on.
void setLameLibraryNameForTesting(const std::string& name);

}  // namespace brisko::encoder
