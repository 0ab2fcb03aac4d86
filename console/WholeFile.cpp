// Whole-or-nothing file writes through a temporary file and a rename.
#include "console/WholeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "console/FileNames.h"

namespace brisko::console {
namespace {

// The temporary file of TARGET is TARGET + kMarker + six characters.
constexpr const char* kMarker = ".saving-";

QString reason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

bool fail(QString* error, int code) {
    if (error != nullptr) *error = reason(code);
    return false;
}

}  // namespace

int writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            return EIO;
        else if (errno != EINTR)
            return errno;
    }
    return 0;
}

bool writeWholeFile(const QString& path, const QByteArray& bytes, QString* error) {
    const std::string target = fileNameBytes(path).toStdString();
    std::string temp = target + kMarker + "XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(error, errno);

    // The new file keeps the old one's permissions (a new one gets the usual 0644).
    struct stat old {};
    ::fchmod(fd, ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644);

    int code = writeAll(fd, bytes);
    // A full disk may show itself only here: the bytes must be on the device before the rename.
    if (code == 0 && ::fsync(fd) != 0 && errno != EINVAL) code = errno;
    if (::close(fd) != 0 && code == 0 && errno != EINTR) code = errno;
    if (code == 0 && ::rename(temp.c_str(), target.c_str()) != 0) code = errno;
    if (code != 0) {
        ::unlink(temp.c_str());
        return fail(error, code);
    }
    // The rename itself is made durable with the folder.
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    if (const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

int removeLeftoverWrites(const QString& path) {
    const std::string target = fileNameBytes(path).toStdString();
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
    const std::string prefix = target.substr(slash == std::string::npos ? 0 : slash + 1) + kMarker;
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (dir == nullptr) return 0;
    int removed = 0;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(info.st_mode))
            continue;
        if (::unlinkat(fd, name.c_str(), 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}

}  // namespace brisko::console
