// frmVBCDRip: start-up, the track list, the player's transport and status display, and the Rip
// and Configure buttons.
#include "cdripper/frmVBCDRip.h"

#include "ui/AccessibleNames.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "cdripper/DriveThread.h"
#include "cdripper/frmOptions.h"
#include "cdripper/frmRipDialog.h"
#include "console/FileBrowser.h"
#include "media/OnAir.h"
#include "platform/cdrip/CdRipLoader.h"
#include "platform/common/NumberedError.h"
#include "platform/mci/Mci.h"
#include "showlog/ShowLog.h"
#include "ui/Prompt.h"

using brisko::cdripper::cDrive;
using brisko::cdripper::cToc;
using brisko::cdripper::cTocEntry;

namespace {

const QString kTitle = QStringLiteral("Brisko");

void tell(QWidget* parent, const QString& text, brisko::ui::PromptIcon icon = brisko::ui::PromptIcon::None) {
    brisko::ui::message(parent, {text, kTitle, brisko::ui::PromptButtons::Ok, icon});
}

QPushButton* playerButton(QWidget* parent, const char* name, const char* caption) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setEnabled(false);
    return button;
}

}  // namespace

int leadingNumber(const QString& text) {
    const QString t = text.trimmed();
    int i = 0;
    const bool negative = t.startsWith(QLatin1Char('-'));
    if (negative || t.startsWith(QLatin1Char('+'))) i = 1;
    long long value = 0;
    for (; i < t.size() && t[i].isDigit() && value < 1000000000; ++i) value = value * 10 + t[i].digitValue();
    return static_cast<int>(negative ? -value : value);
}

