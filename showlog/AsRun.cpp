// As-run rows and their daily files.
#include "showlog/AsRun.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "showlog/FileWrites.h"
#include "showlog/LocalTime.h"

namespace brisko::showlog {

namespace {

std::string csvField(const std::string& text) {
    const std::string valid = validUtf8(text);
    if (valid.find_first_of(",\"\r\n") == std::string::npos) return valid;
    std::string quoted = "\"";
    for (const char c : valid) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

}  // namespace

const char* endHowText(EndHow how) {
    switch (how) {
        case EndHow::End:
            return "end";
        case EndHow::Stop:
            return "stop";
        case EndHow::Fade:
            return "fade";
        case EndHow::CutOff:
            return "cut off";
        case EndHow::Segue:
            return "segue";
        case EndHow::Restore:
            return "restore";
    }
    return "end";
}

std::string validUtf8(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t k = 0;
    while (k < n) {
        const unsigned char c = s[k];
        int extra = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++k;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            extra = 1;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            extra = 2;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            out += "\xef\xbf\xbd";
            ++k;
            continue;
        }
        bool ok = k + static_cast<size_t>(extra) < n;
        for (int j = 1; ok && j <= extra; ++j) {
            if ((s[k + j] & 0xc0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[k + j] & 0x3f);
        }
        // No overlong forms, no surrogates, nothing past U+10FFFF.
        if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
                   (cp >= 0xd800 && cp <= 0xdfff) || cp > 0x10ffff))
            ok = false;
        if (!ok) {
            out += "\xef\xbf\xbd";
            ++k;
            continue;
        }
        out.append(bytes, k, static_cast<size_t>(extra) + 1);
        k += static_cast<size_t>(extra) + 1;
    }
    return out;
}

std::string asRunHeader() {
    return "start,end,source,file,artist,title,played_ms,ended\r\n";
}

std::string asRunLine(const AsRunRow& row) {
    std::string line = isoLocal(row.startMs) + "," + isoLocal(row.endMs) + ",";
    line += csvField(row.source) + "," + csvField(row.path) + "," + csvField(row.artist) + "," +
            csvField(row.title) + "," + std::to_string(row.playedMs) + "," + endHowText(row.how) +
            "\r\n";
    return line;
}

std::string asRunFile(const AsRunRow& row) {
    return "asrun/" + localDay(row.startMs) + ".csv";
}

bool appendAsRun(const std::string& folder, const AsRunRow& row, std::string* error) {
    const std::string dir = folder + "/asrun";
    if (::mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
        if (error) *error = dir + ": " + std::strerror(errno);
        return false;
    }
    const std::string path = folder + "/" + asRunFile(row);
    std::string bytes = asRunLine(row);
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
        bytes = asRunHeader() + bytes;
    } else if (errno == EEXIST) {
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        // A file created by a program that ended before it wrote anything still gets its header.
        struct stat info {};
        if (fd >= 0 && ::fstat(fd, &info) == 0 && info.st_size == 0) bytes = asRunHeader() + bytes;
    }
    if (fd < 0) {
        if (error) *error = path + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = writeAll(fd, bytes);
    const int saved = errno;
    ::close(fd);
    if (!ok && error) *error = path + ": " + std::strerror(saved);
    return ok;
}

}  // namespace brisko::showlog
