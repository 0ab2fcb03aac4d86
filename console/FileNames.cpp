// Lossless file names and a byte-exact folder reader.
#include "console/FileNames.h"

#include "ui/NameBytes.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisko::console {

QString fileNameFromBytes(const QByteArray& bytes) { return ui::nameFromBytes(bytes); }

QByteArray fileNameBytes(const QString& name) { return ui::nameBytes(name); }

QString displayName(const QString& name) { return ui::nameForDisplay(name); }

FolderEntries readFolder(const QString& path) {
    FolderEntries entries;
    const QByteArray folder = fileNameBytes(path);
    DIR* dir = ::opendir(folder.constData());
    if (dir == nullptr) return entries;
    entries.opened = true;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.') continue;  // ".", ".." and hidden entries, as the lists always did
        mode_t type = 0;
        if (entry->d_type == DT_DIR) {
            type = S_IFDIR;
        } else if (entry->d_type == DT_REG) {
            type = S_IFREG;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info {};
            if (::fstatat(fd, name, &info, 0) == 0) type = info.st_mode & S_IFMT;
        }
        // Pipes, sockets, devices and broken links are no sound files.
        if (type == S_IFDIR)
            entries.folders << fileNameFromBytes(QByteArray(name));
        else if (type == S_IFREG)
            entries.files << fileNameFromBytes(QByteArray(name));
    }
    ::closedir(dir);
    return entries;
}

bool isReadableFolder(const QString& path) {
    const QByteArray bytes = fileNameBytes(path);
    struct stat info {};
    return ::stat(bytes.constData(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(bytes.constData(), R_OK | X_OK) == 0;
}

}  // namespace brisko::console
