// libcdrip's CR_ calls: one library state (settings file, drives, active drive, open rip) behind
// one mutex. Rips read through cdparanoia's jitter correction and count what it had to repair.
#define DO_NOT_WANT_PARANOIA_COMPATIBILITY
#include "platform/cdrip/CdRip.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>
#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cdrip/Drives.h"

using namespace brisko::cdrip;

static_assert(sizeof(CR_CdromParameters) == 1380);
static_assert(offsetof(CR_CdromParameters, readSectors) == 256);
static_assert(offsetof(CR_CdromParameters, spinUpTime) == 280);
static_assert(offsetof(CR_CdromParameters, driveTable) == 292);
static_assert(offsetof(CR_CdromParameters, reserved320) == 320);
static_assert(offsetof(CR_CdromParameters, retries) == 328);
static_assert(offsetof(CR_CdromParameters, reserved344) == 344);
static_assert(offsetof(CR_CdromParameters, reserved352) == 352);
static_assert(sizeof(CR_DriveTable) == 28);
static_assert(sizeof(CR_TocEntry) == 8);

namespace {

constexpr int kSectorBytes = CDIO_CD_FRAMESIZE_RAW;  // 2352

// What paranoia tells its callback while it reads. The callback has no user pointer; only one
// rip is open at a time and it runs under the library mutex.
struct ReadEvents {
    int jitter = 0;
    int readErrors = 0;
};
ReadEvents g_events;

void paranoiaCallback(long, paranoia_cb_mode_t mode) {
    switch (mode) {
        case PARANOIA_CB_FIXUP_EDGE:
        case PARANOIA_CB_FIXUP_ATOM:
        case PARANOIA_CB_FIXUP_DROPPED:
        case PARANOIA_CB_FIXUP_DUPED:
        case PARANOIA_CB_SKIP:
        case PARANOIA_CB_DRIFT:
            ++g_events.jitter;
            break;
        case PARANOIA_CB_READERR:
            ++g_events.readErrors;
            break;
        default:
            break;
    }
}

struct Rip {
    CdIo_t* cdio = nullptr;
    cdrom_drive_t* cdda = nullptr;
    cdrom_paranoia_t* paranoia = nullptr;
    int32_t start = 0;
    int32_t end = 0;
    int32_t next = 0;         // next sector to deliver
    int32_t chunkSectors = 0;
    int16_t retries = 0;
    bool plainReads = false;
    std::string imageFile;    // the image's data file, watched during the rip
    off_t imageSize = 0;
    int jitter = 0;
    bool open = false;
};

struct Library {
    std::mutex mutex;
    bool initialised = false;
    std::string iniPath;
    IniFile ini;
    std::vector<DriveInfo> drives;
    int active = 0;
    std::vector<CR_TocEntry> toc;  // of the last CR_ReadToc, lead-out included
    std::string notReady;          // why the active drive was not ready when last looked at
    Rip rip;
};

Library& library() {
    static Library* l = new Library;  // never destroyed: callers may outlive static destruction
    return *l;
}

// The tests' hold on drive reads (CR_TestHoldDrive).
struct Hold {
    std::mutex mutex;
    std::condition_variable released;
    bool held = false;
};

Hold& hold() {
    static Hold* h = new Hold;
    return *h;
}

void waitForDrive() {
    Hold& h = hold();
    std::unique_lock<std::mutex> lock(h.mutex);
    h.released.wait(lock, [&h] { return !h.held; });
}

// What the operator is told about a drive that is not ready: for an image, what is wrong with
// its files; a drive without a disc needs no words.
std::string notReadyReason(const DriveInfo& drive) { return drive.image ? imageProblem(drive.device) : std::string(); }

DriveInfo* activeDrive(Library& l) {
    if (l.active < 0 || l.active >= static_cast<int>(l.drives.size())) return nullptr;
    return &l.drives[static_cast<std::size_t>(l.active)];
}

void closeRip(Rip& rip) {
    if (rip.paranoia != nullptr) cdio_paranoia_free(rip.paranoia);
    if (rip.cdda != nullptr) cdio_cddap_close_no_free_cdio(rip.cdda);
    if (rip.cdio != nullptr) cdio_destroy(rip.cdio);
    rip = Rip{};
}

// The data file behind an image; libcdio names it its "source".
std::string imageDataFile(CdIo_t* cdio) {
    const char* source = cdio_get_arg(cdio, "source");
    return source != nullptr ? source : "";
}

off_t fileSize(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) return -1;
    return info.st_size;
}

}  // namespace

