// frmOptions: drive list, parameter boxes, and OK that stores the shown drive's values.
#include "cdripper/frmOptions.h"

#include "ui/AccessibleNames.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <climits>
#include <functional>

#include "platform/common/NumberedError.h"
#include "ui/Prompt.h"

using brisko::cdripper::cDrive;

const char* const kDriveTypeNames[20] = {
    "GENERIC", "TOSHIBA", "TOSHIBANEW", "IBM", "NEC", "DEC", "IMS", "KODAK", "RICOH", "HP",
    "PHILIPS", "PLASMON", "GRUNDIGCDR100IPW", "MITSUMICDR", "PLEXTOR", "SONY", "YAMAHA", "NRC",
    "IMSCDD5", "CUSTOMDRIVE"};

namespace {

struct Box {
    QLineEdit* edit;
    const char* label;
    int32_t (cDrive::*get)() const;
    void (cDrive::*set)(int32_t);
    int32_t low;
    int32_t high;
};

}  // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Brisko CD Ripper Options"));
    auto named = [this](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    cboDrives = named(new QComboBox(this), "cboDrives");
    cboDriveType = named(new QComboBox(this), "cboDriveType");
    brisko::ui::nameControl(cboDrives, QStringLiteral("Drive"));
    brisko::ui::nameControl(cboDriveType, QStringLiteral("Drive type"));
    txtReadSectors = named(new QLineEdit(this), "txtReadSectors");
    txtReadOverlap = named(new QLineEdit(this), "txtReadOverlap");
    txtBlockCompare = named(new QLineEdit(this), "txtBlockCompare");
    txtStartOffset = named(new QLineEdit(this), "txtStartOffset");
    txtEndOffset = named(new QLineEdit(this), "txtEndOffset");
    txtRetries = named(new QLineEdit(this), "txtRetries");
    txtCDSpeed = named(new QLineEdit(this), "txtCDSpeed");
    txtSpinUpTime = named(new QLineEdit(this), "txtSpinUpTime");
    cmdOK = named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cmdCancel");

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Drive:"), cboDrives);
    form->addRow(QStringLiteral("Drive Type:"), cboDriveType);
    form->addRow(QStringLiteral("Read Sectors:"), txtReadSectors);
    form->addRow(QStringLiteral("Read Overlap:"), txtReadOverlap);
    form->addRow(QStringLiteral("Block Compare:"), txtBlockCompare);
    form->addRow(QStringLiteral("Start Offset:"), txtStartOffset);
    form->addRow(QStringLiteral("End Offset:"), txtEndOffset);
    form->addRow(QStringLiteral("Retries:"), txtRetries);
    form->addRow(QStringLiteral("CD Speed:"), txtCDSpeed);
    form->addRow(QStringLiteral("Spin Up Time (s):"), txtSpinUpTime);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    cmdOK->setDefault(true);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { reject(); });
}

void frmOptions::setCRRip(brisko::cdripper::cCDRip* lib) {
    lib_ = lib;
    Form_Load();
}

void frmOptions::Form_Load() {
    cboDriveType->clear();
    for (const char* name : kDriveTypeNames) cboDriveType->addItem(QString::fromLatin1(name));
    LoadDriveList();
}

void frmOptions::LoadDriveList() {
    cboDrives->clear();
    shownIndex_ = 0;
    int32_t count = 0;
    try {
        count = lib_ != nullptr ? lib_->CDDriveCount() : 0;
        for (int32_t i = 1; i <= count; ++i) cboDrives->addItem(QString::fromStdString(lib_->CDDrive(i).Name()));
    } catch (const brisko::NumberedError& e) {
        brisko::ui::message(this, {QString::fromStdString(e.description()), QStringLiteral("Brisko"),
                                   brisko::ui::PromptButtons::Ok, brisko::ui::PromptIcon::Warning});
    }
    if (cboDrives->count() > 0) {
        connect(cboDrives, &QComboBox::currentIndexChanged, this, [this] { cboDrives_Click(); });
        cboDrives->setCurrentIndex(0);
        cboDrives_Click();
        return;
    }
    const QString buttonFace = QStringLiteral("background-color: palette(button);");
    for (QLineEdit* box : {txtReadSectors, txtReadOverlap, txtBlockCompare, txtStartOffset, txtEndOffset, txtRetries,
                           txtCDSpeed, txtSpinUpTime}) {
        box->clear();
        box->setEnabled(false);
        box->setStyleSheet(buttonFace);
    }
    for (QComboBox* combo : {cboDrives, cboDriveType}) {
        combo->setCurrentIndex(-1);
        combo->setEnabled(false);
        combo->setStyleSheet(buttonFace);
    }
    cmdOK->setEnabled(false);
}

