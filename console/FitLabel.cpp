// Draws a label's word-wrapped text at the largest size up to its own at which all of it fits.
#include "console/FitLabel.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace brisko::console {
namespace {

constexpr double kSmallestPoints = 5.0;
constexpr double kStepPoints = 0.5;

int textFlags(const QLabel& label) { return static_cast<int>(label.alignment()) | Qt::TextWordWrap; }

bool fits(const QFont& font, const QRect& box, int flags, const QString& text) {
    const QRect needed = QFontMetrics(font).boundingRect(box, flags, text);
    return needed.height() <= box.height() && needed.width() <= box.width();
}

}  // namespace

QFont FitLabel::fittedFont() const {
    QFont font = this->font();
    const QRect box = contentsRect();
    const int flags = textFlags(*this);
    if (text().isEmpty() || fits(font, box, flags, text())) return font;
    // A font in pixels (set by a layout that scales it) is measured in points from here on.
    double points = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    while (points > kSmallestPoints) {
        points = std::max(kSmallestPoints, points - kStepPoints);
        font.setPointSizeF(points);
        if (fits(font, box, flags, text())) break;
    }
    return font;
}

void FitLabel::paintEvent(QPaintEvent* event) {
    const QFont fitted = fittedFont();
    if (fitted == font()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(fitted);
    painter.setPen(palette().color(foregroundRole()));
    painter.drawText(contentsRect(), textFlags(*this), text());
}

}  // namespace brisko::console
