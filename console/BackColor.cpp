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
    QPalette palette = QApplication::palette(w);
    if (code >= 0) {
        const QColor back = colorFromCode(code);
        // Dark backgrounds (blue, red) get white text so captions stay readable.
        const QColor text = back.lightness() < 110 ? QColor(Qt::white) : QColor(Qt::black);
        const bool button = qobject_cast<QAbstractButton*>(w) != nullptr;
        palette.setColor(button ? QPalette::Button : QPalette::Base, back);
        palette.setColor(button ? QPalette::ButtonText : QPalette::Text, text);
    }
    w->setPalette(palette);
}

int64_t backColor(const QWidget* w) {
    if (w == nullptr) return 0;
    const QVariant value = w->property(kProperty);
    if (value.isValid()) return value.toLongLong();
    return qobject_cast<const QAbstractButton*>(w) != nullptr ? kButtonFace : 16777215;
}

}  // namespace brisko::console
