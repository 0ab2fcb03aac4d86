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

    // The user the list's text names: the listed name (with its exact bytes) when the text is
    // that of the selected entry, else the typed text.
    QString chosenName() const;
    // The user name of entry K (the bytes as the users file holds them).
    QString userAt(int k) const;

private:
    // Adds the users NAMES to the end of the list in one step.
    void appendUsers(const QStringList& names);
    // Rewrites ClipUsers.dat with the list's non-empty entries; false (after telling the
    // operator) when it cannot be written.
    bool saveUsers();
};
