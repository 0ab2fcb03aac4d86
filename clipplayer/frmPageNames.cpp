// The page-names window.
#include "clipplayer/frmPageNames.h"

#include "ui/AccessibleNames.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>

#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipPlay.h"
#include "ui/NameBytes.h"
#include "ui/Prompt.h"

using namespace brisko::clip;

frmPageNames::frmPageNames(frmClipPlay* clipPlayer, QWidget* parent)
    : QWidget(parent, Qt::Window), clipPlayer_(clipPlayer) {
    setObjectName(QStringLiteral("frmPageNames"));
    setWindowTitle(QStringLiteral("Enter Clip Play Page Names"));
    resize(420, 420);
    Label11 = new QLabel(QStringLiteral("Enter a Name for each Page for the current user:"), this);
    Label11->setGeometry(16, 10, 300, 20);
    lblCurrentUser = new QLabel(brisko::ui::nameForDisplay(clipState().CurrentUser), this);
    lblCurrentUser->setObjectName(QStringLiteral("lblCurrentUser"));
    lblCurrentUser->setGeometry(316, 10, 100, 20);
    for (int i = 0; i < 10; ++i) {
        auto* label = new QLabel(QStringLiteral("Page ") + QString::number(i + 1), this);
        label->setGeometry(16, 42 + i * 30, 60, 24);
        Text1[size_t(i)] = new QLineEdit(this);
        Text1[size_t(i)]->setObjectName(QStringLiteral("Text1_") + QString::number(i));
        brisko::ui::nameControl(Text1[size_t(i)], QStringLiteral("Page %1 name").arg(i + 1));
        Text1[size_t(i)]->setGeometry(80, 42 + i * 30, 320, 24);
    }
    Command2 = new QPushButton(QStringLiteral("Display Names"), this);
    Command2->setGeometry(16, 350, 120, 30);
    Command1 = new QPushButton(QStringLiteral("Exit"), this);
    Command1->setGeometry(150, 350, 120, 30);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setGeometry(284, 350, 120, 30);
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmPageNames::Form_Load() {
    const QString path = pageNamesPath(clipState().CurrentUser);
    lblCurrentUser->setText(brisko::ui::nameForDisplay(clipState().CurrentUser));
    if (!fileExists(path)) appendWhole(path, QByteArray());
    QByteArray bytes;
    readWhole(path, &bytes);
    const auto names = parsePageNames(bytes);
    for (int i = 0; i < 10; ++i) Text1[size_t(i)]->setText(names[size_t(i)]);
}

bool frmPageNames::saveNames() {
    QStringList lines;
    // A name is one line of the file: line breaks pasted into a box become blanks.
    for (QLineEdit* box : Text1) lines << QString(box->text()).replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QString error;
    if (!writeWhole(pageNamesPath(clipState().CurrentUser), crlfText(lines), &error)) {
        brisko::ui::message(this, {error, windowTitle(), brisko::ui::PromptButtons::Ok,
                                   brisko::ui::PromptIcon::Warning});
        return false;
    }
    if (clipPlayer_ != nullptr) {
        clipPlayer_->getclippagenames();
        for (int t = 0; t < 10; ++t) clipPlayer_->SSTab1->setTabText(t, shownPageName(Text1[size_t(t)]->text()));
        clipPlayer_->nameTabs();
    }
    return true;
}

void frmPageNames::Command2_Click() { saveNames(); }

void frmPageNames::Command1_Click() {
    if (saveNames()) close();
}

void frmPageNames::cmdCancel_Click() {
    const auto answer = brisko::ui::message(
        this, {QStringLiteral("Are you sure you want to quit without saving names?"), windowTitle(),
               brisko::ui::PromptButtons::YesNo, brisko::ui::PromptIcon::Question});
    if (answer == brisko::ui::PromptAnswer::Yes) close();
}
