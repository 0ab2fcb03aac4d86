// The as-run log: one CSV row per sound that went on air, in asrun/YYYY-MM-DD.csv of the program
// folder (the local day the sound started). Files are only ever appended to.
#pragma once

#include <cstdint>
#include <string>

namespace brisko::showlog {

// How a sound ended.
enum class EndHow { End, Stop, Fade, CutOff, Segue, Restore };
const char* endHowText(EndHow how);  // "end", "stop", "fade", "cut off", "segue", "restore"

struct AsRunRow {
    int64_t startMs = 0;  // wall clock, ms since the epoch
    int64_t endMs = 0;
    std::string source;  // "Deck 3", "Clip 2:17", "Clip list", "CD 4"
    std::string path;    // bytes as the file system has them
    std::string artist;
    std::string title;
    int64_t playedMs = 0;
    EndHow how = EndHow::End;
};

// The header line, with its CR LF.
std::string asRunHeader();
// One row with its CR LF: RFC 4180 quoting, UTF-8 (bytes that are not UTF-8 become U+FFFD).
std::string asRunLine(const AsRunRow& row);
// "asrun/2026-12-08.csv": where ROW goes, relative to the program folder.
std::string asRunFile(const AsRunRow& row);
// Appends ROW to its day's file under FOLDER (created with its header when new). False and
// *error when it cannot be written.
bool appendAsRun(const std::string& folder, const AsRunRow& row, std::string* error);

// Text as valid UTF-8: every byte that does not belong to a well-formed sequence becomes U+FFFD.
std::string validUtf8(const std::string& bytes);

}  // namespace brisko::showlog
