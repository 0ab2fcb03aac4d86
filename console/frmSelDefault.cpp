// The default-directory window.
#include "console/frmSelDefault.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "console/frmFunc.h"
#include "console/frmMain.h"
#include "console/Settings.h"
#include "ui/Prompt.h"

namespace brisko::console {

// The same list the main window uses when brisko.ini names no pattern.
QString allTypesPattern() { return defaultFilePattern(); }

}  // namespace brisko::console

frmSelDefault::frmSelDefault(QWidget* parent) : QWidget(parent, Qt::Window) {
    using namespace brisko::console;
    setWindowTitle(QStringLiteral("Select Default Directory"));
    Label1 = new QLabel(QStringLiteral("Recognize These File Types"), this);
    auto box = [this](const char* name, const char* caption) {
        auto* b = new QCheckBox(QString::fromUtf8(caption), this);
        b->setObjectName(QString::fromUtf8(name));
        return b;
    };
    Check2 = box("Check2", "Wave");
    Check3 = box("Check3", "MP3");
    Check4 = box("Check4", "MP2");
    Check5 = box("Check5", "SND");
    Check6 = box("Check6", "WMA");
    Check7 = box("Check7", "AU");
    Check8 = box("Check8", "AIF or AIFF");
    Check9 = box("Check9", "WMV");
    Check10 = box("Check10", "MIDI");
    Check12 = box("Check12", "MPEG");
    Check13 = box("Check13", "All File Types");
    Check1 = box("Check1", "Start In Simple Mode");
    Check2->setChecked(true);
    Check1->setChecked(true);

    // Only the operator's clicks run these rules; boxes unchecked by them do not react in turn.
    for (QCheckBox* b : {Check3, Check4, Check5, Check6, Check7, Check8, Check9, Check10, Check12})
        connect(b, &QCheckBox::clicked, this, [this] { typeBox_Click(); });
    connect(Check13, &QCheckBox::clicked, this, [this] { Check13_Click(); });
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });

    Drive1 = new DriveBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Dir1 = new FolderList(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    Drive1->setDrive(Dir1->path());
    connect(Drive1, &DriveBox::driveChanged, this, [this] { Drive1_Change(); });
    connect(Dir1, &FolderList::pathChanged, this, [this] { Dir1_Change(); });

    Command1 = new QPushButton(QStringLiteral("Select Directory"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });

    auto* types = new QGridLayout;
    types->addWidget(Label1, 0, 0, 1, 2);
    const QCheckBox* order[11] = {Check2, Check3, Check4, Check5,  Check6, Check7,
                                  Check8, Check9, Check10, Check12, Check13};
    for (int k = 0; k < 11; ++k)
        types->addWidget(const_cast<QCheckBox*>(order[k]), 1 + k / 2, k % 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Drive1);
    layout->addWidget(Dir1);
    layout->addLayout(types);
    layout->addWidget(Check1);
    layout->addWidget(Command1);
}

QString frmSelDefault::buildFilePattern() const {
    struct Fragment {
        const QCheckBox* box;
        const char* text;
    };
    const Fragment fragments[10] = {
        {Check2, ";*.wav"},  {Check3, ";*.mp3"}, {Check4, ";*.mp2"},         {Check5, ";*.snd"},
        {Check6, ";*.wma"},  {Check7, ";*.au"},  {Check8, ";*.aif;*.aiff"}, {Check9, ";*.wmv"},
        {Check10, ";*.midi"}, {Check12, ";*.mpeg"},
    };
    QString pattern;
    for (const Fragment& f : fragments)
        if (f.box->isChecked()) pattern += QString::fromUtf8(f.text);
    if (Check13->isChecked()) pattern = brisko::console::allTypesPattern();
    if (pattern.startsWith(QLatin1Char(';'))) pattern.remove(0, 1);
    return pattern;
}

void frmSelDefault::typeBox_Click() { Check13->setChecked(false); }

void frmSelDefault::Check13_Click() {
    for (QCheckBox* b :
         {Check2, Check3, Check4, Check5, Check6, Check7, Check8, Check9, Check10, Check12})
        b->setChecked(false);
}

void frmSelDefault::Check1_Click() {
    frmMain* main = frmMain::instance();
    if (main == nullptr) return;
    const bool advanced = !Check1->isChecked();
    for (int i = 0; i < frmMain::kDecks; ++i) {
        if (main->HScroll1[i] != nullptr) main->HScroll1[i]->setVisible(advanced);
        if (main->chkPost[i] != nullptr) main->chkPost[i]->setVisible(advanced);
    }
}

void frmSelDefault::Drive1_Change() {
    // An unreadable drive: both windows keep what they showed, and the operator is told.
    if (!brisko::console::openSelectedDrive(this, Drive1, Dir1)) return;
    frmMain* main = frmMain::instance();
    if (main == nullptr) return;
    if (main->Drive1 != nullptr) main->Drive1->setDrive(Drive1->drive());  // the main window follows
    // Its folder list goes to the drive too, even when its drive box already showed it.
    if (main->Dir1 != nullptr) main->Dir1->setPath(Dir1->path());
    if (main->File1 != nullptr) main->File1->refresh();
}

void frmSelDefault::Dir1_Change() {
    frmMain* main = frmMain::instance();
    if (main != nullptr && main->Dir1 != nullptr) main->Dir1->setPath(Dir1->path());
}

void frmSelDefault::Command1_Click() {
    frmMain* main = frmMain::instance();
    if (main != nullptr) main->DefaultDir = Dir1->path();
    bool any = false;
    for (const QCheckBox* b : {Check2, Check3, Check4, Check5, Check6, Check7, Check8, Check9,
                               Check10, Check12, Check13})
        any = any || b->isChecked();
    if (!any) {
        brisko::ui::message(this, {QStringLiteral("No Audio File types have been selected. Please "
                                                  "Select at least one type of file to recognize"),
                                   QStringLiteral("Brisko"), brisko::ui::PromptButtons::Ok,
                                   brisko::ui::PromptIcon::None});
        return;
    }
    const QString pattern = buildFilePattern();
    if (main != nullptr) {
        main->FilePattern = pattern;
        main->StartMode = Check1->isChecked() ? QStringLiteral("simple") : QStringLiteral("advanced");
        if (main->File1 != nullptr) main->File1->setPattern(pattern);  // re-reads the list
    }
    hide();
    brisko::console::saveSettingsOrWarn(this, main);
}

void frmSelDefault::Form_Load() {
    // The drive list goes to the drive of the stored library folder (the home folder when none
    // is stored); the folder list itself is not moved there.
    const frmMain* main = frmMain::instance();
    QString dir = main != nullptr ? main->DefaultDir : QString();
    if (dir.isEmpty()) dir = QDir::homePath();
    Drive1->setDrive(dir);
}

void frmSelDefault::showEvent(QShowEvent* event) {
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
    QWidget::showEvent(event);
}