frmVBCDRip::frmVBCDRip(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmVBCDRip"));
    setWindowTitle(QStringLiteral("Brisko CD Ripper"));
    setAttribute(Qt::WA_DeleteOnClose);

    cboDrives = new QComboBox(this);
    cboDrives->setObjectName(QStringLiteral("cboDrives"));
    brisko::ui::nameControl(cboDrives, QStringLiteral("CD drive"));
    cmdRefresh = new QPushButton(QStringLiteral("Refresh"), this);
    cmdRefresh->setObjectName(QStringLiteral("cmdRefresh"));
    lvwTracks = new QTreeWidget(this);
    lvwTracks->setObjectName(QStringLiteral("lvwTracks"));
    lvwTracks->setRootIsDecorated(false);
    lvwTracks->setSelectionBehavior(QAbstractItemView::SelectRows);  // full-row selection
    lvwTracks->setAllColumnsShowFocus(true);
    brisko::ui::nameControl(lvwTracks, QStringLiteral("Tracks, ticked ones are ripped"));

    pnlCommands = new QFrame(this);
    pnlCommands->setObjectName(QStringLiteral("pnlCommands"));
    pnlCommands->setFrameShape(QFrame::StyledPanel);
    timeWindow = new QLineEdit(pnlCommands);
    timeWindow->setObjectName(QStringLiteral("timeWindow"));
    timeWindow->setReadOnly(true);
    timeWindow->setAlignment(Qt::AlignCenter);
    brisko::ui::nameControl(timeWindow, QStringLiteral("CD track and time"));
    QFont timeFont(QStringLiteral("Arial"), 16);
    timeFont.setBold(true);
    timeWindow->setFont(timeFont);
    play = playerButton(pnlCommands, "play", ">");
    pause = playerButton(pnlCommands, "pause", "||");
    stopbtn = playerButton(pnlCommands, "stopbtn", "x");
    btrack = playerButton(pnlCommands, "btrack", "|<<");
    ftrack = playerButton(pnlCommands, "ftrack", ">>|");
    rew = playerButton(pnlCommands, "rew", "<<");
    ff = playerButton(pnlCommands, "ff", ">>");
    eject = playerButton(pnlCommands, "eject", "ejc");
    // The transport captions are signs; the names say what each does.
    const std::pair<QPushButton*, const char*> transport[] = {
        {play, "CD play"},          {pause, "CD pause"},           {stopbtn, "CD stop"},
        {btrack, "CD previous track"}, {ftrack, "CD next track"}, {rew, "CD rewind"},
        {ff, "CD fast forward"},    {eject, "CD eject"}};
    for (const auto& [button, name] : transport) brisko::ui::nameControl(button, QString::fromLatin1(name));
    tracktime = new QLabel(pnlCommands);
    tracktime->setObjectName(QStringLiteral("tracktime"));
    totalplay = new QLabel(pnlCommands);
    totalplay->setObjectName(QStringLiteral("totalplay"));
    cmdRip = new QPushButton(QStringLiteral("&Rip..."), pnlCommands);
    cmdRip->setObjectName(QStringLiteral("cmdRip"));
    cmdRip->setEnabled(false);
    cmdConfigure = new QPushButton(QStringLiteral("&Configure..."), pnlCommands);
    cmdConfigure->setObjectName(QStringLiteral("cmdConfigure"));
    cmdExit = new QPushButton(QStringLiteral("Exit"), pnlCommands);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));

    Drive1 = new brisko::console::DriveBox(this);
    Drive1->setObjectName(QStringLiteral("Drive1"));
    Dir1 = new brisko::console::FolderList(this);
    Dir1->setObjectName(QStringLiteral("Dir1"));
    brisko::ui::nameControl(Drive1, QStringLiteral("Rip to drive"));
    brisko::ui::nameControl(Dir1, QStringLiteral("Rip to folder"));
    Drive1->setDrive(Dir1->path());

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    // Layout: drive row and track list on top; player and buttons, and the output folder below.
    auto* driveRow = new QHBoxLayout;
    driveRow->addWidget(new QLabel(QStringLiteral("CD drive:"), this));
    driveRow->addWidget(cboDrives, 1);
    driveRow->addWidget(cmdRefresh);
    auto* panel = new QGridLayout(pnlCommands);
    panel->addWidget(timeWindow, 0, 0, 1, 8);
    int column = 0;
    for (QPushButton* b : {btrack, rew, play, pause, stopbtn, ff, ftrack, eject}) {
        b->setMinimumWidth(36);
        panel->addWidget(b, 1, column++);
    }
    panel->addWidget(tracktime, 2, 0, 1, 8);
    panel->addWidget(totalplay, 3, 0, 1, 8);
    auto* actions = new QHBoxLayout;
    actions->addWidget(cmdRip);
    actions->addWidget(cmdConfigure);
    actions->addStretch();
    actions->addWidget(cmdExit);
    panel->addLayout(actions, 4, 0, 1, 8);
    auto* folder = new QVBoxLayout;
    folder->addWidget(new QLabel(QStringLiteral("Rip to folder:"), this));
    folder->addWidget(Drive1);
    folder->addWidget(Dir1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(pnlCommands, 3);
    bottom->addLayout(folder, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(driveRow);
    layout->addWidget(lvwTracks, 1);
    layout->addLayout(bottom);
    resize(640, 520);

    connect(cboDrives, &QComboBox::activated, this, [this] { cboDrives_Click(); });
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { LoadTracks(); });
    // A click on a row, and a click on its check box (which the list handles as an edit and does
    // not report as a click).
    connect(lvwTracks, &QTreeWidget::itemClicked, this, [this] { lvwTracks_Click(); });
    connect(lvwTracks, &QTreeWidget::itemChanged, this, [this] { lvwTracks_Click(); });
    connect(play, &QPushButton::clicked, this, [this] { play_Click(); });
    connect(pause, &QPushButton::clicked, this, [this] { pause_Click(); });
    connect(stopbtn, &QPushButton::clicked, this, [this] { stopbtn_Click(); });
    connect(eject, &QPushButton::clicked, this, [this] { eject_Click(); });
    connect(ftrack, &QPushButton::clicked, this, [this] { ftrack_Click(); });
    connect(btrack, &QPushButton::clicked, this, [this] { btrack_Click(); });
    connect(ff, &QPushButton::clicked, this, [this] { ff_Click(); });
    connect(rew, &QPushButton::clicked, this, [this] { rew_Click(); });
    connect(cmdRip, &QPushButton::clicked, this, [this] { cmdRip_Click(); });
    connect(cmdConfigure, &QPushButton::clicked, this, [this] { cmdConfigure_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    connect(Drive1, &brisko::console::DriveBox::driveChanged, this, [this] { Drive1_Change(); });
    connect(Timer1, &QTimer::timeout, this, [this] { StatusUpdate(); });
}

frmVBCDRip::~frmVBCDRip() = default;

bool frmVBCDRip::Form_Load() {
    // One CD window among the program's running copies: refused only while another copy's CD
    // window is open (its drives are in use). That copy may have decks on air, and so may this
    // one: nothing ends, this window just does not open. A lock that cannot be used refuses
    // nobody.
    if (cdLock_.acquire() == brisko::cdripper::CdWindowLock::Result::HeldElsewhere) {
        tell(nullptr, QStringLiteral("The CD window is in use by another running instance of Brisko."),
             brisko::ui::PromptIcon::Information);
        return false;
    }
    lvwTracks->setColumnCount(5);
    lvwTracks->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Track"), QStringLiteral("Start Time"),
                                QStringLiteral("Length"), QStringLiteral("Size (Mb)")});
    for (int c = 1; c <= 4; ++c) lvwTracks->headerItem()->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
    lvwTracks->setColumnWidth(0, 160);
    lvwTracks->setColumnWidth(1, 48);
    for (int c = 2; c <= 4; ++c) lvwTracks->setColumnWidth(c, 64);

    show();
    repaint();
    LoadDrives();

    Timer1->stop();
    stepSeconds_ = 5;
    loaded_ = false;
    // The device opens the first drive, the one the drive box shows first.
    if (SendCdCommand(QStringLiteral("open cdaudio alias cd wait shareable"), true)) {
        cdDrive_ = 1;
    } else {
        hide();
    }
    SendCdCommand(QStringLiteral("set cd time format tmsf wait"), true);
    Timer1->start();
    StatusUpdate();
    return true;
}

