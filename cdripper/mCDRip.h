// The error routine shared by the ripping classes: turns library result codes and the classes'
// own codes into numbered errors (29500 + code).
#pragma once

#include <string>

#include "platform/cdrip/CdRipLoader.h"
#include "platform/common/NumberedError.h"

namespace brisko::cdripper {

inline constexpr int kRipErrorBase = 29500;

// Raises (throws brisko::NumberedError) for every code that is an error. Library codes: 0 and 4
// (rip complete) return; 1, 2 and -1 carry their messages; others an empty description. Class
// codes: 0 returns; 1, 2, 3 and 7 carry their messages; others an empty description.
void RaiseRipError(const std::string& source, int code, bool libraryCode);

// The loaded library's calls; raises "CDRip Not Initialised." when the library is not loaded.
const cdrip::CdRipApi& ripApi(const std::string& source);

}  // namespace brisko::cdripper
