// How the media channel reads numbers out of reply texts; other readers of the same kind of text
// (the Clip Player's colour fields) use the same rules.
#pragma once

#include <cstdint>
#include <string>

namespace brisko {

// The leading number of a text: optional blanks and sign, digits, an optional fraction;
// anything else ends it, and an empty text gives 0.
double leadingNumber(const std::string& text);

// Rounds to the nearest 32-bit integer, halves to even; -1 when the value does not fit.
int32_t roundToInt32(double value);

}  // namespace brisko