void frmVBCDRip::LoadDrives() {
    try {
        library_.Create(brisko::cdrip::cdRipSettingsPath());
        const int32_t count = library_.CDDriveCount();
        for (int32_t i = 1; i <= count; ++i) cboDrives->addItem(QString::fromStdString(library_.CDDrive(i).Name()));
    } catch (const brisko::NumberedError& e) {
        tell(this, QString::fromStdString(e.description()), brisko::ui::PromptIcon::Warning);
    }
    if (cboDrives->count() > 0) cboDrives->setCurrentIndex(0);
    LoadTracks();
}

void frmVBCDRip::cboDrives_Click() {
    LoadTracks();
    // The player follows the drive box: the "cd" device is opened again on the chosen drive.
    const int index = cboDrives->currentIndex() + 1;
    if (index >= 1 && index != cdDrive_) OpenCdDrive(index);
}

void frmVBCDRip::OpenCdDrive(int index) {
    SendCdCommand(QStringLiteral("close cd"), false);
    cdDrive_ = 0;
    // What was shown of the old drive's disc goes with it.
    eject->setEnabled(false);
    ForgetDisc();
    if (SendCdCommand(QStringLiteral("open %1 type cdaudio alias cd wait shareable").arg(index), true)) {
        cdDrive_ = index;
        SendCdCommand(QStringLiteral("set cd time format tmsf wait"), true);
    }
    StatusUpdate();
}

