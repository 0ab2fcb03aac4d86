// The time left under a playing clip button.
#pragma once

#include <QString>
#include <cstdint>

namespace brisko::clip {

// LENGTH / 1000 - POSITION / RATE seconds, rounded half to even, as "mm:ss" of a time of day
// (whole hours are dropped, a negative time wraps back from 60:00). Values of -1 (no answer) are
// used as they are; a rate of 0 counts as no position.
QString timeLeftText(int32_t length, int32_t position, int32_t rate);

}  // namespace brisko::clip
