// ProgressBarDrawing: background in the window colours, the filled part in the highlight colours,
// and the text centred over both (in the bar's text colour where it lies on the bar).
#include "encoder/ProgressBarDrawing.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <algorithm>

ProgressBarDrawing::ProgressBarDrawing() {
    const QPalette palette = QApplication::palette();
    BackColor = palette.color(QPalette::Base);
    ForeColor = palette.color(QPalette::Text);
    BarColor = palette.color(QPalette::Highlight);
    BarTextColor = palette.color(QPalette::HighlightedText);
}

double ProgressBarDrawing::Percent() const {
    if (!(Max > Min)) return 0.0;
    return std::clamp((Value - Min) / (Max - Min) * 100.0, 0.0, 100.0);
}

QPixmap ProgressBarDrawing::render(const QSize& size) const {
    QPixmap pixmap(size.expandedTo(QSize(1, 1)));
    QPainter painter(&pixmap);
    const QRect all = pixmap.rect();
    const int filled = static_cast<int>(all.width() * Percent() / 100.0 + 0.5);
    const QRect bar(all.left(), all.top(), filled, all.height());
    painter.fillRect(all, BackColor);
    painter.fillRect(bar, BarColor);
    if (ShowText && !Text.isEmpty()) {
        painter.setPen(ForeColor);
        painter.drawText(all, Qt::AlignCenter, Text);
        painter.setClipRect(bar);
        painter.setPen(BarTextColor);
        painter.drawText(all, Qt::AlignCenter, Text);
    }
    return pixmap;
}
