// CdWindowLock over flock(2) on "cd-window.lock": the lock belongs to the open file, which the
// kernel closes when the process dies; the file itself stays (removing it could let two copies
// lock two different files of the same name).
#include "cdripper/CdWindowLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace brisko::cdripper {

CdWindowLock::CdWindowLock(std::string folder) : folder_(std::move(folder)) {}

CdWindowLock::~CdWindowLock() { release(); }

CdWindowLock::Result CdWindowLock::acquire() {
    if (fd_ >= 0) return Result::Taken;
    if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) return Result::Unavailable;
    // A folder in /tmp could have been made by someone else: use only our own.
    struct stat info {};
    if (::lstat(folder_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        return Result::Unavailable;
    }
    const std::string file = folder_ + "/cd-window.lock";
    // Close-on-exec: a program started from here (the editor) must not inherit the lock.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return Result::Unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Unavailable;
    }
    fd_ = fd;
    return Result::Taken;
}

void CdWindowLock::release() {
    if (fd_ < 0) return;
    ::close(fd_);  // the lock goes with the file's last descriptor
    fd_ = -1;
}

std::string defaultLockFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/brisko";
    }
    return "/tmp/brisko-" + std::to_string(::getuid());
}

}  // namespace brisko::cdripper
