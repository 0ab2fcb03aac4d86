// The user picker.
#include "clipplayer/frmPickUser.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStandardItemModel>

#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipPlay.h"
#include "ui/AccessibleNames.h"
#include "ui/NameBytes.h"
#include "ui/Prompt.h"

using namespace brisko::clip;

namespace {

void tell(QWidget* parent, const QString& text) {
    brisko::ui::message(parent, {text, QStringLiteral("Clip Player"), brisko::ui::PromptButtons::Ok,
                                 brisko::ui::PromptIcon::Warning});
}

// Writes a new user's file from its template; a file the user already has (kept when the user
// was removed without their files) is left as it is. *CREATED tells whether it was written.
bool seedUserFile(const QString& path, const QString& templateName, bool* created, QString* error) {
    *created = false;
    if (fileExists(path)) return true;
    *created = writeWhole(path, templateBytes(templateName), error);
    return *created;
}

// Where an entry keeps its user name when the list shows it otherwise (bytes that are not UTF-8).
constexpr int kNameRole = Qt::UserRole + 1;

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
    brisko::ui::nameControl(cmboUsers, QStringLiteral("Pick a user"));
    cmboUsers->setGeometry(16, 34, 170, 26);
    // A long list of users costs nothing to lay out: every row is one line of text, and the box
    // has its size without measuring every name.
    cmboUsers->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    if (auto* rows = qobject_cast<QListView*>(cmboUsers->view())) rows->setUniformItemSizes(true);
    lblAddUser = new QLabel(QStringLiteral("New User"), this);
    lblAddUser->setGeometry(16, 80, 140, 20);
    txtNewUser = new QLineEdit(this);
    txtNewUser->setObjectName(QStringLiteral("txtNewUser"));
    brisko::ui::nameControl(txtNewUser, QStringLiteral("New user name"));
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
    QString error;
    if (!fileExists(path) && !appendWhole(path, QByteArray(), &error))
        tell(this, QStringLiteral("The users file %1 cannot be created: %2").arg(brisko::ui::nameForDisplay(path), error));
    QByteArray bytes;
    readWhole(path, &bytes);
    cmboUsers->clear();
    cmboUsers->setEditText(QStringLiteral("default"));
    QStringList names = textLines(bytes);
    names.removeAll(QString());
    appendUsers(names);
    if (cmboUsers->count() > 0) cmboUsers->setCurrentIndex(0);
}

void frmPickUser::appendUsers(const QStringList& names) {
    // All rows in one insertion: the list, and a screen reader following it, hear of one change
    // instead of one per user.
    auto* model = qobject_cast<QStandardItemModel*>(cmboUsers->model());
    QList<QStandardItem*> rows;
    rows.reserve(names.size());
    for (const QString& name : names) {
        auto* row = new QStandardItem(brisko::ui::nameForDisplay(name));
        if (row->text() != name) row->setData(name, kNameRole);
        rows << row;
    }
    if (model != nullptr) {
        model->invisibleRootItem()->appendRows(rows);
        return;
    }
    for (QStandardItem* row : rows) {
        cmboUsers->addItem(row->text(), row->data(kNameRole));
        delete row;
    }
}

QString frmPickUser::userAt(int k) const {
    const QVariant carried = cmboUsers->itemData(k, kNameRole);
    return carried.isValid() ? carried.toString() : cmboUsers->itemText(k);
}

QString frmPickUser::chosenName() const {
    const QString text = cmboUsers->currentText();
    const int k = cmboUsers->currentIndex();
    if (k >= 0 && cmboUsers->itemText(k) == text) return userAt(k);
    return text;
}

void frmPickUser::cmdAddUser_Click() {
    const QString name = txtNewUser->text();
    // A name already listed (compared exactly) or an empty one is refused.
    bool taken = name.isEmpty();
    for (int k = 0; k < cmboUsers->count() && !taken; ++k) taken = userAt(k) == name;
    if (taken) return tell(this, QStringLiteral("Name already exists. Please choose another"));
    QString why;
    if (!isSafeUserName(name, &why)) return tell(this, why);

    // The user's files first, then the users file: a failure leaves no listed user without files,
    // and takes back the files it made.
    QString error;
    bool madeList = false, madeNames = false;
    const bool seeded = seedUserFile(clipListPath(name), QStringLiteral("blankcliplist.dat"), &madeList, &error) &&
                        seedUserFile(pageNamesPath(name), QStringLiteral("clipuserblank.nst"), &madeNames, &error);
    auto takeBack = [&] {
        if (madeList) removeFile(clipListPath(name));
        if (madeNames) removeFile(pageNamesPath(name));
    };
    if (!seeded) {
        takeBack();
        return tell(this, brisko::ui::nameForDisplay(error));
    }
    appendUsers({name});
    if (!saveUsers()) {
        cmboUsers->removeItem(cmboUsers->count() - 1);
        takeBack();
        return;
    }
    writeLog(QStringLiteral("Added user ") + name);
}

void frmPickUser::cmdRemoveUser_Click() {
    const QString name = chosenName();
    if (!name.isEmpty()) {
        const auto answer = brisko::ui::message(
            this, {QStringLiteral("Do you want to remove the users Clip List File too?"),
                   QStringLiteral("Remove User"), brisko::ui::PromptButtons::YesNo,
                   brisko::ui::PromptIcon::Question});
        if (answer == brisko::ui::PromptAnswer::Yes) {
            QString why;
            if (isSafeUserName(name, &why)) {
                removeFile(clipListPath(name));
                removeFile(pageNamesPath(name));
            } else {
                tell(this, why + QStringLiteral(".\nNo file was deleted."));
            }
        }
        // The entry whose text is the name goes; a typed name that is no entry removes none.
        int index = -1;
        for (int k = 0; k < cmboUsers->count() && index < 0; ++k)
            if (userAt(k) == name) index = k;
        if (index >= 0) cmboUsers->removeItem(index);
        cmboUsers->setEditText(QString());
        saveUsers();
        writeLog(QStringLiteral("Removed user ") + name);
    }
    if (cmboUsers->count() > 0) cmboUsers->setCurrentIndex(0);
}

void frmPickUser::cmdOK_Click() {
    const QString name = chosenName();
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
        if (!userAt(k).isEmpty()) names << userAt(k);
    QString error;
    if (writeWhole(usersFilePath(), crlfText(names), &error)) return true;
    tell(this, brisko::ui::nameForDisplay(error));
    return false;
}
