// The control's persisted properties: written in a fixed order with their defaults (an entry
// equal to its default is left out) and read back with the same names.
#include <QApplication>

#include "ColorCode.h"
#include "LumaProgressBar.h"
#include "PictureSurface.h"
#include "PropertyBag.h"

namespace {

// The defaults a loaded control assumes for missing entries.
const QVariant DefaultBackColor(qint32{lumabar::ButtonFaceColor});
const QVariant DefaultForeColor(qint32{lumabar::BlueColor});
const QVariant DefaultValue(50.0F);
const QVariant DefaultMin(0.0F);
const QVariant DefaultMax(100.0F);
const QVariant DefaultBarText(QStringLiteral("%"));
const QVariant DefaultOrientation(qint32{0});
const QVariant DefaultBorderStyle(qint32{1});
const QVariant DefaultDragMode(qint32{0});
const QVariant DefaultDropMode(qint32{0});

}  // namespace

QFont LumaProgressBar::ambientFont() const {
    return parentWidget() != nullptr ? parentWidget()->font() : QApplication::font(this);
}

void LumaProgressBar::writeProperties(lumabar::PropertyBag& bag) const {
    bag.writeProperty(QStringLiteral("BackColor"), qint32{backColor_}, DefaultBackColor);
    bag.writeProperty(QStringLiteral("ForeColor"), qint32{foreColor_}, DefaultForeColor);
    bag.writeProperty(QStringLiteral("Font"), font(), ambientFont());
    bag.writeProperty(QStringLiteral("Value"), value_, DefaultValue);
    bag.writeProperty(QStringLiteral("Min"), min_, DefaultMin);
    bag.writeProperty(QStringLiteral("Max"), max_, DefaultMax);
    bag.writeProperty(QStringLiteral("BarText"), barText_, DefaultBarText);
    bag.writeProperty(QStringLiteral("Orientation"), qint32{orientation_}, DefaultOrientation);
    bag.writeProperty(QStringLiteral("BorderStyle"), qint32{borderStyle_}, DefaultBorderStyle);
    bag.writeProperty(QStringLiteral("OLEDragMode"), qint32{oleDragMode_}, DefaultDragMode);
    bag.writeProperty(QStringLiteral("OLEDropMode"), qint32{oleDropMode_}, DefaultDropMode);
}

void LumaProgressBar::readProperties(const lumabar::PropertyBag& bag) {
    setBackColor(bag.readProperty(QStringLiteral("BackColor"), DefaultBackColor).toInt());
    setForeColor(bag.readProperty(QStringLiteral("ForeColor"), DefaultForeColor).toInt());

    const QFont ambient = ambientFont();
    const auto font = bag.readProperty(QStringLiteral("Font"), ambient).value<QFont>();
    // The host's font is inherited rather than copied, so the control follows later changes.
    setFont(font == ambient ? QFont() : font);

    setValue(bag.readProperty(QStringLiteral("Value"), DefaultValue).toFloat());

    // The bounds come back together: one at a time, a pair that was valid when saved (150 to
    // 250, or -300 to -200) would be refused against the other bound's current value.
    const float min = bag.readProperty(QStringLiteral("Min"), DefaultMin).toFloat();
    const float max = bag.readProperty(QStringLiteral("Max"), DefaultMax).toFloat();
    pendingMin_.reset();
    pendingMax_.reset();
    if (min <= max) {
        setRange(min, max);
    } else {
        // Only a damaged store holds such a pair: keep the bounds the control has.
        refuse(QStringLiteral("Min"));
    }

    // The host has already given the control its saved size: an upright control stays upright
    // and keeps its shape, so no width-height swap here.
    storeOrientation(bag.readProperty(QStringLiteral("Orientation"), DefaultOrientation).toInt());

    setBarText(bag.readProperty(QStringLiteral("BarText"), DefaultBarText).toString());
    setBorderStyle(bag.readProperty(QStringLiteral("BorderStyle"), DefaultBorderStyle).toInt());
    oleDragMode_ = bag.readProperty(QStringLiteral("OLEDragMode"), DefaultDragMode).toInt();
    oleDropMode_ = bag.readProperty(QStringLiteral("OLEDropMode"), DefaultDropMode).toInt();
    Picture1->setAcceptDrops(oleDropMode_ != 0);
}
