// Fractions of the client size for every control.
#include "console/ProportionalLayout.h"

#include <QFont>
#include <QWidget>
#include <cmath>

namespace brisko::console {

void ProportionalLayout::add(QWidget* w) {
    if (w != nullptr) widgets_.push_back(w);
}

void ProportionalLayout::record(QSize design) {
    entries_.clear();
    if (design.width() <= 0 || design.height() <= 0) return;
    const double w = design.width();
    const double h = design.height();
    for (QWidget* widget : widgets_) {
        Entry e;
        e.widget = widget;
        const QRect g = widget->geometry();
        e.left = g.x() / w;
        e.width = g.width() / w;
        e.top = g.y() / h;
        e.height = g.height() / h;
        const QFont font = widget->font();
        e.pixelFont = font.pointSizeF() <= 0;
        e.font = (e.pixelFont ? font.pixelSize() : font.pointSizeF()) / h;
        entries_.push_back(e);
    }
}

void ProportionalLayout::apply(QSize size) const {
    if (size.width() <= 0 || size.height() <= 0) return;
    const double w = size.width();
    const double h = size.height();
    for (const Entry& e : entries_) {
        const int left = static_cast<int>(std::lround(e.left * w));
        const int top = static_cast<int>(std::lround(e.top * h));
        const int right = static_cast<int>(std::lround((e.left + e.width) * w));
        const int bottom = static_cast<int>(std::lround((e.top + e.height) * h));
        e.widget->setGeometry(left, top, std::max(1, right - left), std::max(1, bottom - top));
        if (e.font <= 0) continue;
        QFont font = e.widget->font();
        if (e.pixelFont)
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(e.font * h))));
        else
            font.setPointSizeF(std::max(1.0, e.font * h));
        e.widget->setFont(font);
    }
}

}  // namespace brisko::console
