// File names as the system stores them: bytes. Names that are not valid UTF-8 are carried in a
// QString without loss, so every file a user can list can also be opened.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace brisko::console {

// The bytes of a path or name as a QString (the carrying form of ui/NameBytes.h, shared with the
// Clip Player): valid UTF-8 is decoded as usual; each byte of an invalid sequence becomes one of
// the code units U+DC80..U+DCFF, which valid UTF-8 never yields, so fileNameBytes gives the same
// bytes back.
QString fileNameFromBytes(const QByteArray& bytes);
// The bytes that fileNameFromBytes turned into NAME (UTF-8 for ordinary text).
QByteArray fileNameBytes(const QString& name);
// NAME for the eye: every byte that is not UTF-8 shows as the replacement character.
QString displayName(const QString& name);

// What one folder holds.
struct FolderEntries {
    bool opened = false;  // the folder could be read
    QStringList folders;  // subfolder names (links to folders included), unsorted
    QStringList files;    // regular files (links to them included), unsorted
};
// Reads the folder at PATH (a name from fileNameFromBytes). Hidden entries (a leading ".") are
// left out, as are pipes, sockets, devices and broken links.
FolderEntries readFolder(const QString& path);
// PATH names a folder that can be listed.
bool isReadableFolder(const QString& path);

}  // namespace brisko::console