extern "C" {

int32_t CR_Init(const char* iniFile) {
    installLogHandler();
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    closeRip(l.rip);
    l.iniPath = iniFile != nullptr ? iniFile : "";
    l.toc.clear();
    if (!l.ini.load(l.iniPath)) {
        l.ini = IniFile{};
        l.drives = listDrives(l.ini);
        l.initialised = true;
        return CR_FILE_OPEN_ERROR;
    }
    l.drives = listDrives(l.ini);
    l.active = 0;
    l.initialised = true;
    return CR_OK;
}

int32_t CR_GetNumCDROM(void) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    return static_cast<int32_t>(l.drives.size());
}

int32_t CR_SetActiveCDROM(int32_t index) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    if (index < 0 || index >= static_cast<int32_t>(l.drives.size())) return CR_ERROR;
    if (index != l.active) {
        l.toc.clear();
        l.notReady.clear();
    }
    l.active = index;
    return CR_OK;
}

int32_t CR_GetCDROMParameters(CR_CdromParameters* params) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    const DriveInfo* drive = activeDrive(l);
    if (drive == nullptr || params == nullptr) return CR_ERROR;
    *params = drive->params;
    return CR_OK;
}

int32_t CR_SetCDROMParameters(CR_CdromParameters* params) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    DriveInfo* drive = activeDrive(l);
    if (drive == nullptr || params == nullptr) return CR_ERROR;
    // The identifier belongs to the library; the values are kept within what a rip can use and
    // handed back as stored.
    std::memcpy(params->id, drive->params.id, sizeof params->id);
    sanitiseParameters(params);
    drive->params = *params;
    storeParameters(l.ini, *drive);
    return l.ini.save(l.iniPath) ? CR_OK : CR_FILE_OPEN_ERROR;
}

int32_t CR_IsUnitReady(void) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    waitForDrive();
    l.notReady.clear();
    const DriveInfo* drive = activeDrive(l);
    if (drive == nullptr) return 0;
    CdIo_t* cdio = openDrive(*drive);
    std::vector<CR_TocEntry> toc;
    const bool ready = cdio != nullptr && readToc(cdio, &toc);
    if (cdio != nullptr) cdio_destroy(cdio);
    if (!ready) l.notReady = notReadyReason(*drive);
    return ready ? 1 : 0;
}

int32_t CR_GetNotReadyReason(char* text, int32_t size) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    const auto length = static_cast<int32_t>(std::min<std::size_t>(l.notReady.size(), INT32_MAX));
    if (text != nullptr && size > 0) {
        const int32_t n = std::min(length, size - 1);
        std::memcpy(text, l.notReady.data(), static_cast<std::size_t>(n));
        text[n] = '\0';
    }
    return length;
}

int32_t CR_ReadToc(void) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    waitForDrive();
    l.toc.clear();
    l.notReady.clear();
    const DriveInfo* drive = activeDrive(l);
    if (drive == nullptr) return CR_ERROR;
    CdIo_t* cdio = openDrive(*drive);
    const bool ok = cdio != nullptr && readToc(cdio, &l.toc);
    if (cdio != nullptr) cdio_destroy(cdio);
    if (ok) return CR_OK;
    l.notReady = notReadyReason(*drive);
    return cdio == nullptr && drive->image ? CR_FILE_OPEN_ERROR : CR_ERROR;
}

int32_t CR_GetNumTocEntries(void) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    return l.toc.empty() ? 0 : static_cast<int32_t>(l.toc.size() - 1);
}

CR_TocEntry CR_GetTocEntry(int32_t index) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    if (index < 0 || index >= static_cast<int32_t>(l.toc.size())) return CR_TocEntry{};
    return l.toc[static_cast<std::size_t>(index)];
}

