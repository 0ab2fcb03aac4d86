// The user picker "Pick a Clip Player User": adds, removes and chooses the user whose clip list
// the Clip Player window shows.
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class frmPickUser : public QWidget {
    Q_OBJECT
public:
    explicit frmPickUser(QWidget* parent = nullptr);

    QLabel* lblPickUser = nullptr;    // "Pick a User"
    QComboBox* cmboUsers = nullptr;   // the users, editable text
    QLabel* lblAddUser = nullptr;     // "New User"
    QLineEdit* txtNewUser = nullptr;
    QPushButton* cmdAddUser = nullptr;     // "Add New User"
    QPushButton* cmdRemoveUser = nullptr;  // "Remove User"
    QPushButton* cmdOK = nullptr;          // "Choose User"

    void Form_Load();
    void cmdAddUser_Click();
    void cmdRemoveUser_Click();
    void cmdOK_Click();

private:
    // Rewrites ClipUsers.dat with the list's non-empty entries; false (after telling the
    // operator) when it cannot be written.
    bool saveUsers();
};
