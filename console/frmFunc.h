// The Functions window: the operator's tuning sliders and boxes that the deck console reads, and
// a small drive/folder/file browser for picking the default editor or the temporary folder.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QWidget>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSlider;
class frmSelDefault;

namespace brisko::console {

// The "drive" list: the mount points of the machine. The drive of a path is the mount point that
// holds it.
class DriveBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveBox(QWidget* parent = nullptr);
    // The selected mount point ("/" for the root file system).
    QString drive() const;
    // Selects the mount point that holds PATH (adding it when the list lacks it). Emits
    // driveChanged only when the selection changes.
    void setDrive(const QString& path);
    // Re-reads the mount points, keeping the selection.
    void reload();
signals:
    void driveChanged(const QString& drive);

private:
    int indexOfMount(const QString& mount) const;
    QString current_;
};

// The message shown when the settings writer failed without saying why.
QString settingsNotWritten();

// The mount point holding PATH ("/" when nothing more specific does).
QString driveOfPath(const QString& path);

// The folder list: the open folder's path, ".." to go up, then its subfolders. Activating an
// entry opens it.
class FolderList : public QListWidget {
    Q_OBJECT
public:
    explicit FolderList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    // Opens PATH. A folder that does not exist or cannot be read is refused: returns false and the
    // list keeps what it showed.
    bool setPath(const QString& path);
signals:
    void pathChanged(const QString& path);

private:
    void fill();
    QString path_;
};

// The file list: the files of one folder that match a semicolon-separated wildcard pattern (case
// does not matter), sorted by name.
class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    // Re-reads the folder.
    void refresh();
    // The selected file name without its folder; "" when nothing is selected.
    QString fileName() const;
    // The names listed, in order.
    QStringList names() const;

private:
    QString path_;
    QString pattern_ = QStringLiteral("*");  // every file: programs often have no extension
};

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