int32_t CR_OpenRipper(int32_t* bufferSize, int32_t startSector, int32_t endSector) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    waitForDrive();
    closeRip(l.rip);
    const DriveInfo* drive = activeDrive(l);
    if (drive == nullptr || bufferSize == nullptr) return CR_ERROR;
    if (startSector < 0 || endSector < startSector) return CR_ERROR;
    Rip& rip = l.rip;
    rip.cdio = openDrive(*drive);
    if (rip.cdio == nullptr) return drive->image ? CR_FILE_OPEN_ERROR : CR_ERROR;
    const lsn_t leadOut = cdio_get_track_lsn(rip.cdio, CDIO_CDROM_LEADOUT_TRACK);
    if (leadOut == CDIO_INVALID_LSN || endSector > leadOut) {
        closeRip(rip);
        return CR_ERROR;
    }
    const CR_CdromParameters& p = drive->params;
    rip.start = startSector;
    rip.end = endSector;
    rip.next = startSector;
    rip.chunkSectors = p.readSectors;
    rip.retries = p.retries;
    rip.plainReads = p.driveTable.readMethod == 1;
    if (drive->image) {
        rip.imageFile = imageDataFile(rip.cdio);
        rip.imageSize = fileSize(rip.imageFile);
    } else if (p.cdSpeed > 0) {
        cdio_set_speed(rip.cdio, p.cdSpeed);
    }
    if (!rip.plainReads) {
        rip.cdda = cdio_cddap_identify_cdio(rip.cdio, CDDA_MESSAGE_FORGETIT, nullptr);
        if (rip.cdda == nullptr || cdio_cddap_open(rip.cdda) != 0) {
            closeRip(rip);
            return CR_ERROR;
        }
        rip.paranoia = cdio_paranoia_init(rip.cdda);
        if (rip.paranoia == nullptr) {
            closeRip(rip);
            return CR_ERROR;
        }
        cdio_paranoia_modeset(rip.paranoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
        cdio_paranoia_seek(rip.paranoia, startSector, SEEK_SET);
    }
    rip.open = true;
    *bufferSize = rip.chunkSectors * kSectorBytes;
    return CR_OK;
}

int32_t CR_RipChunk(uint8_t* buffer, int32_t* bytesRead, int32_t* abort) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    waitForDrive();
    Rip& rip = l.rip;
    if (bytesRead != nullptr) *bytesRead = 0;
    if (!rip.open || buffer == nullptr || bytesRead == nullptr) return CR_ERROR;
    if (abort != nullptr && *abort != 0) return CR_ERROR;
    if (rip.next >= rip.end) return CR_RIP_COMPLETE;
    // An image whose file went away or shrank is a disc taken out of the drive.
    if (!rip.imageFile.empty() && fileSize(rip.imageFile) < rip.imageSize) return CR_ERROR;

    const int32_t sectors = std::min(rip.chunkSectors, rip.end - rip.next);
    if (rip.plainReads) {
        if (cdio_read_audio_sectors(rip.cdio, buffer, rip.next, static_cast<uint32_t>(sectors)) !=
            DRIVER_OP_SUCCESS) {
            return CR_ERROR;
        }
    } else {
        for (int32_t s = 0; s < sectors; ++s) {
            g_events = ReadEvents{};
            const int16_t* data = cdio_paranoia_read_limited(rip.paranoia, &paranoiaCallback, rip.retries);
            rip.jitter += g_events.jitter;
            if (data == nullptr) return CR_ERROR;
            // A sector paranoia could not read at all and had to give up on is not audio.
            if (g_events.readErrors > 0 && !rip.imageFile.empty() &&
                fileSize(rip.imageFile) < rip.imageSize) {
                return CR_ERROR;
            }
            std::memcpy(buffer + static_cast<std::ptrdiff_t>(s) * kSectorBytes, data, kSectorBytes);
        }
    }
    rip.next += sectors;
    *bytesRead = sectors * kSectorBytes;
    return rip.next >= rip.end ? CR_RIP_COMPLETE : CR_OK;
}

int32_t CR_GetPercentCompleted(void) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    const Rip& rip = l.rip;
    if (!rip.open) return 0;
    const int64_t total = rip.end - rip.start;
    if (total <= 0) return 100;
    return static_cast<int32_t>((static_cast<int64_t>(rip.next - rip.start) * 100) / total);
}

