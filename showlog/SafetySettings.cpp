// The safety settings file: "Key=Value" lines under [DeadAir] and [Readout].
#include "showlog/SafetySettings.h"

#include <cmath>
#include <cstdlib>
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

bool writeSafetySettings(const std::string& path, const DeadAirSettings& settings,
                         std::string* error) {
    return writeWholeFile(path, safetySettingsText(settings), error);
}

}  // namespace brisko::showlog
