// Seams of the media channel for tests and benchmarks: where its command strings go, and the
// reply conversions it applies.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/mci/Mci.h"

namespace brisko {

using MciSender = std::function<mci::MciError(const std::string& command, std::string* reply)>;

// Sends the channel's commands to SENDER instead of the media control interface; an empty
// function restores the interface.
void setMciSenderForTesting(MciSender sender);

// The leading number of a reply: optional blanks and sign, digits, an optional fraction;
// anything else ends it, and an empty text gives 0.
double leadingNumber(const std::string& text);

// Rounds to the nearest 32-bit integer, halves to even; -1 when the value does not fit.
int32_t roundToInt32(double value);

}  // namespace brisko
