// Drive enumeration and opening for libcdrip: system drives through libcdio, images through its
// cue/bin driver, parameters from cdrip.ini.
#include "platform/cdrip/Drives.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace brisko::cdrip {

namespace {

void quietLog(cdio_log_level_t, const char*) {
    // libcdio reports failures through return values as well; its messages are not needed and
    // its default handler would end the process.
}

struct NamedField {
    const char* key;
    int32_t CR_CdromParameters::*field;
};

constexpr NamedField kFields[] = {
    {"ReadSectors", &CR_CdromParameters::readSectors},
    {"ReadOverlap", &CR_CdromParameters::readOverlap},
    {"BlockCompare", &CR_CdromParameters::blockCompare},
    {"StartOffset", &CR_CdromParameters::startOffset},
    {"EndOffset", &CR_CdromParameters::endOffset},
    {"CDSpeed", &CR_CdromParameters::cdSpeed},
    {"SpinUpTime", &CR_CdromParameters::spinUpTime},
};

std::string sectionOf(const DriveInfo& drive) { return "Drive " + drive.device; }

bool parseNumber(const std::string& text, long* value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || end == text.c_str() || *end != '\0') return false;
    *value = v;
    return true;
}

int32_t clampTo(long v, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::clamp<long>(v, low, high));
}

void defaults(DriveInfo* drive) {
    CR_CdromParameters& p = drive->params;
    std::memset(&p, 0, sizeof p);
    std::string id = drive->device;
    if (drive->image) {
        const auto slash = id.rfind('/');
        id = (slash == std::string::npos ? id : id.substr(slash + 1)) + " (image)";
    }
    std::strncpy(p.id, id.c_str(), sizeof p.id);
    p.readSectors = 26;
    p.readOverlap = 3;
    p.blockCompare = 16;
    p.cdSpeed = 0;
    p.spinUpTime = drive->image ? 0 : 4;
    p.retries = 20;
}

// libcdio finds the system's drives through the mount table with getmntent, which keeps its
// state in one buffer for the whole process, and reads cue sheets with strtok, which does too:
// drives are listed, and devices and images opened, by one thread at a time (players and the
// rip each have threads of their own).
std::mutex& deviceMutex() {
    static std::mutex* m = new std::mutex;
    return *m;
}

}  // namespace

void installLogHandler() {
    static std::once_flag once;
    std::call_once(once, [] { cdio_log_set_handler(&quietLog); });
}

void sanitiseParameters(CR_CdromParameters* p) {
    p->readSectors = std::clamp(p->readSectors, 1, 200);
    p->readOverlap = std::clamp(p->readOverlap, 0, 100);
    p->blockCompare = std::clamp(p->blockCompare, 1, 1000);
    p->cdSpeed = std::clamp(p->cdSpeed, 0, 100);
    p->spinUpTime = std::clamp(p->spinUpTime, 0, 60);
    p->retries = std::clamp<int16_t>(p->retries, 0, 1000);
    p->driveTable.driveType = std::clamp(p->driveTable.driveType, 0, 19);
    p->driveTable.readMethod = std::clamp(p->driveTable.readMethod, 0, 1);
}

std::vector<DriveInfo> listDrives(const IniFile& ini) {
    installLogHandler();
    std::vector<DriveInfo> drives;
    {
        std::lock_guard<std::mutex> lock(deviceMutex());
        driver_id_t driver = DRIVER_DEVICE;
        if (char** devices = cdio_get_devices_ret(&driver)) {
            for (char** d = devices; *d != nullptr; ++d) drives.push_back(DriveInfo{*d, false, {}});
            cdio_free_device_list(devices);
        }
    }
    for (const auto& [key, value] : ini.entries("Images")) {
        if (!value.empty()) drives.push_back(DriveInfo{value, true, {}});
    }
    for (DriveInfo& drive : drives) {
        defaults(&drive);
        const std::string section = sectionOf(drive);
        CR_CdromParameters& p = drive.params;
        long v = 0;
        for (const NamedField& f : kFields) {
            if (parseNumber(ini.value(section, f.key), &v)) p.*(f.field) = clampTo(v, INT32_MIN, INT32_MAX);
        }
        if (parseNumber(ini.value(section, "Retries"), &v)) p.retries = static_cast<int16_t>(clampTo(v, 0, 1000));
        if (parseNumber(ini.value(section, "DriveType"), &v)) p.driveTable.driveType = clampTo(v, 0, 19);
        if (parseNumber(ini.value(section, "RippingMethod"), &v)) p.driveTable.readMethod = clampTo(v, 0, 1);
        sanitiseParameters(&p);
    }
    return drives;
}

void storeParameters(IniFile& ini, const DriveInfo& drive) {
    const std::string section = sectionOf(drive);
    const CR_CdromParameters& p = drive.params;
    for (const NamedField& f : kFields) ini.setValue(section, f.key, std::to_string(p.*(f.field)));
    ini.setValue(section, "Retries", std::to_string(p.retries));
    ini.setValue(section, "DriveType", std::to_string(p.driveTable.driveType));
    ini.setValue(section, "RippingMethod", std::to_string(p.driveTable.readMethod));
}

