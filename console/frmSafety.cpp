// The safety settings window.
#include "console/frmSafety.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/AccessibleNames.h"

frmSafety::frmSafety(const brisko::showlog::DeadAirSettings& s, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSafety"));
    setWindowTitle(QStringLiteral("On-Air Safety"));
    auto* form = new QFormLayout;
    txtThreshold = new QDoubleSpinBox(this);
    txtThreshold->setObjectName(QStringLiteral("txtThreshold"));
    txtThreshold->setRange(-96, -1);
    txtThreshold->setDecimals(0);
    txtThreshold->setSuffix(QStringLiteral(" dBFS"));
    txtThreshold->setValue(s.thresholdDbfs);
    form->addRow(QStringLiteral("Silence is below"), txtThreshold);
    txtHold = new QDoubleSpinBox(this);
    txtHold->setObjectName(QStringLiteral("txtHold"));
    txtHold->setRange(1, 600);
    txtHold->setDecimals(1);
    txtHold->setSuffix(QStringLiteral(" s"));
    txtHold->setValue(s.holdSeconds);
    form->addRow(QStringLiteral("Dead air after silence while playing of"), txtHold);
    chkIdle = new QCheckBox(QStringLiteral("Also alarm when nothing has played for"), this);
    chkIdle->setObjectName(QStringLiteral("chkIdle"));
    chkIdle->setChecked(s.idleMinutes > 0);
    txtIdleMinutes = new QSpinBox(this);
    txtIdleMinutes->setObjectName(QStringLiteral("txtIdleMinutes"));
    txtIdleMinutes->setRange(1, 1440);
    txtIdleMinutes->setSuffix(QStringLiteral(" min"));
    txtIdleMinutes->setValue(s.idleMinutes > 0 ? s.idleMinutes : 5);
    txtIdleMinutes->setEnabled(chkIdle->isChecked());
    connect(chkIdle, &QCheckBox::toggled, txtIdleMinutes, &QWidget::setEnabled);
    form->addRow(chkIdle, txtIdleMinutes);
    chkStartIndex =
        new QCheckBox(QStringLiteral("On dead air, start the index deck (as Space)"), this);
    chkStartIndex->setObjectName(QStringLiteral("chkStartIndex"));
    chkStartIndex->setChecked(s.startIndexDeck);
    form->addRow(chkStartIndex);
    txtOutro = new QSpinBox(this);
    txtOutro->setObjectName(QStringLiteral("txtOutro"));
    txtOutro->setRange(0, 600);
    txtOutro->setSuffix(QStringLiteral(" s"));
    txtOutro->setSpecialValueText(QStringLiteral("off"));
    txtOutro->setValue(s.outroWarningSeconds);
    form->addRow(QStringLiteral("Say when the current deck ends in"), txtOutro);
    using brisko::ui::nameControl;
    nameControl(txtThreshold, QStringLiteral("Silence threshold in dBFS"),
                QStringLiteral("Below this level on both channels the air counts as silent"));
    nameControl(txtHold, QStringLiteral("Dead air hold time in seconds"),
                QStringLiteral("Silence this long while a deck or clip plays raises the alarm"));
    nameControl(chkIdle, QStringLiteral("Alarm when nothing has played"));
    nameControl(txtIdleMinutes, QStringLiteral("Minutes with nothing played before the alarm"));
    nameControl(chkStartIndex, QStringLiteral("On dead air, start the index deck"));
    nameControl(txtOutro, QStringLiteral("Outro warning, seconds before the current deck ends"),
                QStringLiteral("Said in the status line, never heard on air; 0 is off"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

brisko::showlog::DeadAirSettings frmSafety::settings() const {
    brisko::showlog::DeadAirSettings s;
    s.thresholdDbfs = txtThreshold->value();
    s.holdSeconds = txtHold->value();
    s.idleMinutes = chkIdle->isChecked() ? txtIdleMinutes->value() : 0;
    s.startIndexDeck = chkStartIndex->isChecked();
    s.outroWarningSeconds = txtOutro->value();
    return s;
}
