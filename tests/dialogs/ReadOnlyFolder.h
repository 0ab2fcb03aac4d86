// A folder made unwritable for the life of the object: read-only permissions, and for root (whom
// permissions do not stop) the file system's immutable flag.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace brisko::test {

class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(std::string path) : path_(std::move(path)) {
        ::chmod(path_.c_str(), 0555);
        if (::geteuid() == 0) immutable_ = setImmutable(true);
        // Whether writing is really refused now.
        const std::string probe = path_ + "/.write-probe";
        const int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY, 0644);
        if (fd >= 0) {
            ::close(fd);
            ::unlink(probe.c_str());
        } else {
            refused_ = true;
        }
    }
    ~ReadOnlyFolder() {
        if (immutable_) setImmutable(false);
        ::chmod(path_.c_str(), 0755);
    }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    // False when this machine would not refuse the write (the test then cannot make its point).
    bool writesRefused() const { return refused_; }

private:
    bool setImmutable(bool on) {
        const int fd = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return false;
        int flags = 0;
        bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
            ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }

    std::string path_;
    bool immutable_ = false;
    bool refused_ = false;
};

}  // namespace brisko::test
