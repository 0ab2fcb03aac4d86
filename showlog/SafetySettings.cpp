// The safety settings file: "Key=Value" lines under [DeadAir].
#include "showlog/SafetySettings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace brisko::showlog {

namespace {

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return "";
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool number(const std::string& text, double* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

}  // namespace

DeadAirSettings readSafetySettings(const std::string& path) {
    DeadAirSettings s;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = trim(line.substr(0, eq));
        double v = 0;
        if (!number(trim(line.substr(eq + 1)), &v)) continue;
        // Values outside what the settings window offers are ignored, not clamped: a typing
        // slip must not silence the alarm.
        if (key == "ThresholdDbfs" && v >= -96 && v <= -1)
            s.thresholdDbfs = v;
        else if (key == "HoldSeconds" && v >= 1 && v <= 600)
            s.holdSeconds = v;
        else if (key == "IdleMinutes" && v >= 0 && v <= 1440)
            s.idleMinutes = static_cast<int>(v);
        else if (key == "StartIndexDeck" && (v == 0 || v == 1))
            s.startIndexDeck = v == 1;
        else if (key == "OutroWarningSeconds" && v >= 0 && v <= 600)
            s.outroWarningSeconds = static_cast<int>(v);
    }
    return s;
}

std::string safetySettingsText(const DeadAirSettings& s) {
    std::ostringstream out;
    out << "[DeadAir]\r\n"
        << "ThresholdDbfs=" << s.thresholdDbfs << "\r\n"
        << "HoldSeconds=" << s.holdSeconds << "\r\n"
        << "IdleMinutes=" << s.idleMinutes << "\r\n"
        << "StartIndexDeck=" << (s.startIndexDeck ? 1 : 0) << "\r\n"
        << "[Readout]\r\n"
        << "OutroWarningSeconds=" << s.outroWarningSeconds << "\r\n";
    return out.str();
}

bool writeWholeFile(const std::string& path, const std::string& bytes, std::string* error) {
    const std::string temp = path + ".tmp";
    auto fail = [&](const std::string& what) {
        if (error) *error = what + ": " + std::strerror(errno);
        return false;
    };
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(temp);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int saved = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            errno = saved;
            return fail(temp);
        }
        done += static_cast<size_t>(n);
    }
    if (::fdatasync(fd) != 0 || ::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return fail(temp);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return fail(path);
    }
    // The rename itself is made durable with the folder.
    const size_t slash = path.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool writeSafetySettings(const std::string& path, const DeadAirSettings& settings,
                         std::string* error) {
    return writeWholeFile(path, safetySettingsText(settings), error);
}

}  // namespace brisko::showlog
