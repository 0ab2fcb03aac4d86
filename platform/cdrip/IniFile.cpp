// IniFile: line-preserving INI reading and whole-file writing (temporary file, then rename).
#include "platform/cdrip/IniFile.h"

#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace brisko::cdrip {

namespace {

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}

}  // namespace

bool IniFile::load(const std::string& path) {
    lines_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return errno == ENOENT;
    std::string text;
    std::string section;
    while (std::getline(in, text)) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        Line line{text, section, {}, {}};
        const std::string t = trim(text);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            section = trim(t.substr(1, t.size() - 2));
            line.section = section;
        } else if (!t.empty() && t[0] != ';' && t[0] != '#') {
            const auto eq = t.find('=');
            if (eq != std::string::npos && eq > 0) {
                line.key = trim(t.substr(0, eq));
                line.value = trim(t.substr(eq + 1));
            }
        }
        lines_.push_back(std::move(line));
    }
    return !in.bad();
}

bool IniFile::save(const std::string& path) const {
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        for (const Line& line : lines_) out << line.text << "\r\n";
        out.flush();
        if (!out) {
            out.close();
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> IniFile::entries(const std::string& section) const {
    std::vector<std::pair<std::string, std::string>> out;
    for (const Line& line : lines_) {
        if (!line.key.empty() && sameName(line.section, section)) out.emplace_back(line.key, line.value);
    }
    return out;
}

std::string IniFile::value(const std::string& section, const std::string& key,
                           const std::string& fallback) const {
    for (const Line& line : lines_) {
        if (!line.key.empty() && sameName(line.section, section) && sameName(line.key, key)) {
            return line.value;
        }
    }
    return fallback;
}

void IniFile::setValue(const std::string& section, const std::string& key, const std::string& value) {
    std::size_t lastOfSection = lines_.size();
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        Line& line = lines_[i];
        if (!sameName(line.section, section)) continue;
        lastOfSection = i;
        if (!line.key.empty() && sameName(line.key, key)) {
            line.value = value;
            line.text = line.key + "=" + value;
            return;
        }
    }
    Line added{key + "=" + value, section, key, value};
    if (lastOfSection == lines_.size()) {
        lines_.push_back(Line{"[" + section + "]", section, {}, {}});
        lines_.push_back(std::move(added));
        return;
    }
    // After the section's last key, before any blank lines that close it.
    std::size_t at = lastOfSection + 1;
    while (at > 0 && trim(lines_[at - 1].text).empty() && at - 1 > 0) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
}

}  // namespace brisko::cdrip
