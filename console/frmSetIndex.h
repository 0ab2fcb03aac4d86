// The Set Index dialog: which deck the Space bar starts next.
#pragma once

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

class frmSetIndex : public QDialog {
    Q_OBJECT
public:
    explicit frmSetIndex(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;       // "Set Index to what slot"
    QLabel* Label2 = nullptr;       // the explanation
    QLineEdit* Text1 = nullptr;     // the deck number
    QPushButton* Command1 = nullptr;  // "OK"

    void Command1_Click();  // hides the dialog

    // The deck index the number box asks for: its leading number minus 1 (a text that is not a
    // number counts as 0, so it gives -1). Empty when the result does not fit a 16-bit index.
    std::optional<int> chosenIndex() const;
};

