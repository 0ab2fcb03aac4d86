// The deck console's keyboard: every key press that reaches the main window runs three tables of
// deck commands (frmMain::keyPreview and frmMain::Form_KeyDown live in DeckKeys.cpp). These are
// the small sums the tables share.
#pragma once

#include <QString>
#include <cstdint>

namespace brisko::console {

// Nearest whole number, halves to the even neighbour; values past the 32-bit range saturate.
int64_t roundHalfEven(double value);

// The fade button's caption after a volume key: the volume read before the step, except that a
// raise from full volume (above 99) shows "F".
QString volumeKeyCaption(int volumeBefore, bool up);

// The fade button's caption when the duck ends: "F" for full volume, else the volume.
QString unduckCaption(int32_t savedVolume);

// Percent played, |position * 100 / length| rounded half to even; -1 when LENGTH is 0, where no
// percent can be given.
int64_t percentPlayed(int64_t position, int64_t length);

}  // namespace brisko::console
