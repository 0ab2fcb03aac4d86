// Painting platform colour values on Qt controls.
#include "console/BackColor.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace brisko::console {
namespace {
constexpr const char* kProperty = "brisko_BackColor";
}

QColor colorFromCode(int64_t code) {
    if (code < 0) return QApplication::palette().color(QPalette::Button);
    const int red = static_cast<int>(code & 0xff);
    const int green = static_cast<int>((code >> 8) & 0xff);
    const int blue = static_cast<int>((code >> 16) & 0xff);
    return QColor(red, green, blue);
}

void setBackColor(QWidget* w, int64_t code) {
    if (w == nullptr) return;
    w->setProperty(kProperty, QVariant::fromValue<qlonglong>(code));
    const bool button = qobject_cast<QAbstractButton*>(w) != nullptr;
    if (code < 0) {
        if (button) w->setStyleSheet(QString());
        w->setPalette(QApplication::palette(w));
        return;
    }
    const QColor back = colorFromCode(code);
    // Dark backgrounds (blue, red) get white text so captions stay readable.
    const double luminance = 0.299 * back.red() + 0.587 * back.green() + 0.114 * back.blue();
    const QColor text = luminance < 140 ? QColor(Qt::white) : QColor(Qt::black);
    if (button) {
        // A style sheet, because some styles blend a button's palette colour into a pale
        // gradient; on air the colours must be plain.
        w->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2;"
                                        " border: 1px solid #505050; border-radius: 3px; }"
                                        " QPushButton:pressed { border: 2px inset #303030; }"
                                        " QPushButton:disabled { color: #9a9a9a; }")
                             .arg(back.name(), text.name()));
        return;
    }
    QPalette palette = QApplication::palette(w);
    palette.setColor(QPalette::Base, back);
    palette.setColor(QPalette::Text, text);
    w->setPalette(palette);
}

int64_t backColor(const QWidget* w) {
    if (w == nullptr) return 0;
    const QVariant value = w->property(kProperty);
    if (value.isValid()) return value.toLongLong();
    return qobject_cast<const QAbstractButton*>(w) != nullptr ? kButtonFace : 16777215;
}

}  // namespace brisko::console
