// The Clip Player's key bindings: which key code plays which button, and the key label of each
// button.
#pragma once

#include <QString>

namespace brisko::clip {

// The button (0..47) a key code plays, or -1. Top-row digits 1..9, 0 are buttons 0..9, letters
// A..Z 10..35, number-pad 1..9 36..44, number-pad 0 45, its decimal point 46, its "*" 47.
int buttonForKey(int keyCode);
// The key label of button B ("1", "A", "Num 1", "Num .", "Num *").
QString keyLabel(int b);

}  // namespace brisko::clip
