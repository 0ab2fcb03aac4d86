// The clip file selector.
#include "clipplayer/frmClipFileSelect.h"

#include "ui/AccessibleNames.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include "clipplayer/ClipAliases.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipPlay.h"
#include "console/FileBrowser.h"
#include "console/Settings.h"
#include "console/frmMain.h"
#include "media/MediaChannel.h"
#include "ui/NameBytes.h"
#include "ui/Prompt.h"

using namespace brisko::clip;

namespace {

void tell(QWidget* parent, const QString& text) {
    brisko::ui::message(parent, {text, QStringLiteral("Clip File Selector"), brisko::ui::PromptButtons::Ok,
                                 brisko::ui::PromptIcon::Warning});
}

// The colour code of a colour (blue * 65536 + green * 256 + red).
double colourCode(const QColor& c) { return double(c.blue()) * 65536 + double(c.green()) * 256 + double(c.red()); }

// How often the preview closes and reopens an alias that is still in use before it gives up.
constexpr int kPreviewOpenAttempts = 5;

}  // namespace

frmClipFileSelect::frmClipFileSelect(frmClipPlay* clipPlayer, QWidget* parent)
    : QWidget(parent, Qt::Window), clipPlayer_(clipPlayer) {
    setObjectName(QStringLiteral("frmClipFileSelect"));
    setWindowTitle(QStringLiteral("Clip File Selector"));
    resize(560, 400);
    Drive1 = new brisko::console::DriveBox(this);
    Drive1->setGeometry(12, 12, 250, 26);
    Drive1->setToolTip(QStringLiteral("Select a drive, local or mapped."));
    Dir1 = new brisko::console::FolderList(this);
    Dir1->setGeometry(12, 44, 250, 150);
    File1 = new brisko::console::FileList(this);
    File1->setObjectName(QStringLiteral("File1"));
    File1->setGeometry(12, 200, 250, 188);
    txtFilename = new QLineEdit(this);
    txtFilename->setObjectName(QStringLiteral("txtFilename"));
    txtFilename->setGeometry(276, 12, 270, 26);
    txtFilename->setReadOnly(true);
    brisko::ui::nameControl(txtFilename, QStringLiteral("Selected file"));
    txtFilename->setToolTip(QStringLiteral(
        "This box will display the name of the file currently selected if there is one.\r\n"));
    cmdPlay = new QPushButton(QStringLiteral("Play"), this);
    cmdPlay->setObjectName(QStringLiteral("cmdPlay"));
    cmdPlay->setGeometry(276, 48, 130, 36);
    cmdTextColor = new QPushButton(QStringLiteral("Text Color"), this);
    cmdTextColor->setGeometry(416, 48, 130, 36);
    cmdTextColor->setToolTip(QStringLiteral("Click here to pick a color for the text of the selected clip."));
    cmdCustomColor = new QPushButton(QStringLiteral("Pick a Custom Color"), this);
    cmdCustomColor->setGeometry(276, 160, 270, 30);
    cmdCustomColor->setToolTip(QStringLiteral("Click here to pick a custom color for the selected clip."));
    for (int k = 0; k < 6; ++k) {
        auto* colour = new QPushButton(this);
        colour->setObjectName(QStringLiteral("Command") + QString::number(k + 1));
        colour->setGeometry(276 + k * 46, 110, 40, 40);
        colour->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; border: 1px solid #404040; }")
                                  .arg(colourOf(kStandardColours[size_t(k)]).name()));
        connect(colour, &QPushButton::clicked, this, [this, k] { Command_Click(k); });
        Command[size_t(k)] = colour;
        brisko::ui::nameControl(colour, QStringLiteral("Background colour %1, %2")
                                            .arg(k + 1)
                                            .arg(colourOf(kStandardColours[size_t(k)]).name()));
    }
    Command[5]->setToolTip(
        QStringLiteral("Standard background colors. Click on Pick a Custom Color for more color selections."));
    cmdRemoveClip = new QPushButton(QStringLiteral("Remove This Clip"), this);
    cmdRemoveClip->setGeometry(276, 300, 270, 30);
    cmdRemoveClip->setToolTip(QStringLiteral("This will remove the selected clip from the Clip Player Page."));
    cmdExit = new QPushButton(QStringLiteral("Exit & Save"), this);
    cmdExit->setGeometry(276, 344, 270, 40);
    cmdExit->setToolTip(QStringLiteral("Click here to save the clip, color and text color of after removing a clip."));

    connect(Drive1, &brisko::console::DriveBox::driveChanged, this,
            [this] { brisko::console::openSelectedDrive(this, Drive1, Dir1); });
    connect(Dir1, &brisko::console::FolderList::pathChanged, this, [this](const QString& path) { File1->setPath(path); });
    connect(File1, &QListWidget::itemClicked, this, [this] { File1_Click(); });
    File1->installEventFilter(this);
    connect(cmdPlay, &QPushButton::clicked, this, [this] { cmdPlay_Click(); });
    connect(cmdTextColor, &QPushButton::clicked, this, [this] { cmdTextColor_Click(); });
    connect(cmdCustomColor, &QPushButton::clicked, this, [this] { cmdCustomColor_Click(); });
    connect(cmdRemoveClip, &QPushButton::clicked, this, [this] { cmdRemoveClip_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    cmdPlay->installEventFilter(this);
    setMouseTracking(true);
    installEventFilter(this);
}

frmClipFileSelect::~frmClipFileSelect() { stopPreview(); }

void frmClipFileSelect::openFor(int b) {
    button_ = std::clamp(b, 0, kButtons - 1);
    // 2.
    txtFilename->setText(clipPlayer_ != nullptr ? clipPlayer_->cmdPlay[button_]->text() : QString());
    // 3. The console's default folder and file pattern.
    QString folder, pattern;
    if (frmMain* console = frmMain::instance()) {
        folder = console->DefaultDir;
        pattern = console->FilePattern;
    }
    if (folder.isEmpty()) folder = QDir::homePath();
    if (pattern.isEmpty()) pattern = brisko::console::defaultFilePattern();
    Drive1->setDrive(folder);
    File1->setPattern(brisko::console::cleanPattern(pattern));
    if (!Dir1->setPath(folder)) Dir1->setPath(QDir::homePath());
    File1->setPath(Dir1->path());
}

QString frmClipFileSelect::checkedSelection() {
    const QString name = File1->fileName();
    if (name.isEmpty()) return QString();
    const QString full = Dir1->path() + QLatin1Char('/') + name;
    if (brisko::shortPath(brisko::ui::nameBytes(full).toStdString()).empty()) {
        tell(this, brisko::ui::nameForDisplay(name) + QLatin1Char('\r') +
                       QStringLiteral("File Name contains illegal characters. Please remove anything except "
                                      "letters, numbers and spaces."));
        return QString();
    }
    // A clip list stores "|" as its field separator: such a name cannot be kept.
    if (full.contains(QLatin1Char('|'))) {
        tell(this, brisko::ui::nameForDisplay(full) + QLatin1Char('\r') +
                       QStringLiteral("The name of this file or of its folder holds \"|\", which a clip list "
                                      "cannot store. Please rename it."));
        return QString();
    }
    return full;
}

void frmClipFileSelect::File1_Click() {
    if (checkedSelection().isEmpty() || clipPlayer_ == nullptr) return;
    const QString name = File1->fileName();
    ClipSlot& slot = clipState().Table.slot(clipPlayer_->CurrentPage, button_);
    slot.FileName = name;
    slot.Directory = Dir1->path();
    slot.BackColour = kButtonFace;
    slot.TextColour = kBlack;
    auto* play = clipPlayer_->cmdPlay[button_];
    play->setText(brisko::ui::nameForDisplay(name.left(std::max<qsizetype>(0, name.size() - 4))));
    play->setColours(kButtonFace, kBlack);
    clipPlayer_->Shape1[button_]->setColour(kGreen);
}

void frmClipFileSelect::Command_Click(int k) {
    if (clipPlayer_ == nullptr || k < 0 || k >= 6) return;
    ClipSlot& slot = clipState().Table.slot(clipPlayer_->CurrentPage, button_);
    slot.BackColour = kStandardColours[size_t(k)];
    clipPlayer_->cmdPlay[button_]->setColours(slot.BackColour, slot.TextColour);
}

void frmClipFileSelect::cmdCustomColor_Click() {
    if (clipPlayer_ == nullptr) return;
    ClipSlot& slot = clipState().Table.slot(clipPlayer_->CurrentPage, button_);
    const QColor chosen = brisko::ui::chooseColor(this, QStringLiteral("Clip Colour"), colourOf(slot.BackColour));
    if (!chosen.isValid()) return;  // cancelled: nothing changes
    slot.BackColour = colourCode(chosen);
    clipPlayer_->cmdPlay[button_]->setColours(slot.BackColour, slot.TextColour);
}

void frmClipFileSelect::cmdTextColor_Click() {
    if (clipPlayer_ == nullptr) return;
    ClipSlot& slot = clipState().Table.slot(clipPlayer_->CurrentPage, button_);
    const QColor chosen = brisko::ui::chooseColor(this, QStringLiteral("Text Colour"), colourOf(slot.TextColour));
    if (!chosen.isValid()) return;
    slot.TextColour = colourCode(chosen);
    clipPlayer_->cmdPlay[button_]->setColours(slot.BackColour, slot.TextColour);
}

void frmClipFileSelect::cmdRemoveClip_Click() {
    const auto answer = brisko::ui::message(
        this, {QStringLiteral("Are you sure you want to remove this clip?"), windowTitle(),
               brisko::ui::PromptButtons::YesNo, brisko::ui::PromptIcon::Question});
    if (answer != brisko::ui::PromptAnswer::Yes || clipPlayer_ == nullptr) return;
    // A clip still sounding on the button would be left with no button to stop it.
    clipPlayer_->releaseButton(button_);
    ClipSlot& slot = clipState().Table.slot(clipPlayer_->CurrentPage, button_);
    slot.FileName.clear();
    slot.Directory.clear();
    slot.BackColour = kWhite;
    slot.TextColour = kBlack;
    auto* play = clipPlayer_->cmdPlay[button_];
    play->setText(QString());
    clipPlayer_->cmdAdd[button_]->setText(QStringLiteral("Add"));
    clipPlayer_->Shape1[button_]->setColour(kWhite);
    play->setColours(kWhite, kBlack);
    play->setEnabled(false);
    play->setMissingPicture(false);
}

void frmClipFileSelect::cmdPlay_Click() {
    if (File1->fileName().isEmpty()) return;
    const QString full = checkedSelection();
    if (full.isEmpty()) return;
    if (cmdPlay->text() == QLatin1String("Play")) {
        const std::string path = brisko::ui::nameBytes(full).toStdString();
        std::string result = brisko::MediaChannel::open(0, kPreviewAlias, path, "mpegvideo");
        // An alias still in use is closed and opened again, a few times at most.
        for (int attempt = 1; attempt < kPreviewOpenAttempts && result.rfind("The spe", 0) == 0; ++attempt) {
            brisko::MediaChannel::close(kPreviewAlias);
            result = brisko::MediaChannel::open(0, kPreviewAlias, path, "mpegvideo");
        }
        if (result != "Success") return tell(this, QString::fromStdString(result));
        routePreviewToCue();
        if (brisko::MediaChannel::play(kPreviewAlias) == "Success") cmdPlay->setText(QStringLiteral("Stop"));
        return;
    }
    cmdPlay->setText(QStringLiteral("Play"));
    stopPreview();
}

void frmClipFileSelect::routePreviewToCue() {
    // With a cue output the preview is heard there and never on air; without one it plays on air
    // as it always did (the refusal is the expected answer then, not a fault to tell).
    brisko::MediaChannel::setOutput(kPreviewAlias, true);
}

void frmClipFileSelect::stopPreview() {
    brisko::MediaChannel::stop(kPreviewAlias);
    brisko::MediaChannel::close(kPreviewAlias);
}

bool frmClipFileSelect::savecliplist() {
    const QString path = clipListPath(clipState().CurrentUser);
    if (clipPlayer_ != nullptr && clipPlayer_->clipListDamaged()) {
        const auto answer = brisko::ui::message(
            this, {QStringLiteral("The clip list %1 was damaged or was not a clip list when the Clip Player "
                                  "opened. Saving replaces it with the clips the Clip Player shows now, and "
                                  "whatever could not be read in it is lost.\n\nReplace it?")
                       .arg(brisko::ui::nameForDisplay(path)),
                   windowTitle(), brisko::ui::PromptButtons::YesNo, brisko::ui::PromptIcon::Warning});
        if (answer != brisko::ui::PromptAnswer::Yes) return false;
    }
    QString error;
    if (!writeWhole(path, formatClipList(clipState().Table), &error)) {
        tell(this, brisko::ui::nameForDisplay(error) + QStringLiteral("\nYour clips are kept until the list can be saved."));
        return false;
    }
    if (clipPlayer_ != nullptr) clipPlayer_->clipListSaved();
    return true;
}

void frmClipFileSelect::cmdExit_Click() {
    // 1. The whole clip list; when it is not written the selector stays open.
    if (!savecliplist()) return;
    // 2.
    if (clipPlayer_ != nullptr && !clipPlayer_->cmdPlay[button_]->text().isEmpty())
        clipPlayer_->cmdPlay[button_]->setEnabled(true);
    // 3.
    close();
}

void frmClipFileSelect::closeEvent(QCloseEvent* event) {
    cmdPlay->setText(QStringLiteral("Play"));
    stopPreview();
    event->accept();
}

bool frmClipFileSelect::eventFilter(QObject* watched, QEvent* event) {
    // Moving through the file list with the keys chooses a file as a click does.
    if (watched == File1 && event->type() == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Home || key == Qt::Key_End ||
            key == Qt::Key_PageUp || key == Qt::Key_PageDown)
            File1_Click();
    }
    // Over the preview button with a file selected it turns red with a 14-point font; over the
    // window itself it takes back its colour and size.
    if (watched == cmdPlay && event->type() == QEvent::Enter && !File1->fileName().isEmpty()) {
        cmdPlay->setStyleSheet(QStringLiteral("QPushButton { background-color: #ff0000; font-size: 14pt; }"));
    } else if (watched == this && event->type() == QEvent::MouseMove) {
        if (!cmdPlay->styleSheet().isEmpty()) cmdPlay->setStyleSheet(QString());
    }
    return QWidget::eventFilter(watched, event);
}
