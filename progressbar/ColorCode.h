// Colour codes as hosts store them: blue × 65536 + green × 256 + red for a plain colour, or a
// negative code (high bit set) naming a system colour, translated here to the RGB to draw with.
#pragma once

#include <QColor>
#include <QPalette>

#include "LumabarExport.h"

namespace lumabar {

// Common codes: the button-face system colour and plain blue.
inline constexpr qint32 ButtonFaceColor = -2147483633;  // hexadecimal 8000000F
inline constexpr qint32 BlueColor = 16711680;

// The RGB colour of CODE. A system colour is taken from PALETTE (the widget's own, so it follows
// the desktop theme); an unknown system colour index gives the palette's window colour.
LUMABAR_EXPORT QColor translateColor(qint32 code, const QPalette& palette);

// The code of a plain RGB colour (alpha is dropped).
LUMABAR_EXPORT qint32 colorCode(const QColor& color);

}  // namespace lumabar
