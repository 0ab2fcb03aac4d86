// cToc: reads the entries and lead-out from the library and derives the CDDB identifier.
#include "cdripper/cToc.h"

#include <cctype>
#include <cstdio>

#include "cdripper/DriveThread.h"
#include "cdripper/mCDRip.h"

namespace brisko::cdripper {

namespace {

int32_t digitSum(int32_t n) {
    int32_t sum = 0;
    while (n > 0) {
        sum += n % 10;
        n /= 10;
    }
    return sum;
}

}  // namespace

void cToc::fInit(int32_t driveIndex) {
    const cdrip::CdRipApi& api = ripApi("cCDToc.fInit");
    entries_.clear();
    driveIndex_ = driveIndex;
    // One drive call: the drive is selected again with it, so that no other call between can
    // make the table another drive's.
    int32_t count = 0;
    std::vector<CR_TocEntry> records;
    const int code = onDriveThread([&] {
        api.setActiveCDROM(driveIndex);
        const int result = api.readToc();
        if (result != 0) return result;
        count = api.getNumTocEntries();
        for (int32_t i = 0; i <= count && count > 0; ++i) records.push_back(api.getTocEntry(i));
        return result;
    });
    RaiseRipError("cCDToc.fInit", code, true);
    count_ = count;
    if (count <= 0) return;
    build(driveIndex, records);
}

void cToc::build(int32_t driveIndex, const std::vector<CR_TocEntry>& records) {
    driveIndex_ = driveIndex;
    entries_.clear();
    count_ = records.empty() ? 0 : static_cast<int32_t>(records.size()) - 1;
    for (int32_t i = 0; i < count_; ++i) {
        const CR_TocEntry& r = records[static_cast<std::size_t>(i)];
        entries_.emplace_back(driveIndex, r.startSector, r.entryType, r.trackNumber,
                              records[static_cast<std::size_t>(i) + 1].startSector);
    }
    if (count_ <= 0) return;
    totalSectors_ = records.back().startSector + 150;
    computeCddbId();
}

void cToc::Refresh() { fInit(driveIndex_); }

const cTocEntry& cToc::Entry(int32_t i) const {
    if (i < 1 || i > static_cast<int32_t>(entries_.size())) {
        throw NumberedError(5, errorSource("cCDToc.Entry"), "Invalid procedure call or argument");
    }
    return entries_[static_cast<std::size_t>(i) - 1];
}

void cToc::computeCddbId() {
    int32_t sum = 0;
    for (const cTocEntry& e : entries_) {
        const int32_t t = e.StartTimeMinutes() * 60 + e.StartTimeSeconds();
        if (t >= 1) sum += digitSum(t);
    }
    const int32_t leadSeconds = totalSectors_ / 4500 * 60 + totalSectors_ / 75 % 60;
    const int32_t firstSeconds = entries_.front().StartTimeMinutes() * 60 + entries_.front().StartTimeSeconds();
    // 32-bit shifts: bits above bit 31 are dropped; bit 31 makes the value negative.
    const uint32_t id = (static_cast<uint32_t>(sum % 255) << 24) |
                        (static_cast<uint32_t>(leadSeconds - firstSeconds) << 8) |
                        static_cast<uint32_t>(count_);
    cddbId_ = static_cast<int32_t>(id);
}

std::string cToc::CDDBQuery() const {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", static_cast<uint32_t>(cddbId_));
    std::string query = "cddb query " + std::string(hex) + " " + std::to_string(count_);
    for (const cTocEntry& e : entries_) query += " " + std::to_string(e.Offset());
    query += " " + std::to_string(TotalLengthSeconds());
    for (char& c : query) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return query;
}

}  // namespace brisko::cdripper
