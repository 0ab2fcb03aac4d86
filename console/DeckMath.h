// Numbers and time texts of the deck console: rounding, numbers typed into boxes, clock and
// length texts, and the sums behind the start-time chain and the total time.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace brisko {
struct TimeOfDay;
}

namespace brisko::console {

// Rounds to the nearest whole number, halves to even. Empty for NaN, infinity or a result that
// does not fit 32 bits (the caller abandons that step).
std::optional<int32_t> roundToInt32(double value);

// The number at the start of TEXT: blanks skipped, optional sign, digits, optional fraction and
// exponent; anything after it is ignored; no number gives 0.
double leadingValue(const QString& text);

// "hh:mm:ss" of the time of day SECONDS after midnight (wraps at a day; negative counts back).
QString clockText(int64_t seconds);
QString clockText(const TimeOfDay& time);
// "mm:ss" of the time of day SECONDS after midnight: characters 4 to 8 of clockText, so a length
// of an hour or more wraps.
QString minutesSeconds(int64_t seconds);

// The start time that follows START ("hh:mm:ss": hours before the first ':', the two characters
// after it minutes, the two after the next ':' seconds) after LENGTH seconds, as "hh:mm:ss".
// Empty when START cannot be read that way.
std::optional<QString> addToClock(const QString& start, int64_t length);

// Total time text: hours, minutes, seconds each at least two digits, joined by ':'.
QString totalTimeText(int64_t hours, int64_t minutes, int64_t seconds);

// A deck title: the file name without its last four characters (empty for shorter names).
QString titleOf(const QString& fileName);

}  // namespace brisko::console
