// The painting of the bar: the filled part in the fore colour, the rest in the back colour, and the
// centred percentage that reads back-on-fore over the bar and fore-on-back beside it.
#pragma once

#include <QColor>
#include <QRect>
#include <QString>

#include "LumabarExport.h"

class QPainter;

namespace lumabar {

struct BarLook {
    float value = 50;
    float min = 0;
    float max = 100;
    qint32 orientation = 0;  // 0 horizontal, anything else vertical
    QString barText = QStringLiteral("%");
    QColor back;
    QColor fore;
};

// (value − min) / (max − min). With max equal to min the range is one point: the bar is empty
// below it and full from it on. Never NaN or infinite (a value that is not a number reads as 0).
LUMABAR_EXPORT double barFraction(float value, float min, float max);

// The text in the middle of the bar: the fraction in whole percent ("#0", halves away from zero),
// followed by BAR_TEXT.
LUMABAR_EXPORT QString barCaption(double fraction, const QString& barText);

// The filled and unfilled parts of a W × H surface, both within it (a fraction outside 0..1
// fills nothing or everything).
struct BarParts {
    QRect filled;
    QRect unfilled;
};
LUMABAR_EXPORT BarParts barParts(double fraction, qint32 orientation, int width, int height);

// Paints LOOK on a W × H surface whose top-left is the painter's origin, in the painter's font.
LUMABAR_EXPORT void paintBar(QPainter& painter, int width, int height, const BarLook& look);

}  // namespace lumabar
