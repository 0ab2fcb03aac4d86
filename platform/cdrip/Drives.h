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

// The table of contents of an open disc: TRACKS entries plus the lead-out. False when the disc
// has no tracks or its table is not usable (starts not increasing, beyond the lead-out).
bool readToc(CdIo_t* cdio, std::vector<CR_TocEntry>* toc);

}  // namespace brisko::cdrip
