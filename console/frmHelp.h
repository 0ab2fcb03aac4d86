// The Help window: the keyboard commands of the deck console in eight fixed lines, and the
// pre-listen keys below them.
#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    QLineEdit* Text6 = nullptr;
    QLineEdit* Text7 = nullptr;
    QLineEdit* Text8 = nullptr;
    QLineEdit* Text9 = nullptr;
    // Below the eight lines: the pre-listen keys of the cue output.
    QLineEdit* txtPreListen = nullptr;
    QLineEdit* readoutKeys = nullptr;  // the readout keys (Ctrl+Alt+R, E, H, N)
    QPushButton* Command1 = nullptr;  // "E&xit Window"

    void Command1_Click();  // hides the window; it is not destroyed
};
