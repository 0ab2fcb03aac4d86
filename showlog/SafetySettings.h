// brisko-safety.ini: the dead-air alarm's settings and the outro warning's, in a file of their own
// beside brisko.ini.
// Written whole or not at all; a missing file or a line that does not read gives the defaults.
#pragma once

#include <string>

#include "showlog/DeadAir.h"
#include "showlog/FileWrites.h"

namespace brisko::showlog {

inline constexpr const char* kSafetyFileName = "brisko-safety.ini";

DeadAirSettings readSafetySettings(const std::string& path);
// The file's text for SETTINGS (CR LF line ends, as the program's other text files).
std::string safetySettingsText(const DeadAirSettings& settings);
// Writes a temporary file beside PATH, syncs it and renames it over PATH. False and *error on
// failure; PATH is then as it was.
bool writeSafetySettings(const std::string& path, const DeadAirSettings& settings,
                         std::string* error);

}  // namespace brisko::showlog
