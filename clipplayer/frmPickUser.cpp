// The user picker.
#include "clipplayer/frmPickUser.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipPlay.h"
#include "ui/Prompt.h"

using namespace brisko::clip;

namespace {

void tell(QWidget* parent, const QString& text) {
    brisko::ui::message(parent, {text, QStringLiteral("Clip Player"), brisko::ui::PromptButtons::Ok,
                                 brisko::ui::PromptIcon::Warning});
}

// Writes a new user's file from its template; a file the user already has (kept when the user
// was removed without their files) is left as it is.
bool seedUserFile(const QString& path, const QString& templateName, QString* error) {
    if (QFile::exists(path)) return true;
    return writeWhole(path, templateBytes(templateName), error);
}

}  // namespace

frmPickUser::frmPickUser(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmPickUser"));
    setWindowTitle(QStringLiteral("Pick a Clip Player User"));
    resize(330, 190);
    lblPickUser = new QLabel(QStringLiteral("Pick a User"), this);
    lblPickUser->setGeometry(16, 12, 140, 20);
    cmboUsers = new QComboBox(this);
    cmboUsers->setObjectName(QStringLiteral("cmboUsers"));
    cmboUsers->setEditable(true);
    cmboUsers->setInsertPolicy(QComboBox::NoInsert);
    cmboUsers->setGeometry(16, 34, 170, 26);
    lblAddUser = new QLabel(QStringLiteral("New User"), this);
    lblAddUser->setGeometry(16, 80, 140, 20);
    txtNewUser = new QLineEdit(this);
    txtNewUser->setObjectName(QStringLiteral("txtNewUser"));
    txtNewUser->setGeometry(16, 102, 170, 26);
    cmdAddUser = new QPushButton(QStringLiteral("Add New User"), this);
    cmdAddUser->setGeometry(200, 100, 115, 30);
    cmdRemoveUser = new QPushButton(QStringLiteral("Remove User"), this);
    cmdRemoveUser->setGeometry(200, 32, 115, 30);
    cmdOK = new QPushButton(QStringLiteral("Choose User"), this);
    cmdOK->setGeometry(110, 148, 115, 32);
    connect(cmdAddUser, &QPushButton::clicked, this, [this] { cmdAddUser_Click(); });
    connect(cmdRemoveUser, &QPushButton::clicked, this, [this] { cmdRemoveUser_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    Form_Load();
}

void frmPickUser::Form_Load() {
    // Create the users file when missing, then list every user in it.
    const QString path = usersFilePath();
    if (!QFile::exists(path)) {
        QFile create(path);
        if (!create.open(QIODevice::WriteOnly | QIODevice::Append))
            tell(this, QStringLiteral("The users file %1 cannot be created: %2")
                           .arg(path, create.errorString()));
    }
    QByteArray bytes;
    readWhole(path, &bytes);
    cmboUsers->clear();
    cmboUsers->setEditText(QStringLiteral("default"));
    for (const QString& name : textLines(bytes))
        if (!name.isEmpty()) cmboUsers->addItem(name);
    if (cmboUsers->count() > 0) cmboUsers->setCurrentIndex(0);
}

void frmPickUser::cmdAddUser_Click() {
    const QString name = txtNewUser->text();
    // A name already listed (compared exactly) or an empty one is refused.
    bool taken = name.isEmpty();
    for (int k = 0; k < cmboUsers->count() && !taken; ++k) taken = cmboUsers->itemText(k) == name;
    if (taken) return tell(this, QStringLiteral("Name already exists. Please choose another"));
    QString why;
    if (!isSafeUserName(name, &why)) return tell(this, why);

    // The user's files first, then the users file: a failure leaves no listed user without files.
    QString error;
    if (!seedUserFile(clipListPath(name), QStringLiteral("blankcliplist.dat"), &error) ||
        !seedUserFile(pageNamesPath(name), QStringLiteral("clipuserblank.nst"), &error))
        return tell(this, error);
    cmboUsers->addItem(name);
    if (!saveUsers()) {
        cmboUsers->removeItem(cmboUsers->count() - 1);
        return;
    }
    writeLog(QStringLiteral("Added user ") + name);
}

void frmPickUser::cmdRemoveUser_Click() {
    const QString name = cmboUsers->currentText();
    if (!name.isEmpty()) {
        const auto answer = brisko::ui::message(
            this, {QStringLiteral("Do you want to remove the users Clip List File too?"),
                   QStringLiteral("Remove User"), brisko::ui::PromptButtons::YesNo,
                   brisko::ui::PromptIcon::Question});
        if (answer == brisko::ui::PromptAnswer::Yes) {
            QString why;
            if (isSafeUserName(name, &why)) {
                QFile::remove(clipListPath(name));
                QFile::remove(pageNamesPath(name));
            } else {
                tell(this, why + QStringLiteral(".\nNo file was deleted."));
            }
        }
        // The entry whose text is the name goes; a typed name that is no entry removes none.
        const int index = cmboUsers->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index >= 0) cmboUsers->removeItem(index);
        cmboUsers->setEditText(QString());
        saveUsers();
        writeLog(QStringLiteral("Removed user ") + name);
    }
    if (cmboUsers->count() > 0) cmboUsers->setCurrentIndex(0);
}

void frmPickUser::cmdOK_Click() {
    const QString name = cmboUsers->currentText();
    QString why;
    if (!isSafeUserName(name, &why)) return tell(this, why);
    clipState().CurrentUser = name;
    if (frmClipPlay* open = clipWindow()) open->close();
    writeLog(QStringLiteral("Loaded user ") + name);
    hide();
    openClipWindow();
}

bool frmPickUser::saveUsers() {
    QStringList names;
    for (int k = 0; k < cmboUsers->count(); ++k)
        if (!cmboUsers->itemText(k).isEmpty()) names << cmboUsers->itemText(k);
    QString error;
    if (writeWhole(usersFilePath(), crlfText(names), &error)) return true;
    tell(this, error);
    return false;
}
