// The page-names window "Enter Clip Play Page Names": the names of the current user's ten pages,
// which are the Clip Player's tab captions.
#pragma once

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class frmClipPlay;

class frmPageNames : public QWidget {
    Q_OBJECT
public:
    explicit frmPageNames(frmClipPlay* clipPlayer, QWidget* parent = nullptr);

    QLabel* Label11 = nullptr;
    QLabel* lblCurrentUser = nullptr;
    std::array<QLineEdit*, 10> Text1{};  // box i: the name of page i + 1 (tab i)
    QPushButton* Command2 = nullptr;     // "Display Names"
    QPushButton* Command1 = nullptr;     // "Exit"
    QPushButton* cmdCancel = nullptr;    // "Cancel"

    // Reloads the ten boxes from the user's page-names file (created empty when missing).
    void Form_Load();
    void Command2_Click();
    void Command1_Click();
    void cmdCancel_Click();

private:
    // Writes the names, rereads them and names the tabs; false (operator told) when not written.
    bool saveNames();
    frmClipPlay* clipPlayer_;
};
