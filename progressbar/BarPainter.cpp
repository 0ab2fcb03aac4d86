// The bar's painting, step by step: colours, fraction, caption, filled part with its text, then
// the unfilled part with the same text in the other colours.
#include "BarPainter.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace lumabar {
namespace {

// Far beyond any surface: keeps the rounding to pixels and the caption of a wild value finite.
constexpr double FractionLimit = 1e9;

// X × Y rounded to a pixel, kept between −1 and LIMIT + 1 before it becomes an int.
int roundedPixel(double x, int limit) {
    return static_cast<int>(std::lround(std::clamp(x, -1.0, static_cast<double>(limit) + 1.0)));
}

}  // namespace

double barFraction(float value, float min, float max) {
    const double v = value;
    const double lo = min;
    const double hi = max;
    double f = 0;
    if (hi == lo) {
        f = v < lo ? 0.0 : 1.0;
    } else {
        f = (v - lo) / (hi - lo);
    }
    if (std::isnan(f)) return 0.0;
    return std::clamp(f, -FractionLimit, FractionLimit);
}

QString barCaption(double fraction, const QString& barText) {
    // std::round takes halves away from zero; adding 0.0 turns a rounded −0 into 0.
    const double percent = std::round(fraction * 100.0) + 0.0;
    return QString::number(percent, 'f', 0) + barText;
}

BarParts barParts(double fraction, qint32 orientation, int width, int height) {
    if (orientation == 0) {
        const int right = std::clamp(roundedPixel(fraction * width, width), 0, width);
        return {QRect(0, 0, right, height), QRect(right, 0, width - right, height)};
    }
    const int top = std::clamp(roundedPixel((1.0 - fraction) * height, height), 0, height);
    return {QRect(0, top, width, height - top), QRect(0, 0, width, top)};
}

void paintBar(QPainter& painter, int width, int height, const BarLook& look) {
    const double f = barFraction(look.value, look.min, look.max);
    const QString text = barCaption(f, look.barText);
    const QFontMetrics metrics(painter.font());
    const int tw = metrics.horizontalAdvance(text);
    const int th = metrics.height();
    const QPoint textAt(static_cast<int>(std::lround((width - tw) / 2.0)),
                        static_cast<int>(std::lround((height - th) / 2.0)) + metrics.ascent());
    const BarParts parts = barParts(f, look.orientation, width, height);

    painter.save();
    // The filled part: fore, with the text in the back colour where it lies over the bar.
    painter.setClipRect(parts.filled);
    painter.fillRect(parts.filled, look.fore);
    painter.setPen(look.back);
    if (!parts.filled.isEmpty()) painter.drawText(textAt, text);
    // The unfilled part: back, with the text in the fore colour.
    painter.setClipRect(parts.unfilled);
    painter.fillRect(parts.unfilled, look.back);
    painter.setPen(look.fore);
    if (!parts.unfilled.isEmpty()) painter.drawText(textAt, text);
    painter.restore();
}

}  // namespace lumabar
