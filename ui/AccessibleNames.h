// Names for a screen reader, given where a control is made. A control that shows a value in its
// caption (a fade button's volume, a clip button's clip, a length label's time) is named by what
// it is and whose it is, followed by what it shows: "Deck 3 fade, volume 98", "Clip 17, Station
// ID, playing", "Deck 3 length, 03:12". The caption stays as it is; the name follows it, and a
// caption change is announced as a name change.
#pragma once

#include <QString>
#include <QVariantMap>

class QAbstractButton;
class QLabel;
class QWidget;

namespace brisko::ui {

struct ShownValue {
    QString prefix;     // put before what the caption shows ("volume ")
    QVariantMap words;  // captions read as words instead ("F" -> "full volume")
    QString checked;    // said after the value while a checkable button is down ("playing")
    QString empty;      // said when the caption is empty ("empty"); nothing when not given
};

// BUTTON is read as BASE, then what its caption shows.
void nameWithValue(QAbstractButton* button, const QString& base, const ShownValue& shown = {});
// LABEL is read as BASE, then its text.
void nameWithValue(QLabel* label, const QString& base, const ShownValue& shown = {});
// The name a control so named reads as now (for tests and for other names built on it).
QString valueName(const QWidget* widget);

// Sets the accessible name and, when given, the description of WIDGET.
void nameControl(QWidget* widget, const QString& name, const QString& description = QString());

}  // namespace brisko::ui
