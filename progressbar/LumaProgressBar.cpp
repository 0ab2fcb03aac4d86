// The control: its drawing surface, property setters, events passed on from the surface, and
// the repaint through the bar painter.
#include "LumaProgressBar.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QtDebug>
#include <utility>

#include "BarPainter.h"
#include "ColorCode.h"
#include "LumaError.h"
#include "PictureSurface.h"
#include "frmAbout.h"
#include "ui/KeyCodes.h"

using lumabar::LumaError;

namespace {

// Mouse positions reach hosts in twips of the surface, 15 to a pixel.
constexpr float TwipsPerPixel = 15.0F;

qint16 buttonCode(Qt::MouseButtons buttons) {
    qint16 code = 0;
    if (buttons & Qt::LeftButton) code |= 1;
    if (buttons & Qt::RightButton) code |= 2;
    if (buttons & Qt::MiddleButton) code |= 4;
    return code;
}

// The key code of a key event: the virtual-key table, plus the modifier keys, which report
// their own codes when pressed alone.
qint16 keyCode(const QKeyEvent& event) {
    switch (event.key()) {
        case Qt::Key_Shift:
            return 16;
        case Qt::Key_Control:
            return 17;
        case Qt::Key_Alt:
            return 18;
        default:
            return static_cast<qint16>(brisko::ui::virtualKeyCode(event));
    }
}

bool isVertical(qint32 orientation) {
    return orientation != 0;
}

}  // namespace

LumaProgressBar::LumaProgressBar(QWidget* parent)
    : QWidget(parent),
      Picture1(new lumabar::PictureSurface(this,
                                           [this](QPainter& painter, int width, int height) {
                                               paintSurface(painter, width, height);
                                           })),
      backColor_(lumabar::ButtonFaceColor),
      foreColor_(lumabar::BlueColor) {
    setFocusProxy(Picture1);
    // Hosts get MouseMove with no button held too.
    Picture1->setMouseTracking(true);
    Picture1->installEventFilter(this);
    Picture1->setGeometry(rect());
}

LumaProgressBar::~LumaProgressBar() = default;

void LumaProgressBar::initProperties() {
    value_ = 50;
    min_ = 0;
    max_ = 100;
    orientation_ = 0;
    barText_ = QStringLiteral("%");
    foreColor_ = lumabar::BlueColor;
    pendingMin_.reset();
    pendingMax_.reset();
    Picture1->update();
}

qint32 LumaProgressBar::hWnd() const {
    // The native window the control draws in; it does not make the control a native window.
    return static_cast<qint32>(effectiveWinId());
}

void LumaProgressBar::markChanged(const QString& name) {
    emit propertyChanged(name);
}

void LumaProgressBar::setValue(double value) {
    value_ = static_cast<float>(value);
    markChanged(QStringLiteral("Value"));
    Picture1->update();
}

void LumaProgressBar::setBarText(const QString& text) {
    barText_ = text;
    markChanged(QStringLiteral("BarText"));
    Picture1->update();
}

void LumaProgressBar::setBackColor(int code) {
    backColor_ = code;
    markChanged(QStringLiteral("BackColor"));
    Picture1->update();
}

void LumaProgressBar::setForeColor(int code) {
    foreColor_ = code;
    markChanged(QStringLiteral("ForeColor"));
    Picture1->update();
}

void LumaProgressBar::setMin(double min) {
    const auto newMin = static_cast<float>(min);
    if (newMin > max_) throw LumaError::invalidPropertyValue(QStringLiteral("Min"));
    min_ = newMin;
    markChanged(QStringLiteral("Min"));
    Picture1->update();
}

void LumaProgressBar::setMax(double max) {
    const auto newMax = static_cast<float>(max);
    if (min_ > newMax) throw LumaError::invalidPropertyValue(QStringLiteral("Max"));
    max_ = newMax;
    markChanged(QStringLiteral("Max"));
    Picture1->update();
}

void LumaProgressBar::setRange(double min, double max) {
    const auto newMin = static_cast<float>(min);
    const auto newMax = static_cast<float>(max);
    if (newMin > newMax) throw LumaError::invalidPropertyValue(QStringLiteral("Min"));
    min_ = newMin;
    max_ = newMax;
    markChanged(QStringLiteral("Min"));
    markChanged(QStringLiteral("Max"));
    Picture1->update();
}

void LumaProgressBar::storeOrientation(qint32 orientation) {
    orientation_ = orientation;
    markChanged(QStringLiteral("Orientation"));
    Picture1->update();
}

void LumaProgressBar::setOrientation(int orientation) {
    const bool turns = isVertical(orientation) != isVertical(orientation_);
    storeOrientation(orientation);
    // A horizontal bar becomes an upright one of the same proportions; the resize repaints it.
    // Changing between two vertical values keeps the shape.
    if (turns) resize(height(), width());
}

void LumaProgressBar::writeOrientation(int orientation) {
    // A form being loaded sets the size it saved first, then Orientation: that size is already
    // the turned one.
    if (!shownOnce_) {
        storeOrientation(orientation);
        return;
    }
    setOrientation(orientation);
}

