// Program folder resolution and the first-start seeding of an installed program's folder.
#include "platform/common/ProgramFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef BRISKO_DATA_FROM_BIN
#define BRISKO_DATA_FROM_BIN "../share/brisko"
#endif

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

// Copies FROM to TO through a temporary file beside TO, so TO is either whole or absent.
bool copyWhole(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    const fs::path temporary = to.parent_path() /
        ("." + to.filename().string() + ".seed-" + std::to_string(::getpid()));
    if (fs::copy_file(from, temporary, fs::copy_options::overwrite_existing, ec) && !ec) {
        fs::rename(temporary, to, ec);
        if (!ec) return true;
    }
    fs::remove(temporary, ec);
    return false;
}

}  // namespace

std::string installedDataFolder(const std::string& executableFolder) {
    if (executableFolder.empty()) return {};
    const fs::path data = (fs::path(executableFolder) / BRISKO_DATA_FROM_BIN).lexically_normal();
    std::error_code ec;
    return fs::is_directory(data, ec) ? trimmed(data.string()) : std::string();
}

bool seedProgramFolder(const std::string& programFolder, const std::string& dataFolder) {
    std::error_code ec;
    fs::directory_iterator entries(dataFolder, ec);
    if (ec) return false;
    bool ok = true;
    for (const fs::directory_entry& entry : entries) {
        if (!entry.is_regular_file(ec)) continue;
        const fs::path target = fs::path(programFolder) / entry.path().filename();
        if (fs::exists(fs::symlink_status(target, ec))) continue;
        if (!copyWhole(entry.path(), target)) ok = false;
    }
    return ok;
}

std::string resolveProgramFolderFor(const std::string& executableFolder) {
    std::error_code ec;
    // An installed program's bin folder is shared by every user and belongs to the package (and
    // root may write there): it is never the program folder.
    const std::string data = installedDataFolder(executableFolder);
    fs::path folder;
    if (const char* home = std::getenv("BRISKO_HOME"); home != nullptr && *home != '\0') {
        folder = fs::absolute(home, ec);
    } else if (!executableFolder.empty() && data.empty() && writableFolder(executableFolder)) {
        folder = executableFolder;
    } else {
        folder = perUserFolder();
    }
    fs::create_directories(folder, ec);
    storedFolder() = trimmed(folder.lexically_normal().string());
    if (!data.empty()) seedProgramFolder(storedFolder(), data);
    return storedFolder();
}

std::string resolveProgramFolder(const char* argv0) {
    return resolveProgramFolderFor(executableFolder(argv0).string());
}

const std::string& programFolder() {
    if (storedFolder().empty()) resolveProgramFolder(nullptr);
    return storedFolder();
}

void setProgramFolderForTesting(const std::string& folder) { storedFolder() = trimmed(folder); }

}  // namespace brisko
