// cTocEntry: sizes and formatted times of one track.
#include "cdripper/cTocEntry.h"

#include <cmath>
#include <cstdio>

namespace brisko::cdripper {

cTocEntry::cTocEntry(int32_t driveIndex, int32_t startSector, int32_t entryType, uint8_t trackNumber,
                     int32_t endSector)
    : driveIndex_(driveIndex), startSector_(startSector), endSector_(endSector),
      trackNumber_(trackNumber), entryType_(entryType) {}

int32_t cTocEntry::SizeBytes() const {
    const double bytes = std::round(static_cast<double>(length()) * 4.0 / 75.0 * 44100.0);
    if (bytes > INT32_MAX || bytes < INT32_MIN) return bytes > 0 ? INT32_MAX : INT32_MIN;
    return static_cast<int32_t>(bytes);
}

std::string formatDiscTime(int32_t minutes, int32_t seconds, int32_t frames) {
    char text[32];
    const long scaled = std::lround(frames * 60.0 / 75.0);
    std::snprintf(text, sizeof text, "%d:%02d.%02ld", minutes, seconds, scaled);
    return text;
}

std::string cTocEntry::FormattedStartTime() const {
    return formatDiscTime(StartTimeMinutes(), StartTimeSeconds(), StartTimeFrames());
}

std::string cTocEntry::FormattedLength() const {
    return formatDiscTime(LengthMinutes(), LengthSeconds(), LengthFrames());
}

}  // namespace brisko::cdripper