CdIo_t* openDrive(const DriveInfo& drive) {
    installLogHandler();
    if (drive.image) {
        // Look before handing the path to libcdio: a missing image is simply a drive without a
        // disc.
        struct stat info {};
        if (::stat(drive.device.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
        // libcdio parses the cue sheet with strtok, whose place in the line is one for the
        // whole process: two images opened at once would read each other's lines.
        std::lock_guard<std::mutex> lock(deviceMutex());
        return cdio_open_cue(drive.device.c_str());
    }
    return openDevice(drive.device);
}

CdIo_t* openDevice(const std::string& device) {
    std::lock_guard<std::mutex> lock(deviceMutex());
    return cdio_open(device.c_str(), DRIVER_DEVICE);
}

bool readToc(CdIo_t* cdio, std::vector<CR_TocEntry>* toc) {
    toc->clear();
    const track_t first = cdio_get_first_track_num(cdio);
    const track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) return false;
    std::vector<CR_TocEntry> tracks;
    for (int t = first; t < first + count; ++t) {
        const auto track = static_cast<track_t>(t);
        CR_TocEntry entry{};
        entry.startSector = cdio_get_track_lsn(cdio, track);
        entry.trackNumber = track;
        entry.entryType = cdio_get_track_format(cdio, track) == TRACK_FORMAT_AUDIO ? 0 : 4;
        if (entry.startSector == CDIO_INVALID_LSN) break;
        tracks.push_back(entry);
    }
    const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN) return false;
    // An image's lead-out is where its data file ends; a track that ends past it was cut.
    std::size_t whole = 0;
    for (; whole < tracks.size(); ++whole) {
        const int32_t start = tracks[whole].startSector;
        const int32_t end = whole + 1 < tracks.size() ? tracks[whole + 1].startSector : leadOut;
        if (start < 0 || end <= start || end > leadOut) break;
    }
    if (whole == 0) return false;
    CR_TocEntry last{};
    last.startSector = whole < tracks.size() ? tracks[whole].startSector : leadOut;
    last.trackNumber = 0xAA;
    tracks.resize(whole);
    tracks.push_back(last);
    *toc = std::move(tracks);
    return true;
}

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// The data files a cue sheet names on its FILE lines, as paths (relative ones from the sheet's
// folder). FILE "name with blanks" TYPE, or FILE name TYPE.
std::vector<std::string> cueDataFiles(const std::string& cue, const std::string& text) {
    std::vector<std::string> files;
    std::size_t begin = 0;
    while (begin < text.size()) {
        std::size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line.size() - first < 5 || ::strncasecmp(line.c_str() + first, "FILE", 4) != 0 ||
            (line[first + 4] != ' ' && line[first + 4] != '\t')) {
            continue;
        }
        const auto from = line.find_first_not_of(" \t", first + 4);
        if (from == std::string::npos) continue;
        std::string name;
        if (line[from] == '"') {
            const auto close = line.find('"', from + 1);
            if (close == std::string::npos) continue;
            name = line.substr(from + 1, close - from - 1);
        } else {
            name = line.substr(from, line.find_first_of(" \t", from) - from);
        }
        if (name.empty()) continue;
        files.push_back(name[0] == '/' ? name : folderOf(cue) + "/" + name);
    }
    return files;
}

}  // namespace

std::string imageProblem(const std::string& cue) {
    installLogHandler();
    const std::string image = "The disc image " + cue;
    struct stat info {};
    if (::stat(cue.c_str(), &info) != 0) {
        return errno == ENOENT ? image + " does not exist." : image + " cannot be read: " + std::strerror(errno) + ".";
    }
    if (S_ISDIR(info.st_mode)) return image + " is a folder, not a cue sheet.";
    std::string text;
    if (FILE* in = std::fopen(cue.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n = 0;
        // A cue sheet is a few lines; whatever lies past the first megabyte is not looked at.
        while (text.size() < (1u << 20) && (n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
        std::fclose(in);
    } else {
        return image + " cannot be read: " + std::strerror(errno) + ".";
    }
    const std::vector<std::string> files = cueDataFiles(cue, text);
    if (files.empty()) return image + " is not a cue sheet: it names no data file.";
    for (const std::string& file : files) {
        const std::string data = "The data file " + file + " of the disc image " + cue;
        if (::stat(file.c_str(), &info) != 0) {
            return errno == ENOENT ? data + " does not exist." : data + " cannot be read: " + std::strerror(errno) + ".";
        }
        if (S_ISDIR(info.st_mode)) return data + " is a folder.";
        if (info.st_size == 0) return data + " is empty.";
    }
    CdIo_t* cdio = cdio_open_cue(cue.c_str());
    if (cdio == nullptr) return image + " is not a cue sheet that can be read.";
    std::vector<CR_TocEntry> toc;
    const bool usable = readToc(cdio, &toc);
    const track_t count = cdio_get_num_tracks(cdio);
    const track_t first = cdio_get_first_track_num(cdio);
    const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
    const lsn_t firstEnd = count != CDIO_INVALID_TRACK && count > 1 ? cdio_get_track_lsn(cdio, static_cast<track_t>(first + 1))
                                                                    : leadOut;
    cdio_destroy(cdio);
    if (usable) return {};
    if (count != CDIO_INVALID_TRACK && count > 0 && leadOut != CDIO_INVALID_LSN && firstEnd > leadOut) {
        return "The data file " + files.front() + " of the disc image " + cue + " ends inside track 1.";
    }
    return image + " lists no track that can be read.";
}

}  // namespace brisko::cdrip
