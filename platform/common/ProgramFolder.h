// The program folder: where brisko.ini, the clip lists and the log live.
// BRISKO_HOME wins; else the executable's folder when writable; else the per-user data folder.
#pragma once

#include <string>

namespace brisko {

// Resolves the program folder once from argv[0] (or /proc/self/exe) and the environment, creates
// it when missing and remembers it. Returns the folder without a trailing "/".
std::string resolveProgramFolder(const char* argv0);

// The folder resolved by resolveProgramFolder; before that call, resolves it from /proc/self/exe.
const std::string& programFolder();

// Tests use this to point the program at a temporary folder without touching the environment.
void setProgramFolderForTesting(const std::string& folder);

}  // namespace brisko
