// Program folder resolution.
#include "platform/common/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace brisko {
namespace {

std::string& storedFolder() {
    static std::string folder;
    return folder;
}

std::string trimmed(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool writableFolder(const fs::path& folder) {
    std::error_code ec;
    return fs::is_directory(folder, ec) && ::access(folder.c_str(), W_OK | X_OK) == 0;
}

fs::path executableFolder(const char* argv0) {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec && argv0 != nullptr && *argv0 != '\0') exe = fs::absolute(argv0, ec);
    if (ec || exe.empty()) return {};
    return exe.parent_path();
}

fs::path perUserFolder() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
        return fs::path(xdg) / "brisko";
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return fs::path(home) / ".local" / "share" / "brisko";
    return fs::temp_directory_path() / "brisko";
}

}  // namespace

std::string resolveProgramFolder(const char* argv0) {
    std::error_code ec;
    fs::path folder;
    if (const char* home = std::getenv("BRISKO_HOME"); home != nullptr && *home != '\0') {
        folder = fs::absolute(home, ec);
    } else if (fs::path exeDir = executableFolder(argv0); !exeDir.empty() && writableFolder(exeDir)) {
        folder = exeDir;
    } else {
        folder = perUserFolder();
    }
    fs::create_directories(folder, ec);
    storedFolder() = trimmed(folder.lexically_normal().string());
    return storedFolder();
}

const std::string& programFolder() {
    if (storedFolder().empty()) resolveProgramFolder(nullptr);
    return storedFolder();
}

void setProgramFolderForTesting(const std::string& folder) { storedFolder() = trimmed(folder); }

}  // namespace brisko
