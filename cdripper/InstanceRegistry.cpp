// InstanceRegistry over flock(2): a lock dies with its process, so no instance is ever seen
// running after it ended, however it ended.
#include "cdripper/InstanceRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace brisko::cdripper {

namespace {

constexpr const char* kSuffix = ".instance";

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

InstanceRegistry::InstanceRegistry(std::string folder) : folder_(std::move(folder)) {}

InstanceRegistry::~InstanceRegistry() {
    if (fd_ >= 0) {
        ::unlink(ownFile_.c_str());
        ::close(fd_);
    }
}

bool InstanceRegistry::registerSelf(const std::string& name) {
    if (fd_ >= 0) return true;
    if (::mkdir(folder_.c_str(), 0700) != 0 && errno != EEXIST) return false;
    // A folder in /tmp could have been made by someone else: use only our own.
    struct stat info {};
    if (::lstat(folder_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return false;
    ownFile_ = folder_ + "/" + name + kSuffix;
    const int fd = ::open(ownFile_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool InstanceRegistry::othersRunning() const {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder_.c_str()), &::closedir);
    if (!dir) return false;
    bool running = false;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!endsWith(name, kSuffix)) continue;
        const std::string path = folder_ + "/" + name;
        if (path == ownFile_) continue;
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());  // left behind by an instance that has ended
        } else if (errno == EWOULDBLOCK) {
            running = true;
        }
        ::close(fd);
        if (running) break;
    }
    return running;
}

std::string defaultInstanceFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime != '\0') {
        return std::string(runtime) + "/brisko-instances";
    }
    return "/tmp/brisko-instances-" + std::to_string(::getuid());
}

namespace {
InstanceRegistry& programRegistry() {
    static InstanceRegistry* registry = new InstanceRegistry(defaultInstanceFolder());
    return *registry;
}
bool g_registered = false;
}  // namespace

void registerProgramInstance() { g_registered = programRegistry().registerSelf(std::to_string(::getpid())); }

bool anotherProgramInstanceRunning() { return g_registered && programRegistry().othersRunning(); }

}  // namespace brisko::cdripper
