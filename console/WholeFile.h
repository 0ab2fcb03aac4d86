// Files a user would miss (settings, lists) are written whole or not at all: the bytes go to a
// temporary file beside the target, are flushed and checked, and only then renamed over it.
#pragma once

#include <QByteArray>
#include <QString>

namespace brisko::console {

// Writes BYTES to PATH whole or not at all. A write that fails at any point (a full disk, a
// missing or read-only folder) leaves the old file as it was and no temporary file behind;
// returns false and sets *ERROR (when given) to the system's reason. PATH is a lossless name
// (FileNames.h).
bool writeWholeFile(const QString& path, const QByteArray& bytes, QString* error = nullptr);

// Writes all of BYTES to the open file FD, going on after interrupted and partial writes.
// Returns 0, or the system's error code of the write that failed.
int writeAll(int fd, const QByteArray& bytes);

// Removes the temporary files of writeWholeFile for PATH that a killed program left behind.
// Returns how many were removed.
int removeLeftoverWrites(const QString& path);

}  // namespace brisko::console