void LumaProgressBar::setBorderStyle(int style) {
    if (style != 0 && style != 1) {
        refuse(QStringLiteral("BorderStyle"));
        return;
    }
    borderStyle_ = static_cast<qint16>(style);
    Picture1->setBorderStyle(style);
    markChanged(QStringLiteral("BorderStyle"));
}

void LumaProgressBar::refuse(const QString& property) {
    const LumaError error = LumaError::invalidPropertyValue(property);
    lastRefusal_ = property;
    qWarning().noquote() << error.source() << error.number() << error.description();
}

void LumaProgressBar::applyPendingBounds() {
    const float min = pendingMin_.value_or(min_);
    const float max = pendingMax_.value_or(max_);
    if (min > max) return;  // the other bound has not arrived yet
    pendingMin_.reset();
    pendingMax_.reset();
    setRange(min, max);
}

void LumaProgressBar::writeMin(double min) {
    if (!shownOnce_) {
        pendingMin_ = static_cast<float>(min);
        applyPendingBounds();
        return;
    }
    try {
        setMin(min);
    } catch (const LumaError&) {
        refuse(QStringLiteral("Min"));
    }
}

void LumaProgressBar::writeMax(double max) {
    if (!shownOnce_) {
        pendingMax_ = static_cast<float>(max);
        applyPendingBounds();
        return;
    }
    try {
        setMax(max);
    } catch (const LumaError&) {
        refuse(QStringLiteral("Max"));
    }
}

void LumaProgressBar::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    // A bound still waiting for the other one was never part of a valid pair: take each one
    // that fits on its own and refuse the rest.
    const auto waitingMin = std::exchange(pendingMin_, std::nullopt);
    const auto waitingMax = std::exchange(pendingMax_, std::nullopt);
    if (waitingMax) writeMax(*waitingMax);
    if (waitingMin) writeMin(*waitingMin);
}

void LumaProgressBar::Refresh() {
    Picture1->repaint();
}

void LumaProgressBar::ShowAbout() {
    lumabar::frmAbout about(this);
    about.exec();
}

int LumaProgressBar::versionMajor() {
    return LUMABAR_VERSION_MAJOR;
}
int LumaProgressBar::versionMinor() {
    return LUMABAR_VERSION_MINOR;
}
int LumaProgressBar::versionRevision() {
    return LUMABAR_VERSION_PATCH;
}

QSize LumaProgressBar::sizeHint() const {
    return {200, 20};
}

void LumaProgressBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Picture1->setGeometry(rect());
}

void LumaProgressBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        markChanged(QStringLiteral("Font"));
        Picture1->update();
    } else if (event->type() == QEvent::PaletteChange) {
        Picture1->update();  // system colours follow the palette
    }
}

void LumaProgressBar::paintSurface(QPainter& painter, int width, int height) const {
    lumabar::BarLook look;
    look.value = value_;
    look.min = min_;
    look.max = max_;
    look.orientation = orientation_;
    look.barText = barText_;
    look.back = lumabar::translateColor(backColor_, palette());
    look.fore = lumabar::translateColor(foreColor_, palette());
    lumabar::paintBar(painter, width, height, look);
}

bool LumaProgressBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Picture1) {
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
                forwardMouse(event);
                break;
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                forwardKey(event);
                break;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void LumaProgressBar::forwardMouse(QEvent* event) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const QPointF at = mouse->position() - QPointF(Picture1->contentsRect().topLeft());
    const auto shift = static_cast<qint16>(brisko::ui::modifierMask(mouse->modifiers()));
    const float x = static_cast<float>(at.x()) * TwipsPerPixel;
    const float y = static_cast<float>(at.y()) * TwipsPerPixel;
    switch (event->type()) {
        case QEvent::MouseButtonPress:
            emit MouseDown(buttonCode(mouse->button()), shift, x, y);
            break;
        case QEvent::MouseMove:
            emit MouseMove(buttonCode(mouse->buttons()), shift, x, y);
            break;
        case QEvent::MouseButtonDblClick:
            // The second press of a double click: DblClick takes the place of the Click.
            if (mouse->button() == Qt::LeftButton) {
                doubleClicked_ = true;
                emit DblClick();
            }
            break;
        case QEvent::MouseButtonRelease: {
            emit MouseUp(buttonCode(mouse->button()), shift, x, y);
            const bool afterDouble = std::exchange(doubleClicked_, false);
            if (mouse->button() == Qt::LeftButton && !afterDouble &&
                Picture1->rect().contains(mouse->position().toPoint()))
                emit Click();
            break;
        }
        default:
            break;
    }
}

void LumaProgressBar::forwardKey(QEvent* event) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto shift = static_cast<qint16>(brisko::ui::modifierMask(key->modifiers()));
    const qint16 code = keyCode(*key);
    if (event->type() == QEvent::KeyPress) {
        if (code != 0) emit KeyDown(code, shift);
        // KeyPress carries the character typed, when it is one of the 8-bit character set.
        const QString text = key->text();
        if (text.size() == 1 && text.at(0).unicode() < 256)
            emit KeyPress(static_cast<qint16>(text.at(0).unicode()));
    } else if (!key->isAutoRepeat() && code != 0) {
        emit KeyUp(code, shift);
    }
}
