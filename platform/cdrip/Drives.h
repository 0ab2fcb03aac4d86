// The drives libcdrip offers: the system's CD drives, then the disc images (.cue) listed in the
// [Images] section of cdrip.ini, each with its parameters record; and opening one with libcdio.
#pragma once

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <string>
#include <vector>

#include "platform/cdrip/CdRip.h"
#include "platform/cdrip/IniFile.h"

namespace brisko::cdrip {

struct DriveInfo {
    std::string device;  // device node, or the .cue path of an image
    bool image = false;
    CR_CdromParameters params{};
};

// Installs libcdio's log handler once (the default handler ends the process on errors).
void installLogHandler();

// The drives of the settings in INI, with their stored parameters applied over the defaults.
std::vector<DriveInfo> listDrives(const IniFile& ini);
// Writes the named parameters of DRIVE into INI (its section "Drive " + device).
void storeParameters(IniFile& ini, const DriveInfo& drive);
// Keeps every named parameter within what the rip can use.
void sanitiseParameters(CR_CdromParameters* params);

// Opens DRIVE with libcdio; null when there is no readable disc (a missing or unreadable image).
CdIo_t* openDrive(const DriveInfo& drive);
// Opens the system drive DEVICE with libcdio (one thread at a time, as libcdio needs).
CdIo_t* openDevice(const std::string& device);

// The table of contents of an open disc: the tracks that lie wholly within the disc, plus a
// lead-out entry where the last of them ends. Tracks are taken in order up to the first that
// does not end within the disc or does not start after the one before: an image whose data file
// was cut short inside track 2 still offers track 1. False when not even the first track is whole.
bool readToc(CdIo_t* cdio, std::vector<CR_TocEntry>* toc);

// Why the disc image CUE offers no disc, in one sentence that names the file at fault (the cue
// sheet or its data file): missing, a folder, empty, not a cue sheet, cut inside its first track.
// Looks at the files only.
std::string imageProblem(const std::string& cue);

}  // namespace brisko::cdrip
