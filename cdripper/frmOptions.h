// The options dialog ("Brisko CD Ripper Options"): shows each drive's ripping parameters and
// stores edited values for the drive through the library.
#pragma once

#include <QDialog>

#include "cdripper/cCDRip.h"

class QComboBox;
class QLineEdit;
class QPushButton;

class frmOptions : public QDialog {
    Q_OBJECT
public:
    explicit frmOptions(QWidget* parent = nullptr);

    // The library object to list drives from; loads the lists.
    void setCRRip(brisko::cdripper::cCDRip* lib);

    QComboBox* cboDrives;
    QComboBox* cboDriveType;
    QLineEdit* txtReadSectors;
    QLineEdit* txtReadOverlap;
    QLineEdit* txtBlockCompare;
    QLineEdit* txtStartOffset;
    QLineEdit* txtEndOffset;
    QLineEdit* txtRetries;
    QLineEdit* txtCDSpeed;
    QLineEdit* txtSpinUpTime;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

private:
    void Form_Load();
    void LoadDriveList();
    void cboDrives_Click();
    void cmdOK_Click();
    // Copies the edited values into DRIVE; false (and the operator told) when one is not a
    // whole number in range.
    bool takeEdits(brisko::cdripper::cDrive& drive);
    bool applyShown();

    brisko::cdripper::cCDRip* lib_ = nullptr;
    int shownIndex_ = 0;  // 1-based drive shown, 0 before the first selection
};

// The drive type names offered, in value order ("GENERIC" = 0 .. "CUSTOMDRIVE" = 19).
extern const char* const kDriveTypeNames[20];
