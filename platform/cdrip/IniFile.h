// A small INI file kept line by line: values are read and replaced in place and every other line
// (comments, unknown sections) is written back unchanged. Used for the library's cdrip.ini.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace brisko::cdrip {

class IniFile {
public:
    // Reads PATH. A missing file is an empty one; false only when the file exists but cannot be
    // read.
    bool load(const std::string& path);
    // Writes the whole file to a temporary file beside PATH and renames it over: the old file
    // stays intact when the write fails.
    bool save(const std::string& path) const;

    // Every key=value of SECTION in file order (section names compare without case).
    std::vector<std::pair<std::string, std::string>> entries(const std::string& section) const;
    // The value of KEY in SECTION, or FALLBACK.
    std::string value(const std::string& section, const std::string& key,
                      const std::string& fallback = "") const;
    // Replaces KEY's value (its first line) or appends it, creating the section when needed.
    void setValue(const std::string& section, const std::string& key, const std::string& value);

private:
    struct Line {
        std::string text;     // as read (without the line end)
        std::string section;  // the section the line belongs to ("" before the first)
        std::string key;      // "" for lines that are not key=value
        std::string value;
    };
    std::vector<Line> lines_;
};

}  // namespace brisko::cdrip
