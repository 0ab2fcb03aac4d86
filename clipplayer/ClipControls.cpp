// The small controls of a clip button.
#include "clipplayer/ClipControls.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <cmath>

#include "clipplayer/ClipState.h"
#include "console/BackColor.h"

namespace brisko::clip {

QColor colourOf(double code) {
    if (!std::isfinite(code) || code > 2147483647.0 || code < -2147483648.0) return QColor(Qt::black);
    return console::colorFromCode(static_cast<int64_t>(code));
}

ClipButton::ClipButton(QWidget* parent) : QPushButton(parent) {
    setCheckable(true);
    setMouseTracking(true);
    setColours(back_, text_);
}

void ClipButton::setColours(double back, double text) {
    back_ = back;
    text_ = text;
    const QColor b = colourOf(back);
    const QColor t = colourOf(text);
    // A style sheet, so the colours stay plain whatever the style; pressed (playing) buttons sink.
    setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2;"
                                 " border: 2px outset #808080; border-radius: 2px; }"
                                 " QPushButton:checked { border: 3px inset #202020; }"
                                 " QPushButton:disabled { color: #9a9a9a; }")
                      .arg(b.name(), t.name()));
}

void ClipButton::setMissingPicture(bool shown) {
    missing_ = shown;
    if (!shown) {
        setIcon(QIcon());
        return;
    }
    // Shown only while disabled: the picture is the button's disabled picture.
    // Read by its exact bytes (the program folder's name need not be UTF-8), once while cached.
    static const QString kCacheKey = QStringLiteral("brisko-clip-x.gif");
    QPixmap picture;
    QByteArray bytes;
    if (!QPixmapCache::find(kCacheKey, &picture)) {
        if (const QString path = shippedFile(QStringLiteral("x.gif")); !path.isEmpty() && readWhole(path, &bytes))
            picture.loadFromData(bytes);
        if (!picture.isNull()) QPixmapCache::insert(kCacheKey, picture);
    }
    if (picture.isNull()) {
        picture = QPixmap(32, 32);
        picture.fill(Qt::transparent);
        QPainter p(&picture);
        p.setPen(QPen(QColor(200, 0, 0), 5));
        p.drawLine(4, 4, 28, 28);
        p.drawLine(28, 4, 4, 28);
    }
    QPixmap none(picture.size());
    none.fill(Qt::transparent);
    QIcon icon;
    icon.addPixmap(none, QIcon::Normal);
    icon.addPixmap(picture, QIcon::Disabled);
    setIcon(icon);
    setIconSize(picture.size().boundedTo(QSize(40, 40)));
}

void ClipButton::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(event->button());
    if (event->button() == Qt::LeftButton) QPushButton::mousePressEvent(event);
}

void ClipButton::mouseMoveEvent(QMouseEvent* event) {
    emit MouseMove();
    QPushButton::mouseMoveEvent(event);
}

void ClipButton::enterEvent(QEnterEvent* event) {
    emit MouseMove();
    QPushButton::enterEvent(event);
}

StatusLight::StatusLight(QWidget* parent) : QWidget(parent) {}

void StatusLight::setColour(double code) {
    if (code == colour_) return;
    colour_ = code;
    update();
}

void StatusLight::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(colourOf(colour_));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
}

ClickBox::ClickBox(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignCenter);
}

void ClickBox::mousePressEvent(QMouseEvent* event) {
    emit Click();
    QLineEdit::mousePressEvent(event);
}

}  // namespace brisko::clip
