// The drawing surface: border, then the bar in the area inside the border.
#include "PictureSurface.h"

#include <QPainter>

namespace lumabar {

PictureSurface::PictureSurface(QWidget* parent, PaintFunction paint)
    : QFrame(parent), paint_(std::move(paint)) {
    setObjectName(QStringLiteral("Picture1"));
    setFocusPolicy(Qt::StrongFocus);
    // The surface paints every pixel inside its border itself.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBorderStyle(1);
}

void PictureSurface::setBorderStyle(int style) {
    if (style == 0) {
        setFrameStyle(QFrame::NoFrame);
    } else {
        setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    }
}

void PictureSurface::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    const QRect inner = contentsRect();
    if (inner.isEmpty()) return;
    QPainter painter(this);
    painter.setClipRect(inner);
    painter.translate(inner.topLeft());
    painter.setFont(font());
    paint_(painter, inner.width(), inner.height());
}

}  // namespace lumabar
