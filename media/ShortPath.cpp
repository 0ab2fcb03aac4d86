// shortPath and FileHasContent. A path that holds blanks or quotes cannot stand unquoted in a
// command string, so it is reached through a symbolic link with a plain generated name, kept in a
// private folder of this process under the runtime folder (removed again at exit).
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "media/MediaChannel.h"

namespace brisko {

namespace {

bool isUnsafeChar(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '"';
}

bool isSafeForCommand(const std::string& path) {
    for (char c : path) {
        if (isUnsafeChar(c)) return false;
    }
    return true;
}

bool isUsableBase(const char* dir) {
    if (dir == nullptr || dir[0] != '/') return false;
    const std::string d(dir);
    struct stat info {};
    return isSafeForCommand(d) && ::stat(dir, &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(dir, W_OK | X_OK) == 0;
}

constexpr const char* kFolderPrefix = "brisko-links-";

void removeFolder(const std::string& folder) {
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") ::unlink((folder + "/" + name).c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(folder.c_str());
}

// Folders left behind by processes that ended without their exit handlers (a crash, a kill).
void sweepStaleFolders(const std::string& base) {
    DIR* dir = ::opendir(base.c_str());
    if (dir == nullptr) return;
    std::vector<std::string> stale;
    const std::string prefix = kFolderPrefix;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        if (pid <= 0 || pid == ::getpid()) continue;
        struct stat info {};
        const std::string full = base + "/" + name;
        if (::lstat(full.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
            continue;
        }
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) stale.push_back(full);
    }
    ::closedir(dir);
    for (const std::string& folder : stale) removeFolder(folder);
}

class LinkFolder {
public:
    ~LinkFolder() {
        if (!folder_.empty()) removeFolder(folder_);
    }

    // The short name for ABSOLUTE, creating or repairing its link; "" when no link can be made.
    std::string linkFor(const std::string& absolute) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (folder_.empty() && !createFolder()) return "";
        auto it = names_.find(absolute);
        if (it == names_.end()) {
            const std::string name = folder_ + "/" + std::to_string(++counter_) + extensionOf(absolute);
            it = names_.emplace(absolute, name).first;
        }
        const std::string& link = it->second;
        if (!linkPointsTo(link, absolute)) {
            ::unlink(link.c_str());
            if (::symlink(absolute.c_str(), link.c_str()) != 0) return "";
        }
        return link;
    }

private:
    bool createFolder() {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const std::string base = isUsableBase(runtime) ? runtime : "/tmp";
        sweepStaleFolders(base);
        std::string pattern = base + "/" + kFolderPrefix + std::to_string(::getpid()) + "-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (::mkdtemp(buffer.data()) == nullptr) return false;
        folder_ = buffer.data();
        return true;
    }

    static bool linkPointsTo(const std::string& link, const std::string& target) {
        std::vector<char> buffer(target.size() + 2);
        const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size());
        return n >= 0 && static_cast<std::size_t>(n) == target.size() &&
               target.compare(0, target.size(), buffer.data(), static_cast<std::size_t>(n)) == 0;
    }

    // The extension, when it is a plain one, so that the link still tells the file's kind.
    static std::string extensionOf(const std::string& path) {
        const std::size_t slash = path.rfind('/');
        const std::size_t dot = path.rfind('.');
        if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
        const std::string ext = path.substr(dot + 1);
        if (ext.empty() || ext.size() > 8) return "";
        for (char c : ext) {
            const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
            if (!alnum) return "";
        }
        return "." + ext;
    }

    std::mutex mutex_;
    std::string folder_;
    std::unordered_map<std::string, std::string> names_;
    unsigned long counter_ = 0;
};

LinkFolder& linkFolder() {
    static LinkFolder folder;
    return folder;
}

std::string absoluteOf(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return "";
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data()) + "/" + path;
}

}  // namespace

std::string shortPath(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return "";
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return "";
    if (isSafeForCommand(path)) return path;
    const std::string absolute = absoluteOf(path);
    if (absolute.empty()) return "";
    return linkFolder().linkFor(absolute);
}

int FileHasContent(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat info {};
    const bool content = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 1;
    ::close(fd);
    return content ? 1 : -1;
}

}  // namespace brisko
