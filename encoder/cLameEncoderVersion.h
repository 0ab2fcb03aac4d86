// cLameEncoderVersion: the encoder library's version record, read once when the object is made.
#pragma once

#include <chrono>
#include <string>

#include "platform/lameencshim/LameEncShim.h"

class cLameEncoderVersion {
public:
    // Reads the record through the library; raises brisko::NumberedError when it cannot be bound.
    cLameEncoderVersion();
    // From a record already read (tests).
    explicit cLameEncoderVersion(const brisko::lameenc::Version& record);

    int DllMajorVersion() const { return record_.dllMajorVersion; }
    int DllMinorVersion() const { return record_.dllMinorVersion; }
    int MajorVersion() const { return record_.majorVersion; }
    int MinorVersion() const { return record_.minorVersion; }
    int AlphaLevel() const { return record_.alphaLevel; }
    int BetaLevel() const { return record_.betaLevel; }
    int MMXEnabled() const { return record_.mmxEnabled; }
    // The release date; the zero date (year 0, month 0, day 0) when the record's year, month and
    // day form no valid date.
    std::chrono::year_month_day ReleaseDate() const;
    // The home page text up to its first NUL, at most 129 characters.
    std::string HomePage() const;

private:
    brisko::lameenc::Version record_;
};
