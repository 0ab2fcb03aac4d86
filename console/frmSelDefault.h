// The default-directory window: the folder the library browser opens on, the kinds of sound file
// it lists, and whether the console starts in the simple layout; stored in brisko.ini.
#pragma once

#include <QString>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace brisko::console {
class DriveBox;
class FolderList;

// The pattern that lists every kind of sound file the console plays.
QString allTypesPattern();
}  // namespace brisko::console

class frmSelDefault : public QWidget {
    Q_OBJECT
public:
    explicit frmSelDefault(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;     // "Recognize These File Types"
    QCheckBox* Check2 = nullptr;  // "Wave"
    QCheckBox* Check3 = nullptr;  // "MP3"
    QCheckBox* Check4 = nullptr;  // "MP2"
    QCheckBox* Check5 = nullptr;  // "SND"
    QCheckBox* Check6 = nullptr;  // "WMA"
    QCheckBox* Check7 = nullptr;  // "AU"
    QCheckBox* Check8 = nullptr;  // "AIF or AIFF"
    QCheckBox* Check9 = nullptr;  // "WMV"
    QCheckBox* Check10 = nullptr; // "MIDI"
    QCheckBox* Check12 = nullptr; // "MPEG"
    QCheckBox* Check13 = nullptr; // "All File Types"
    QCheckBox* Check1 = nullptr;  // "Start In Simple Mode"
    brisko::console::DriveBox* Drive1 = nullptr;
    brisko::console::FolderList* Dir1 = nullptr;
    QPushButton* Command1 = nullptr;  // "Select Directory"

    // The pattern the type boxes give, as "Select Directory" stores it ("" when none is checked).
    QString buildFilePattern() const;

    // Handlers, callable from tests as the controls call them.
    void typeBox_Click();       // any individual type box but Wave
    void Check13_Click();       // all types
    void Check1_Click();        // simple mode
    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();      // "Select Directory"

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Form_Load();
    bool loaded_ = false;
};
