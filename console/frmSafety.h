// The safety settings window (Options, "On-Air Safety..."): the dead-air alarm's threshold and
// hold time, the alarm for a long time with nothing played, and the optional start of the index
// deck. Kept in brisko-safety.ini, never in brisko.ini.
#pragma once

#include <QDialog>

#include "showlog/DeadAir.h"

class QCheckBox;
class QDoubleSpinBox;
class QSpinBox;

class frmSafety : public QDialog {
    Q_OBJECT
public:
    frmSafety(const brisko::showlog::DeadAirSettings& settings, QWidget* parent = nullptr);
    brisko::showlog::DeadAirSettings settings() const;

    QDoubleSpinBox* txtThreshold = nullptr;  // dBFS
    QDoubleSpinBox* txtHold = nullptr;       // seconds
    QCheckBox* chkIdle = nullptr;
    QSpinBox* txtIdleMinutes = nullptr;
    QCheckBox* chkStartIndex = nullptr;
    QSpinBox* txtOutro = nullptr;  // seconds; 0 = off
};
