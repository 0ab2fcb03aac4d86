// The program folder: where brisko.ini, the clip lists and the log live.
// BRISKO_HOME wins; else the executable's folder when it is writable and not an installed program's
// bin folder; else the per-user data folder. An installed program seeds it with its shipped files.
#pragma once

#include <string>

namespace brisko {

// Resolves the program folder once from argv[0] (or /proc/self/exe) and the environment, creates
// it when missing and remembers it. Returns the folder without a trailing "/".
std::string resolveProgramFolder(const char* argv0);

// The same for a program whose executable lies in EXECUTABLE_FOLDER ("" when unknown).
std::string resolveProgramFolderFor(const std::string& executableFolder);

// The folder resolved by resolveProgramFolder; before that call, resolves it from /proc/self/exe.
const std::string& programFolder();

// Tests use this to point the program at a temporary folder without touching the environment.
void setProgramFolderForTesting(const std::string& folder);

// Where an installed program's shipped data files lie (the clip-list templates and the
// missing-file picture): the data folder that belongs to the bin folder EXECUTABLE_FOLDER
// ("<prefix>/share/brisko" for "<prefix>/bin"), when it exists; "" for a program run from its
// build tree, whose shipped files lie beside the executable.
std::string installedDataFolder(const std::string& executableFolder);

// Copies each shipped data file of DATA_FOLDER that PROGRAM_FOLDER lacks into it, whole or not at
// all (a temporary file renamed into place), so a first start has the templates a new user's files
// are made from. Files already there are kept as they are. Returns false when a copy failed.
bool seedProgramFolder(const std::string& programFolder, const std::string& dataFolder);

}  // namespace brisko
