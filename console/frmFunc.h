// The Functions window: the operator's tuning sliders and boxes that the deck console reads, and
// a small drive/folder/file browser for picking the default editor or the temporary folder.
#pragma once

#include <QString>
#include <QWidget>

#include "console/FileBrowser.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class frmMain;
class frmSelDefault;

namespace brisko::console {

// Rewrites brisko.ini from MAIN's settings; a failed write is told in a message box over OWNER
// (the old file stays whole). Returns whether the file was written.
bool saveSettingsOrWarn(QWidget* owner, frmMain* main);

}  // namespace brisko::console

class frmFunc : public QWidget {
    Q_OBJECT
public:
    explicit frmFunc(QWidget* parent = nullptr);

    // Operator settings (ranges and design values as the deck console expects them).
    QSlider* Slider1 = nullptr;  // fade speed 0..10
    QSlider* Slider2 = nullptr;  // volume down speed 0..10
    QSlider* Slider3 = nullptr;  // volume up speed 0..10
    QSlider* Slider4 = nullptr;  // advance speed 100..10000
    QSlider* Slider5 = nullptr;  // auto fade time 1..5 (shown only)
    QSlider* Slider6 = nullptr;  // post fade level 1..100 (shown only)
    QSlider* Slider7 = nullptr;  // pause between segued clips 0..10 s
    QSlider* Slider8 = nullptr;  // duck level 0..99

    // Value labels of Slider1 .. Slider8; they read "0" until the start-up code or a move sets them.
    QLabel* Label12 = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label16 = nullptr;
    QLabel* Label17 = nullptr;
    QLabel* Label18 = nullptr;
    QLabel* Label19 = nullptr;

    QCheckBox* Check3 = nullptr;  // "Auto Segue"
    QCheckBox* Check4 = nullptr;  // "Check for &Advanced Layout"
    QCheckBox* Check5 = nullptr;  // "Default Editor"
    QCheckBox* Check6 = nullptr;  // "Temp Directory"

    QGroupBox* Frame1 = nullptr;
    brisko::console::DriveBox* Drive1 = nullptr;
    brisko::console::FolderList* Dir1 = nullptr;
    brisko::console::FileList* File1 = nullptr;
    QLabel* Label8 = nullptr;  // the stored editor
    QLabel* Label9 = nullptr;  // the stored temporary folder

    QPushButton* Command4 = nullptr;       // "Select Editor" / "Select Default Directory"
    QPushButton* cmdSetDefault = nullptr;  // "Set Default Directory and File Types"
    QPushButton* Command5 = nullptr;       // "Wave to MP3 Encoder"
    QPushButton* Command1 = nullptr;       // "&Close"

    // Handlers, callable from tests as the buttons and boxes call them.
    void Check5_Click();
    void Check6_Click();
    void Command4_Click();
    void cmdSetDefault_Click();
    void Command5_Click();  // shows the encoder through the main window's cmdEncoder_Click
    void Command1_Click();
    void Drive1_Change();
    void Dir1_Change();

    // The default-directory window, created on first use and then only shown and hidden.
    frmSelDefault* selDefaultWindow();

signals:
    void autoSegueChanged(bool checked);
    void advancedLayoutChanged(bool checked);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showStoredValues();
    bool loaded_ = false;
    frmSelDefault* selDefault_ = nullptr;
};