void frmVBCDRip::LoadTracks() {
    // The drive calls below wait for the drive while events are handled. When one of those runs
    // LoadTracks again, the newer run builds the list and this one stops where it waited.
    const int generation = ++loadGeneration_;
    const auto superseded = [this, generation] { return generation != loadGeneration_; };
    const QSignalBlocker quiet(lvwTracks);  // building rows is not a click
    lvwTracks->clear();
    lvwTracks->setEnabled(false);
    cmdRip->setEnabled(false);
    toc_.reset();
    const int index = cboDrives->currentIndex() + 1;
    if (index < 1) {
        new QTreeWidgetItem(lvwTracks, {QStringLiteral("No CD Selected")});
    } else {
        try {
            const cDrive drive = library_.CDDrive(index);
            std::string whyNot;
            const bool ready = !superseded() && drive.IsUnitReady(&whyNot);
            if (superseded()) return;
            if (!ready) {
                new QTreeWidgetItem(lvwTracks, {QStringLiteral("No CD In Drive")});
                // For a disc image, which of its files is missing or broken.
                if (!whyNot.empty()) {
                    auto* why = new QTreeWidgetItem(lvwTracks, {QString::fromStdString(whyNot)});
                    why->setFirstColumnSpanned(true);
                    why->setToolTip(0, why->text(0));
                }
            } else {
                cToc toc = drive.TOC();
                if (superseded()) return;
                toc_ = std::move(toc);
                for (int32_t n = 1; n <= toc_->Count(); ++n) {
                    const cTocEntry& entry = toc_->Entry(n);
                    auto* row = new QTreeWidgetItem(lvwTracks);
                    row->setData(0, Qt::UserRole, QStringLiteral("T%1").arg(n));
                    row->setText(0, QStringLiteral("Track %1").arg(entry.TrackNumber(), 2, 10, QLatin1Char('0')));
                    row->setText(1, QString::number(entry.TrackNumber()));
                    row->setText(2, QString::fromStdString(entry.FormattedStartTime()));
                    row->setText(3, QString::fromStdString(entry.FormattedLength()));
                    row->setText(4, QString::number(entry.SizeBytes() / 1048576.0, 'f', 2) + QStringLiteral("MB"));
                    row->setCheckState(0, Qt::Unchecked);
                    for (int c = 1; c <= 4; ++c) row->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
                }
                lvwTracks->setEnabled(toc_->Count() > 0);
                cmdRip->setEnabled(toc_->Count() >= 1);
            }
        } catch (const brisko::NumberedError& e) {
            if (superseded()) return;
            toc_.reset();
            lvwTracks->clear();
            new QTreeWidgetItem(lvwTracks, {QStringLiteral("No CD In Drive")});
            tell(this, QString::fromStdString(e.description()), brisko::ui::PromptIcon::Warning);
        }
    }
    trackCount_ = toc_ ? toc_->Count() : 0;
}

bool frmVBCDRip::SendCdCommand(const QString& command, bool showErrors) {
    lastMciError_ = brisko::mci::mciSendString(command.toStdString());
    if (lastMciError_ != 0 && showErrors) {
        tell(this, QString::fromStdString(brisko::mci::mciGetErrorString(lastMciError_)));
    }
    return lastMciError_ == 0;
}

QString frmVBCDRip::query(const QString& command) const {
    std::string reply;
    brisko::mci::mciSendString(command.toStdString(), &reply);
    return QString::fromStdString(reply);
}

void frmVBCDRip::setPlayerEnabled(bool enabled) {
    for (QPushButton* b : {play, pause, ff, rew, ftrack, btrack, stopbtn}) b->setEnabled(enabled);
}

// The player forgets the disc it showed: its buttons greyed, its times cleared.
void frmVBCDRip::ForgetDisc() {
    setPlayerEnabled(false);
    loaded_ = false;
    playing_ = false;
    totalplay->clear();
    tracktime->clear();
    timeWindow->clear();
}

