// A disc's table of contents as read through the ripping library: its tracks (keyed "T1", "T2",
// ...), total length and the CDDB disc identifier and query text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cdripper/cTocEntry.h"
#include "platform/cdrip/CdRip.h"

namespace brisko::cdripper {

class cToc {
public:
    // Reads the table of contents of library drive DRIVEINDEX (the active drive).
    void fInit(int32_t driveIndex);
    // Selects the drive again and re-reads.
    void Refresh();

    int32_t Count() const { return count_; }
    // The entry under key "T" + I (1-based); raises for a key that does not exist.
    const cTocEntry& Entry(int32_t i) const;

    int32_t TotalLengthSectors() const { return totalSectors_; }
    int32_t TotalLengthSeconds() const { return totalSectors_ / 75; }
    int32_t CDDBId() const { return cddbId_; }
    std::string CDDBQuery() const;

    // Builds the table from library records: RECORDS holds the tracks and then the lead-out.
    void build(int32_t driveIndex, const std::vector<CR_TocEntry>& records);

private:
    void computeCddbId();

    int32_t driveIndex_ = 0;
    int32_t count_ = 0;
    std::vector<cTocEntry> entries_;
    int32_t totalSectors_ = 0;
    int32_t cddbId_ = 0;
};

}  // namespace brisko::cdripper
