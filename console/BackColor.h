// Back colours of the console's controls as platform colour values (blue * 65536 + green * 256 +
// red; a negative value names a system colour). The value is kept on the control, because the
// handlers compare it, and the control is painted in the matching colour.
#pragma once

#include <QColor>
#include <cstdint>

class QWidget;

namespace brisko::console {

// The system button-face colour (0x8000000F).
inline constexpr int64_t kButtonFace = -2147483633;

QColor colorFromCode(int64_t code);
// Sets and paints the back colour of W.
void setBackColor(QWidget* w, int64_t code);
// The back colour last set on W; kButtonFace for a button never coloured, white (16777215) for
// other controls.
int64_t backColor(const QWidget* w);

}  // namespace brisko::console
