// Writes that a crash or a full disk must not leave half done: all of a buffer to an open file,
// and a whole file replaced at once.
#pragma once

#include <string>

namespace brisko::showlog {

// Writes all of BYTES to FD, going on after interrupted and partial writes. False on an error
// (errno tells which).
bool writeAll(int fd, const std::string& bytes);

// Writes BYTES to PATH whole or not at all (temporary file, sync, rename, sync of the folder).
bool writeWholeFile(const std::string& path, const std::string& bytes, std::string* error);

}  // namespace brisko::showlog