int32_t CR_GetNumberOfJitterErrors(void) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    return l.rip.jitter;
}

int32_t CR_CloseRipper(void) {
    Library& l = library();
    std::lock_guard<std::mutex> lock(l.mutex);
    closeRip(l.rip);
    return CR_OK;
}

// ---- A player's own handle ----

struct CR_Disc {
    DriveInfo drive;
    CdIo_t* cdio = nullptr;
};

CR_Disc* CR_DiscOpen(const char* iniFile, int32_t index) {
    installLogHandler();
    IniFile ini;
    if (iniFile != nullptr) ini.load(iniFile);
    std::vector<DriveInfo> drives = listDrives(ini);
    if (index < 0 || index >= static_cast<int32_t>(drives.size())) return nullptr;
    auto* disc = new CR_Disc;
    disc->drive = drives[static_cast<std::size_t>(index)];
    return disc;
}

int32_t CR_DiscReadToc(CR_Disc* disc, CR_TocEntry* entries, int32_t capacity) {
    if (disc == nullptr) return 0;
    waitForDrive();
    // Reopened each time: the disc may have changed (an image rewritten, a disc swapped).
    if (disc->cdio != nullptr) cdio_destroy(disc->cdio);
    disc->cdio = openDrive(disc->drive);
    if (disc->cdio == nullptr) return 0;
    std::vector<CR_TocEntry> toc;
    if (!readToc(disc->cdio, &toc)) return 0;
    const int32_t tracks = std::min<int32_t>(static_cast<int32_t>(toc.size()) - 1, capacity - 1);
    if (tracks <= 0 || entries == nullptr) return 0;
    for (int32_t i = 0; i < tracks; ++i) entries[i] = toc[static_cast<std::size_t>(i)];
    entries[tracks] = toc.back();
    return tracks;
}

int32_t CR_DiscReadAudio(CR_Disc* disc, int32_t sector, int32_t count, void* buffer) {
    if (disc == nullptr || buffer == nullptr || count < 0 || sector < 0) return CR_ERROR;
    waitForDrive();
    if (disc->cdio == nullptr) {
        disc->cdio = openDrive(disc->drive);
        if (disc->cdio == nullptr) return CR_ERROR;
    }
    if (count == 0) return CR_OK;
    return cdio_read_audio_sectors(disc->cdio, buffer, sector, static_cast<uint32_t>(count)) ==
                   DRIVER_OP_SUCCESS
               ? CR_OK
               : CR_ERROR;
}

int32_t CR_DiscCanEject(CR_Disc* disc) { return disc != nullptr && !disc->drive.image ? 1 : 0; }

int32_t CR_DiscEject(CR_Disc* disc) {
    if (disc == nullptr || disc->drive.image) return CR_ERROR;
    if (disc->cdio == nullptr) disc->cdio = openDevice(disc->drive.device);
    if (disc->cdio == nullptr) return CR_ERROR;
    cdio_drive_read_cap_t read = 0;
    cdio_drive_write_cap_t write = 0;
    cdio_drive_misc_cap_t misc = 0;
    cdio_get_drive_cap(disc->cdio, &read, &write, &misc);
    // Ejecting a drive that cannot eject makes libcdio free the handle twice; ask first.
    if ((misc & CDIO_DRIVE_CAP_MISC_EJECT) == 0) return CR_ERROR;
    // On success libcdio closes the handle and clears it; after a failure the handle is not
    // trusted again (it may have been freed), so it is dropped rather than closed twice.
    const bool ejected = cdio_eject_media(&disc->cdio) == DRIVER_OP_SUCCESS;
    disc->cdio = nullptr;
    return ejected ? CR_OK : CR_ERROR;
}

void CR_DiscClose(CR_Disc* disc) {
    if (disc == nullptr) return;
    if (disc->cdio != nullptr) cdio_destroy(disc->cdio);
    delete disc;
}

void CR_TestHoldDrive(int32_t held) {
    Hold& h = hold();
    {
        std::lock_guard<std::mutex> lock(h.mutex);
        h.held = held != 0;
    }
    h.released.notify_all();
}

}  // extern "C"