bool frmOptions::takeEdits(cDrive& drive) {
    const Box boxes[] = {
        {txtReadSectors, "Read Sectors", &cDrive::ReadSectors, &cDrive::setReadSectors, 1, 200},
        {txtReadOverlap, "Read Overlap", &cDrive::ReadOverlap, &cDrive::setReadOverlap, 0, 100},
        {txtBlockCompare, "Block Compare", &cDrive::BlockCompare, &cDrive::setBlockCompare, 1, 1000},
        {txtStartOffset, "Start Offset", &cDrive::StartOffset, &cDrive::setStartOffset, INT32_MIN, INT32_MAX},
        {txtEndOffset, "End Offset", &cDrive::EndOffset, &cDrive::setEndOffset, INT32_MIN, INT32_MAX},
        {txtRetries, "Retries", &cDrive::Retries, &cDrive::setRetries, 0, 1000},
        {txtCDSpeed, "CD Speed", &cDrive::CDSpeed, &cDrive::setCDSpeed, 0, 100},
        {txtSpinUpTime, "Spin Up Time (s)", &cDrive::SpinUpTime, &cDrive::setSpinUpTime, 0, 60},
    };
    for (const Box& box : boxes) {
        bool ok = false;
        const qlonglong value = box.edit->text().trimmed().toLongLong(&ok);
        if (!ok || value < box.low || value > box.high) {
            brisko::ui::message(this, {QStringLiteral("%1 must be a whole number from %2 to %3.")
                                           .arg(QString::fromLatin1(box.label))
                                           .arg(box.low)
                                           .arg(box.high),
                                       QStringLiteral("Brisko"), brisko::ui::PromptButtons::Ok,
                                       brisko::ui::PromptIcon::Warning});
            box.edit->setFocus();
            box.edit->selectAll();
            return false;
        }
        (drive.*box.set)(static_cast<int32_t>(value));
    }
    if (cboDriveType->currentIndex() >= 0) drive.setDriveType(cboDriveType->currentIndex());
    return true;
}

// Stores the shown drive's edited values (nothing is sent when none changed).
bool frmOptions::applyShown() {
    if (shownIndex_ <= 0 || lib_ == nullptr) return true;
    try {
        cDrive drive = lib_->CDDrive(shownIndex_);
        if (!takeEdits(drive)) return false;
        drive.Apply();
    } catch (const brisko::NumberedError& e) {
        brisko::ui::message(this, {QString::fromStdString(e.description()), QStringLiteral("Brisko"),
                                   brisko::ui::PromptButtons::Ok, brisko::ui::PromptIcon::Warning});
        return false;
    }
    return true;
}

void frmOptions::cboDrives_Click() {
    const int index = cboDrives->currentIndex() + 1;
    if (index < 1 || lib_ == nullptr) return;
    if (shownIndex_ > 0 && index != shownIndex_ && !applyShown()) {
        const QSignalBlocker blocker(cboDrives);
        cboDrives->setCurrentIndex(shownIndex_ - 1);  // stay on the drive whose value is wrong
        return;
    }
    try {
        const cDrive drive = lib_->CDDrive(index);
        txtReadSectors->setText(QString::number(drive.ReadSectors()));
        txtReadOverlap->setText(QString::number(drive.ReadOverlap()));
        txtStartOffset->setText(QString::number(drive.StartOffset()));
        txtEndOffset->setText(QString::number(drive.EndOffset()));
        txtRetries->setText(QString::number(drive.Retries()));
        txtBlockCompare->setText(QString::number(drive.BlockCompare()));
        txtCDSpeed->setText(QString::number(drive.CDSpeed()));
        txtSpinUpTime->setText(QString::number(drive.SpinUpTime()));
        cboDriveType->setCurrentIndex(drive.DriveType());
    } catch (const brisko::NumberedError& e) {
        brisko::ui::message(this, {QString::fromStdString(e.description()), QStringLiteral("Brisko"),
                                   brisko::ui::PromptButtons::Ok, brisko::ui::PromptIcon::Warning});
    }
    shownIndex_ = index;
}

void frmOptions::cmdOK_Click() {
    if (!applyShown()) return;
    accept();
}
