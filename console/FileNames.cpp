// Lossless file names and a byte-exact folder reader.
#include "console/FileNames.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brisko::console {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;  // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at P (of N bytes left), or 0 when it is not one.
int validSequence(const unsigned char* p, qsizetype n) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    int length = 0;
    char32_t min = 0;
    char32_t value = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2, min = 0x80, value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, min = 0x800, value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, value = c & 0x07;
    } else {
        return 0;
    }
    if (n < length) return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (p[k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not valid UTF-8.
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    return length;
}

bool isEscape(char16_t u) { return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF; }

}  // namespace

QString fileNameFromBytes(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype start = 0;  // start of the run of valid UTF-8 not yet copied
    qsizetype pos = 0;
    while (pos < n) {
        const int length = validSequence(p + pos, n - pos);
        if (length > 0) {
            pos += length;
            continue;
        }
        out += QString::fromUtf8(bytes.constData() + start, pos - start);
        out += QChar(static_cast<char16_t>(kEscapeBase + p[pos]));
        start = ++pos;
    }
    out += QString::fromUtf8(bytes.constData() + start, n - start);
    return out;
}

QByteArray fileNameBytes(const QString& name) {
    QByteArray out;
    out.reserve(name.size());
    qsizetype start = 0;
    for (qsizetype k = 0; k < name.size(); ++k) {
        const char16_t u = name[k].unicode();
        // A lone escape: not the second half of a surrogate pair.
        if (!isEscape(u) || (k > 0 && name[k - 1].isHighSurrogate())) continue;
        out += QStringView(name).mid(start, k - start).toUtf8();
        out += static_cast<char>(u - kEscapeBase);
        start = k + 1;
    }
    out += QStringView(name).mid(start).toUtf8();
    return out;
}

QString displayName(const QString& name) {
    QString out = name;
    for (qsizetype k = 0; k < out.size(); ++k) {
        if (isEscape(out[k].unicode()) && !(k > 0 && out[k - 1].isHighSurrogate()))
            out[k] = QChar::ReplacementCharacter;
    }
    return out;
}

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