void frmVBCDRip::StatusUpdate() {
    if (query(QStringLiteral("status cd media present")) != QStringLiteral("true")) {
        eject->setEnabled(false);
        if (loaded_) ForgetDisc();
        return;
    }
    if (!loaded_) {
        // A disc has just appeared.
        trackCount_ = leadingNumber(query(QStringLiteral("status cd number of tracks wait")).left(2));
        eject->setEnabled(true);
        // A disc without an audio track is taken for a data disc: the transport stays off and the
        // disc is looked at again on the next tick. A disc whose only track is audio plays.
        if (!HasAudioTrack()) return;
        totalplay->setText(QStringLiteral("Tracks: %1  Total time: %2")
                               .arg(trackCount_)
                               .arg(query(QStringLiteral("status cd length wait"))));
        trackLengths_.assign(static_cast<std::size_t>(std::max(trackCount_, 0)) + 1, QString());
        for (int n = 1; n <= trackCount_; ++n) {
            trackLengths_[static_cast<std::size_t>(n)] = query(QStringLiteral("status cd length track %1").arg(n));
        }
        setPlayerEnabled(true);
        loaded_ = true;
        SendCdCommand(QStringLiteral("seek cd to 1"), true);
    }
    const QString position = query(QStringLiteral("status cd position"));
    currentTrack_ = leadingNumber(position.mid(0, 2));
    currentMinute_ = leadingNumber(position.mid(3, 2));
    currentSecond_ = leadingNumber(position.mid(6, 2));
    timeWindow->setText(QStringLiteral("[%1] %2:%3")
                            .arg(currentTrack_, 2, 10, QLatin1Char('0'))
                            .arg(currentMinute_, 2, 10, QLatin1Char('0'))
                            .arg(currentSecond_, 2, 10, QLatin1Char('0')));
    const bool known = currentTrack_ >= 1 && currentTrack_ < static_cast<int>(trackLengths_.size());
    tracktime->setText(QStringLiteral("Track time: ") +
                       (known ? trackLengths_[static_cast<std::size_t>(currentTrack_)] : QString()));
    playing_ = query(QStringLiteral("status cd mode")).left(7) == QStringLiteral("playing");
    logCdState();
}

void frmVBCDRip::logCdState() {
    // The CD's tracks on air, for the as-run log: a track that follows the one before was played
    // to its end; any other change (a skip, a stop, a pause, the disc gone) ends it there.
    using brisko::showlog::EndHow;
    auto& log = brisko::showlog::showLog();
    const int track = playing_ && loaded_ ? currentTrack_ : 0;
    if (track == loggedTrack_) return;
    if (loggedTrack_ > 0) log.soundEnded("cd", track == loggedTrack_ + 1 ? EndHow::End : EndHow::Stop);
    loggedTrack_ = track;
    if (track > 0 && log.active() && !brisko::onCue("cd")) log.soundStarted("cd", "CD " + std::to_string(track), "");
}

bool frmVBCDRip::HasAudioTrack() {
    for (int n = 1; n <= trackCount_; ++n) {
        if (query(QStringLiteral("status cd type track %1").arg(n)) == QStringLiteral("audio")) return true;
    }
    return false;
}

void frmVBCDRip::play_Click() {
    SendCdCommand(QStringLiteral("play cd"), true);
    playing_ = true;
    logCdState();
}

void frmVBCDRip::pause_Click() {
    SendCdCommand(QStringLiteral("pause cd"), true);
    playing_ = false;
    StatusUpdate();
}

void frmVBCDRip::stopbtn_Click() {
    SendCdCommand(QStringLiteral("stop cd wait"), true);
    lastCommand_ = QStringLiteral("seek cd to %1").arg(currentTrack_);
    SendCdCommand(lastCommand_, true);
    playing_ = false;
    StatusUpdate();
}

void frmVBCDRip::eject_Click() {
    SendCdCommand(QStringLiteral("set cd door open"), true);
    StatusUpdate();
}

void frmVBCDRip::ftrack_Click() {
    if (currentTrack_ < trackCount_) {
        lastCommand_ = (playing_ ? QStringLiteral("play cd from %1") : QStringLiteral("seek cd to %1")).arg(currentTrack_ + 1);
    } else {
        lastCommand_ = QStringLiteral("seek cd to 1");
    }
    SendCdCommand(lastCommand_, true);
    StatusUpdate();
}

void frmVBCDRip::btrack_Click() {
    int target = currentTrack_;
    if (currentMinute_ == 0 && currentSecond_ == 0) target = currentTrack_ < 2 ? trackCount_ : currentTrack_ - 1;
    lastCommand_ = (playing_ ? QStringLiteral("play cd from %1") : QStringLiteral("seek cd to %1")).arg(target);
    SendCdCommand(lastCommand_, true);
    StatusUpdate();
}

