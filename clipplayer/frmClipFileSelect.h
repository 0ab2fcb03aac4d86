// The clip file selector "Clip File Selector": gives one clip button a sound file and colours, or
// empties it, with a preview on a channel of its own; "Exit & Save" writes the whole clip list.
#pragma once

#include <QColor>
#include <QWidget>
#include <array>

class QLineEdit;
class QPushButton;
class frmClipPlay;

namespace brisko::console {
class DriveBox;
class FolderList;
class FileList;
}  // namespace brisko::console

class frmClipFileSelect : public QWidget {
    Q_OBJECT
public:
    explicit frmClipFileSelect(frmClipPlay* clipPlayer, QWidget* parent = nullptr);
    ~frmClipFileSelect() override;

    brisko::console::DriveBox* Drive1 = nullptr;
    brisko::console::FolderList* Dir1 = nullptr;
    brisko::console::FileList* File1 = nullptr;
    QLineEdit* txtFilename = nullptr;
    QPushButton* cmdPlay = nullptr;        // "Play" / "Stop": the preview
    QPushButton* cmdTextColor = nullptr;   // "Text Color"
    QPushButton* cmdCustomColor = nullptr; // "Pick a Custom Color"
    std::array<QPushButton*, 6> Command{}; // Command1 .. Command6: the standard background colours
    QPushButton* cmdRemoveClip = nullptr;  // "Remove This Clip"
    QPushButton* cmdExit = nullptr;        // "Exit & Save"

    // The colour codes of Command1 .. Command6.
    static constexpr std::array<double, 6> kStandardColours{255, 16711680, 65280, 65535, 8438015, 16777215};

    // The button being edited.
    int selectedButton() const { return button_; }
    // Opening for clip button B: its caption, the console's default folder and file pattern.
    void openFor(int b);

    void File1_Click();
    void Command_Click(int k);  // k = 0..5 for Command1 .. Command6
    void cmdCustomColor_Click();
    void cmdTextColor_Click();
    void cmdRemoveClip_Click();
    void cmdPlay_Click();
    void cmdExit_Click();
    // Writes all of the clip table to the user's clip list, replacing it. A list that did not
    // read as a clip list when the Clip Player opened is replaced only when the operator says
    // so. False (after telling the operator) when nothing was written.
    bool savecliplist();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The selected file's full name, or "" after telling the operator why it cannot be a clip.
    QString checkedSelection();
    void routePreviewToCue();
    void stopPreview();

    frmClipPlay* clipPlayer_;
    int button_ = 0;
};
