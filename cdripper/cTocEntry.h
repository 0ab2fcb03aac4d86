// One track of a disc's table of contents: its sector range and the times and sizes derived from
// it (75 sectors a second, 2352 audio bytes a sector, disc time = sector + 150).
#pragma once

#include <cstdint>
#include <string>

namespace brisko::cdripper {

class cTocEntry {
public:
    cTocEntry() = default;
    cTocEntry(int32_t driveIndex, int32_t startSector, int32_t entryType, uint8_t trackNumber,
              int32_t endSector);

    int32_t DriveIndex() const { return driveIndex_; }
    int32_t StartSector() const { return startSector_; }
    int32_t EndSector() const { return endSector_; }  // exclusive
    uint8_t TrackNumber() const { return trackNumber_; }
    int32_t TOCEntryType() const { return entryType_; }

    int32_t Offset() const { return startSector_ + 150; }
    int32_t SizeBytes() const;

    int32_t StartTimeMinutes() const { return Offset() / 4500; }
    int32_t StartTimeSeconds() const { return Offset() / 75 % 60; }
    int32_t StartTimeFrames() const { return Offset() % 75; }
    int32_t LengthMinutes() const { return length() / 4500; }
    int32_t LengthSeconds() const { return length() / 75 % 60; }
    int32_t LengthFrames() const { return length() % 75; }

    // "m:ss.ff": minutes, seconds, and the frames scaled by 60/75 and rounded, two digits.
    std::string FormattedStartTime() const;
    std::string FormattedLength() const;

private:
    int32_t length() const { return endSector_ - startSector_; }

    int32_t driveIndex_ = 0;
    int32_t startSector_ = 0;
    int32_t endSector_ = 0;
    uint8_t trackNumber_ = 0;
    int32_t entryType_ = 0;
};

// "m:ss.ff" of a time given as minutes, seconds and frames (75 to the second).
std::string formatDiscTime(int32_t minutes, int32_t seconds, int32_t frames);

}  // namespace brisko::cdripper