void frmVBCDRip::step(int direction) {
    SendCdCommand(QStringLiteral("set cd time format milliseconds"), true);
    const int32_t position = leadingNumber(query(QStringLiteral("status cd position wait")));
    // 32-bit arithmetic without clamping: a position outside the disc is refused by the device.
    const int32_t target = static_cast<int32_t>(static_cast<int64_t>(position) + direction * stepSeconds_ * 1000);
    lastCommand_ = (playing_ ? QStringLiteral("play cd from %1") : QStringLiteral("seek cd to %1")).arg(target);
    brisko::mci::mciSendString(lastCommand_.toStdString());
    SendCdCommand(QStringLiteral("set cd time format tmsf"), true);
    StatusUpdate();
}

void frmVBCDRip::ff_Click() { step(+1); }
void frmVBCDRip::rew_Click() { step(-1); }

void frmVBCDRip::lvwTracks_Click() {
    bool anyTicked = false;
    for (int i = 0; i < lvwTracks->topLevelItemCount(); ++i) {
        if (lvwTracks->topLevelItem(i)->checkState(0) == Qt::Checked) anyTicked = true;
    }
    cmdRip->setEnabled(anyTicked);
    if (!toc_) return;  // the "No CD" row: nothing to move to
    QTreeWidgetItem* row = lvwTracks->currentItem();
    if (row == nullptr) return;
    currentTrack_ = lvwTracks->indexOfTopLevelItem(row) + 1;
    SendCdCommand(QStringLiteral("stop cd"), true);
    SendCdCommand(QStringLiteral("seek cd to %1 wait").arg(currentTrack_), true);
    if (playing_) SendCdCommand(QStringLiteral("play cd"), true);
}

void frmVBCDRip::cmdRip_Click() {
    const int index = cboDrives->currentIndex() + 1;
    if (index < 1 || !toc_) return;
    const int generation = loadGeneration_;
    try {
        if (!library_.CDDrive(index).IsUnitReady()) return;
    } catch (const brisko::NumberedError&) {
        return;
    }
    // The list was built again while the drive was asked (another drive chosen, Refresh).
    if (generation != loadGeneration_ || !toc_) return;
    auto* dialog = new frmRipDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setOutputDir(Dir1->path());
    dialog->setRipTOC(*toc_);
    QStringList names;
    for (int i = 0; i < lvwTracks->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = lvwTracks->topLevelItem(i);
        names << row->text(0);
        if (row->checkState(0) != Qt::Checked) continue;
        dialog->setRipTrack(row->data(0, Qt::UserRole).toString().mid(1).toInt(), true);
    }
    // The file names are the rows' texts as they are now.
    dialog->setRowText([names](int n) { return n >= 1 && n <= names.size() ? names[n - 1] : QString(); });
    dialog->setWindowIcon(windowIcon());
    pnlCommands->setEnabled(false);
    ripDialog_ = dialog;
    dialog->show();
    repaint();
    QApplication::processEvents();
    try {
        dialog->RipSelected();
    } catch (const brisko::NumberedError& e) {
        dialog->close();
        tell(this, QStringLiteral("An error occurred during ripping: ") + QString::fromStdString(e.description()),
             brisko::ui::PromptIcon::Warning);
    }
    ripDialog_ = nullptr;
    pnlCommands->setEnabled(true);
}

void frmVBCDRip::cmdConfigure_Click() {
    frmOptions options(this);
    options.setCRRip(&library_);
    options.exec();
    if (cboDrives->count() > 0) LoadTracks();
}

void frmVBCDRip::cmdExit_Click() { close(); }

void frmVBCDRip::Drive1_Change() { Dir1->setPath(Drive1->drive()); }

void frmVBCDRip::closeEvent(QCloseEvent* event) {
    // The window cannot go while a rip runs inside one of its handlers: closing cancels the rip.
    if (ripDialog_ != nullptr) {
        ripDialog_->close();
        event->ignore();
        return;
    }
    // Nor while one of its handlers waits for a drive call: it goes once the call is over.
    if (brisko::cdripper::driveCallWaiting()) {
        event->ignore();
        QTimer::singleShot(50, this, [this] { close(); });
        return;
    }
    Timer1->stop();
    cdLock_.release();
    playing_ = false;
    logCdState();
    // Only the CD's own alias is closed: the decks and clips of this program may be on air.
    SendCdCommand(QStringLiteral("close cd"), false);
    event->accept();
}
