// The Clip Player window: opening, tab changes, clip presses, keys, tickers and the play-order list.
#include "clipplayer/frmClipPlay.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <cmath>

#include "clipplayer/ClipAliases.h"
#include "clipplayer/ClipKeys.h"
#include "clipplayer/ClipPlayer.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/ClipTime.h"
#include "clipplayer/frmClipFileSelect.h"
#include "clipplayer/frmPageNames.h"
#include "console/DeckTimer.h"
#include "media/MediaChannel.h"
#include "showlog/ShowLog.h"
#include "platform/mci/Mci.h"
#include "ui/KeyCodes.h"
#include "ui/AccessibleNames.h"
#include "ui/NameBytes.h"

using namespace brisko::clip;
using brisko::console::DeckTimer;

namespace {

// Sends COMMAND; true when it succeeded.
bool send(const std::string& command) { return brisko::mci::mciSendString(command) == 0; }

// The short form of a carried file name, from its exact bytes.
std::string shortOf(const QString& name) { return brisko::shortPath(brisko::ui::nameBytes(name).toStdString()); }

// The mode reply of ALIAS, at most 128 characters ("" when the channel does not answer).
QString modeOf(const std::string& alias) {
    std::string reply;
    if (brisko::mci::mciSendString("status " + alias + " mode", &reply) != 0) reply.clear();
    return QString::fromStdString(reply.substr(0, 128));
}

// "open SHORT type mpegvideo alias ALIAS": SHORT is the short form of the slot's full name.
void openChannel(const std::string& alias, const ClipSlot& slot) {
    send("open " + shortOf(slot.fullName().trimmed()) + " type mpegvideo alias " + alias);
}

// The caption of a clip: the file name without its four-character extension, as the eye reads it.
QString clipCaption(const QString& fileName) {
    return brisko::ui::nameForDisplay(fileName.left(std::max<qsizetype>(0, fileName.size() - 4)));
}

QString indexedName(const char* name, int b) { return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(b); }

constexpr const char* kPlayTip = "Left Click to Start and Stop clip. Right Click to Pause and Resume.";
constexpr const char* kAddTip =
    "Click here to add or change clip, color and text color or to remove a clip from this position. "
    "Displays time left to play when clip is playing or Stopped when not.";
constexpr const char* kRewindTip = "Displays < if clip is paused. Left click to rewind clip to beginning.";
constexpr const char* kOrderTip = "Left click here to add this clip to the Press Space to Play list.";

QString keyTip(int b) {
    if (b < 36) return QStringLiteral("Press this key on the keyboard to start and stop this clip.");
    if (b == 46)
        return QStringLiteral("With the NumLock on press the Period key on the number pad to play or stop this clip.");
    if (b == 47)
        return QStringLiteral(
            "With the NumLock on press the Multiply (*) key on the number pad to play or stop this clip.");
    return QStringLiteral("With NumLock on press the key on the Number Pad to play or stop this clip.");
}

}  // namespace

frmClipPlay::frmClipPlay(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmClipPlay"));
    setWindowTitle(QStringLiteral("Clip Player"));
    setMouseTracking(true);
    buildControls();
    qApp->installEventFilter(this);

    // 1. Tab 0; every button cleared.
    CurrentTab = 0;
    clearButtons();
    // 2. The user's clips and page names; the layout fractions for resizing.
    loadclips();
    getclippagenames();
    layout_.record(size());
    recordFonts();
    // 3. Tab 0 selected, tabs named.
    {
        const QSignalBlocker quiet(SSTab1);
        SSTab1->setCurrentIndex(0);
    }
    for (int t = 0; t < kPageNames; ++t) SSTab1->setTabText(t, shownPageName(clipState().PageNames[size_t(t)]));
    nameTabs();
    // 4. The buttons of page 1.
    CurrentPage = 1;
    for (int b = 0; b < kButtons; ++b) showButton(b, true);
    // 5.
    CurrentPage = 1;
    brisko::showlog::showLog().clipUser(brisko::ui::nameBytes(clipState().CurrentUser).toStdString());
}

frmClipPlay::~frmClipPlay() {
    qApp->removeEventFilter(this);
    if (selector_) delete selector_.data();
    if (pageNames_) delete pageNames_.data();
}

void frmClipPlay::buildControls() {
    resize(980, 546);
    SSTab1 = new QTabBar(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    SSTab1->setExpanding(false);
    SSTab1->setFocusPolicy(Qt::TabFocus);
    for (int t = 0; t < kPageNames; ++t) SSTab1->addTab(QStringLiteral("Tab ") + QString::number(t));
    SSTab1->setGeometry(6, 4, 714, 30);
    connect(SSTab1, &QTabBar::currentChanged, this, [this](int t) { SSTab1_Click(t); });
    for (int b = 0; b < kButtons; ++b) buildButton(b);
    buildSideControls();
    setTabOrderByRows();
    for (QObject* child : children())
        if (auto* w = qobject_cast<QWidget*>(child)) layout_.add(w);
}

void frmClipPlay::buildButton(int b) {
    QFont small = font();
    small.setPointSizeF(7);
    // Column b div 6, row b mod 6: 1320 and 1200 twips apart from 120 and 600 twips.
    const int x = 8 + (b / 6) * 88;
    const int y = 40 + (b % 6) * 80;
    auto* play = new ClipButton(this);
    play->setObjectName(indexedName("cmdPlay", b));
    play->setGeometry(x, y, 65, 65);
    play->setToolTip(QString::fromLatin1(kPlayTip));
    // Read as "Clip 17, Station ID, playing": the number, the clip the caption shows, its state.
    const QString clip = QStringLiteral("Clip ") + QString::number(b + 1);
    brisko::ui::nameWithValue(play, clip, {{}, {}, QStringLiteral("playing"), QStringLiteral("empty")});
    play->setAccessibleDescription(QStringLiteral("Key %1. Enter starts or stops it, the menu key pauses or resumes it")
                                       .arg(keyLabel(b)));
    play->setFocusPolicy(Qt::TabFocus);
    connect(play, &ClipButton::MouseDown, this, [this, b](Qt::MouseButton m) { cmdPlay_MouseDown(b, m); });
    connect(play, &ClipButton::MouseMove, this, [this, b] { cmdPlay_MouseMove(b); });
    cmdPlay[b] = play;

    auto* add = new QPushButton(this);
    add->setObjectName(indexedName("cmdAdd", b));
    add->setGeometry(x, y + 66, 65, 14);
    add->setFont(small);
    add->setFocusPolicy(Qt::TabFocus);
    add->setToolTip(QString::fromLatin1(kAddTip));
    brisko::ui::nameWithValue(add, clip + QStringLiteral(" add or change"));
    connect(add, &QPushButton::clicked, this, [this, b] { cmdAdd_Click(b); });
    cmdAdd[b] = add;

    auto* rewind = new ClickBox(this);
    rewind->setObjectName(indexedName("Text1", b));
    rewind->setGeometry(x + 66, y, 21, 18);
    rewind->setToolTip(QString::fromLatin1(kRewindTip));
    brisko::ui::nameControl(rewind, clip + QStringLiteral(" rewind"),
                            QStringLiteral("Shows < while the clip is paused; Enter rewinds it"));
    rewind->setFocusPolicy(Qt::TabFocus);
    connect(rewind, &ClickBox::Click, this, [this, b] { Text1_Click(b); });
    Text1[b] = rewind;

    auto* light = new StatusLight(this);
    light->setObjectName(indexedName("Shape1", b));
    light->setGeometry(x + 69, y + 21, 15, 10);
    Shape1[b] = light;

    auto* playing = new QCheckBox(this);
    playing->setObjectName(indexedName("Check1", b));
    playing->setGeometry(x + 68, y + 34, 18, 16);
    playing->setFocusPolicy(Qt::NoFocus);
    playing->setAttribute(Qt::WA_TransparentForMouseEvents);
    brisko::ui::nameControl(playing, clip + QStringLiteral(" playing flag"));
    Check1[b] = playing;

    auto* order = new QPushButton(QStringLiteral(">"), this);
    order->setObjectName(indexedName("Command2", b));
    order->setGeometry(x + 66, y + 51, 21, 14);
    order->setFont(small);
    order->setFocusPolicy(Qt::TabFocus);
    order->setToolTip(QString::fromLatin1(kOrderTip));
    brisko::ui::nameControl(order, clip + QStringLiteral(" to the play list"));
    connect(order, &QPushButton::clicked, this, [this, b] { Command2_Click(b); });
    Command2[b] = order;

    auto* key = new QLabel(keyLabel(b), this);
    key->setObjectName(indexedName("Label2", b));
    key->setFont(small);
    // Readable on any button colour: dark text on a pale patch in the corner.
    key->setStyleSheet(QStringLiteral("QLabel { color: black; background: rgba(255, 255, 255, 190);"
                                      " padding: 0px 2px; border-radius: 2px; }"));
    key->adjustSize();
    key->setGeometry(x + 63 - key->width(), y + 63 - key->height(), key->width(), key->height());
    key->setToolTip(keyTip(b));
    key->setAttribute(Qt::WA_TransparentForMouseEvents);
    key->raise();
    Label2[b] = key;

    Timer1[b] = new DeckTimer(50, this);
    connect(Timer1[b], &DeckTimer::Timer, this, [this, b] { Timer1_Timer(b); });
}

void frmClipPlay::buildSideControls() {
    Label4 = new QLabel(QStringLiteral("Press Space to play List"), this);
    Label4->setGeometry(730, 6, 240, 20);
    lstPlayOrder = new QListWidget(this);
    lstPlayOrder->setObjectName(QStringLiteral("lstPlayOrder"));
    lstPlayOrder->setGeometry(730, 28, 240, 180);
    lstPlayOrder->setFocusPolicy(Qt::TabFocus);
    brisko::ui::nameControl(lstPlayOrder, QStringLiteral("Play list, Space plays the next"));
    lstPlayOrder->setToolTip(QStringLiteral(
        "Contains a list of clips to play in order when the space bar is pressed. Unchecked clips will "
        "play, checked clips have been played. Uncheck to play again."));
    Label3 = new QLabel(QStringLiteral("Played This Session or Errors"), this);
    Label3->setGeometry(730, 214, 240, 20);
    lstPlayed = new brisko::clip::PlayedList(this);
    lstPlayed->setObjectName(QStringLiteral("lstPlayed"));
    lstPlayed->setGeometry(730, 236, 240, 180);
    lstPlayed->setFocusPolicy(Qt::TabFocus);
    brisko::ui::nameControl(lstPlayed, QStringLiteral("Played this session or errors"));
    lstPlayed->setToolTip(QStringLiteral("Keeps track of all clips played and missing clip files."));
    cmdClearList = new QPushButton(QStringLiteral("Clear List"), this);
    cmdClearList->setGeometry(730, 424, 240, 26);
    cmdClearList->setToolTip(QStringLiteral("Click here to clear the list of clips to be played"));
    cmdPageNames = new QPushButton(QStringLiteral("Enter or Change Page Names"), this);
    cmdPageNames->setGeometry(730, 454, 240, 26);
    cmdPageNames->setToolTip(QStringLiteral("Click here to change name of the pages."));
    cmdLoadUser = new QPushButton(QStringLiteral("Load Different User"), this);
    cmdLoadUser->setGeometry(730, 484, 150, 30);
    cmdLoadUser->setToolTip(QStringLiteral("Click here to change current user and load a new set of clips."));
    cmdExit = new QPushButton(QStringLiteral("Exit"), this);
    cmdExit->setGeometry(884, 484, 86, 30);
    cmdExit->setToolTip(QStringLiteral("Click here to exit Clip Player and stop any playing clips."));
    for (QPushButton* button : {cmdClearList, cmdPageNames, cmdLoadUser, cmdExit}) button->setFocusPolicy(Qt::TabFocus);
    connect(cmdClearList, &QPushButton::clicked, this, [this] { cmdClearList_Click(); });
    connect(cmdPageNames, &QPushButton::clicked, this, [this] { cmdPageNames_Click(); });
    connect(cmdLoadUser, &QPushButton::clicked, this, [this] { cmdLoadUser_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setGeometry(0, 520, 980, 24);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setToolTip(QStringLiteral("Displays the full file name of button under mouse pointer."));

}

ClipSlot& frmClipPlay::slot(int b) { return clipState().Table.slot(CurrentPage, b); }

void frmClipPlay::clearButtons() {
    for (int b = 0; b < kButtons; ++b) {
        cmdPlay[b]->setText(QString());
        cmdPlay[b]->setColours(kWhite, cmdPlay[b]->textColour());
        setAddCaption(b, QString());
    }
}

void frmClipPlay::showButton(int b, bool opening) {
    ClipSlot& s = slot(b);
    setAddCaption(b, QStringLiteral("Add"));
    Shape1[b]->setColour(kWhite);
    cmdPlay[b]->setMissingPicture(false);
    if (opening) s.StatusColour = kWhite;
    // An opening skips names under three characters; a tab change disables those under two.
    if (s.FileName.size() < (opening ? 3 : 2)) {
        if (!opening) cmdPlay[b]->setEnabled(false);
        return;
    }
    cmdPlay[b]->setText(clipCaption(s.FileName));
    // A new window has no channel open; a tab change shows what still sounds on the button.
    bool sounding = false;
    if (!opening) {
        ModeReply = modeOf(buttonAlias(b));
        CurrentButton = b;
        sounding = ModeReply.startsWith(QLatin1String("play"));
    }
    if (sounding) {
        Shape1[b]->setColour(kRed);
    } else {
        setAddCaption(b, QStringLiteral("Stopped"));
        Shape1[b]->setColour(kGreen);
        if (opening) s.StatusColour = kGreen;
    }
    cmdPlay[b]->setChecked(sounding);
    Check1[b]->setChecked(sounding);
    cmdPlay[b]->setColours(s.BackColour, s.TextColour);
    cmdPlay[b]->setEnabled(true);
    if (!opening && !s.Directory.endsWith(QLatin1Char('/'))) s.Directory += QLatin1Char('/');
    if (fileMissing(s)) {
        cmdPlay[b]->setMissingPicture(true);
        cmdPlay[b]->setEnabled(false);
        if (!opening) {
            setAddCaption(b, QStringLiteral("Add"));
            lstPlayed->addItem(QStringLiteral("File: ") + brisko::ui::nameForDisplay(s.FileName) +
                               QStringLiteral("  Does not exist"));
        }
    }
}

void frmClipPlay::setAddCaption(int b, const QString& text) {
    if (cmdAdd[b]->text() != text) cmdAdd[b]->setText(text);
}

bool frmClipPlay::fileMissing(const ClipSlot& s) const {
    return brisko::FileHasContent(shortOf(s.fullName().trimmed())) == -1;
}

void frmClipPlay::closeButtonChannels() {
    for (int b = 0; b < kButtons; ++b) send("close " + buttonAlias(b));
}

void frmClipPlay::recordFonts() {
    fonts_.clear();
    const double width = std::max(1, this->width());
    for (QObject* child : children()) {
        auto* w = qobject_cast<QWidget*>(child);
        if (w == nullptr) continue;
        const QFont f = w->font();
        const bool pixels = f.pointSizeF() <= 0;
        fonts_.push_back({w, (pixels ? f.pixelSize() : f.pointSizeF()) / width, pixels});
    }
}

void frmClipPlay::scaleFonts() {
    const double width = std::max(1, this->width());
    for (const FontShare& f : fonts_) {
        QFont font = f.widget->font();
        if (f.pixels)
            font.setPixelSize(std::max(1, int(std::lround(f.share * width))));
        else
            font.setPointSizeF(std::max(1.0, f.share * width));
        if (font != f.widget->font()) f.widget->setFont(font);
    }
}

// ---- Public operations -------------------------------------------------------------------------

void frmClipPlay::loadclips() {
    clearButtons();
    auto& state = clipState();
    const QString path = clipListPath(state.CurrentUser);
    const QString shown = brisko::ui::nameForDisplay(path);
    QByteArray bytes;
    loadProblems_.clear();
    clipListDamaged_ = false;
    if (!readWhole(path, &bytes)) {
        // Nothing to read: every slot is empty (and white) until the user saves a list.
        parseClipList(QByteArray(), state.Table);
        loadProblems_ += QStringLiteral("The clip list %1 cannot be read, so every page is empty. "
                                        "\"Exit & Save\" in the clip file selector writes a new one.\n")
                             .arg(shown);
        return;
    }
    const ClipListRead read = parseClipList(bytes, state.Table);
    if (read.damaged()) {
        // Not a clip list as this program writes one: kept on disk until the operator decides.
        clipListDamaged_ = true;
        loadProblems_ += QStringLiteral("The clip list %1 is damaged or is not a clip list: %2 of its lines "
                                        "are not clip lines and %3 lines follow the last slot. Its slots show "
                                        "what could be read. The file is kept as it is; \"Exit & Save\" asks "
                                        "before it replaces it.\n")
                             .arg(shown)
                             .arg(read.badLines)
                             .arg(read.extraLines);
    } else if (read.lines < kClipLines) {
        loadProblems_ += QStringLiteral("The clip list %1 has %2 of its %3 lines; the slots of the "
                                        "missing lines are empty.\n")
                             .arg(shown)
                             .arg(read.lines)
                             .arg(kClipLines);
    }
}

void frmClipPlay::getclippagenames() {
    auto& state = clipState();
    const QString path = pageNamesPath(state.CurrentUser);
    QByteArray bytes;
    if (!readWhole(path, &bytes))
        loadProblems_ += QStringLiteral("The page names %1 cannot be read, so the pages have no names.\n")
                             .arg(brisko::ui::nameForDisplay(path));
    state.PageNames = parsePageNames(bytes);
}

// ---- Tabs ----------------------------------------------------------------------------------------

void frmClipPlay::SSTab1_Click(int tab) {
    if (tab < 0 || tab >= kPageNames) return;
    // 1.
    CurrentTab = tab;
    CurrentPage = tab + 1;
    if (!SSTab1->autoFillBackground()) {
        QPalette white = SSTab1->palette();
        white.setColor(QPalette::Window, Qt::white);
        SSTab1->setPalette(white);
        SSTab1->setAutoFillBackground(true);
    }
    // 2.
    clearButtons();
    // 3.
    for (int b = 0; b < kButtons; ++b) showButton(b, false);
    // 4.
    PageChanged = true;
}

// ---- Clip presses ----------------------------------------------------------------------------------

void frmClipPlay::cmdPlay_MouseDown(int b, Qt::MouseButton button) {
    if (b < 0 || b >= kButtons) return;
    // 1.
    CurrentButton = b;
    if (cmdPlay[b]->text().isEmpty()) cmdPlay[b]->setChecked(false);
    // 2. The first press after a tab change stops every clip of the window.
    if (PageChanged) {
        for (int k = 0; k < kButtons; ++k) logClipEnded(k, false);
        closeButtonChannels();
        for (ClipButton* play : cmdPlay) play->setChecked(false);
        PageChanged = false;
    }
    // 3.
    if (cmdPlay[b]->text().isEmpty()) return;
    // 4. An open channel stays open and keeps its state.
    const std::string alias = buttonAlias(b);
    openChannel(alias, slot(b));
    ModeReply = modeOf(alias);
    const QString mode = ModeReply.left(4);
    if (button == Qt::RightButton) return pauseToggle(b);
    if (button != Qt::LeftButton) return;
    // 5.
    if (mode == QLatin1String("stop")) {
        startClip(b, false);
    } else if (mode == QLatin1String("play")) {
        // Something sounds on the channel, whoever started it.
        if (playing_[b].isEmpty()) playing_[b] = slot(b).FileName;
        stopClip(b);
    } else if (mode == QLatin1String("paus")) {
        Timer1[b]->setEnabled(true);
        Text1[b]->clear();
        Check1[b]->setChecked(true);
        Shape1[b]->setColour(kRed);
        slot(b).StatusColour = kRed;
        cmdPlay[b]->setChecked(true);
        send("play " + alias);
        logClipPaused(b, false);
    }
}

void frmClipPlay::startClip(int b, bool fromKey) {
    ClipSlot& s = slot(b);
    const std::string alias = buttonAlias(b);
    Timer1[b]->setEnabled(true);
    if (!fromKey && Text1[b]->text() == QLatin1String("<")) Text1[b]->clear();
    Check1[b]->setChecked(true);
    cmdPlay[b]->setChecked(true);
    Shape1[b]->setColour(kRed);
    s.StatusColour = kRed;
    if (fromKey) openChannel(alias, s);
    // Only a clip that did start is logged and listed; one that did not (a missing file) is
    // ended by its ticker without a word in either.
    if (!send("play " + alias)) return;
    playing_[b] = s.FileName;
    logClipStarted(b);
    writeLog(QStringLiteral("Started ") + s.FileName);
    lstPlayed->addItem(QStringLiteral("Played: ") + brisko::ui::nameForDisplay(s.FileName) +
                       QStringLiteral("    From Page: ") +
                       shownPageName(clipState().PageNames[size_t(std::clamp(CurrentPage - 1, 0, kPageNames - 1))]));
}

void frmClipPlay::logEnd(int b, const QString& line) {
    if (playing_[b].isEmpty()) return;
    logClipEnded(b, line.startsWith(QStringLiteral("Stopped after full play")));
    writeLog(line + playing_[b]);
    playing_[b].clear();
}

void frmClipPlay::stopClip(int b) {
    ClipSlot& s = slot(b);
    send("close " + buttonAlias(b));
    Check1[b]->setChecked(false);
    setAddCaption(b, QStringLiteral("Stopped"));
    Shape1[b]->setColour(kBlue);
    s.StatusColour = kBlue;
    Timer1[b]->setEnabled(false);
    cmdPlay[b]->setChecked(false);
    logEnd(b, QStringLiteral("Stopped "));
}

void frmClipPlay::releaseButton(int b) {
    if (b < 0 || b >= kButtons) return;
    send("close " + buttonAlias(b));
    Timer1[b]->setEnabled(false);
    Check1[b]->setChecked(false);
    Text1[b]->clear();
    cmdPlay[b]->setChecked(false);
    logEnd(b, QStringLiteral("Stopped "));
}

void frmClipPlay::pauseToggle(int b) {
    const std::string alias = buttonAlias(b);
    if (Check1[b]->isChecked()) {
        send("Pause " + alias);
        logClipPaused(b, true);
        Check1[b]->setChecked(false);
        Text1[b]->setText(QStringLiteral("<"));
        Shape1[b]->setColour(kBlack);
        cmdPlay[b]->setChecked(false);
    } else {
        // A clip that was not playing starts from the beginning: no ticker, no log line.
        if (send("play " + alias)) {
            if (playing_[b].isEmpty()) {
                playing_[b] = slot(b).FileName;
                logClipStarted(b);
            } else {
                logClipPaused(b, false);
            }
        }
        Check1[b]->setChecked(true);
        Text1[b]->clear();
        Shape1[b]->setColour(slot(b).StatusColour);
        cmdPlay[b]->setChecked(true);
    }
}

void frmClipPlay::Text1_Click(int b) {
    if (b < 0 || b >= kButtons || Text1[b]->text().isEmpty()) return;
    CurrentButton = b;
    logClipEnded(b, false);
    send("close " + buttonAlias(b));
    Text1[b]->clear();
    Shape1[b]->setColour(kBlue);
}

void frmClipPlay::Timer1_Timer(int b) {
    if (b < 0 || b >= kButtons) return;
    const std::string alias = buttonAlias(b);
    const int32_t length = brisko::MediaChannel::lengthFrames(alias);
    const int32_t position = brisko::MediaChannel::position(alias);
    const int32_t rate = brisko::MediaChannel::frameRate(alias);
    setAddCaption(b, timeLeftText(length, position, rate));
    cmdPlay[b]->setChecked(true);
    if (position >= length) {
        send("close " + alias);
        Check1[b]->setChecked(false);
        setAddCaption(b, QStringLiteral("Stopped"));
        Timer1[b]->setEnabled(false);
        cmdPlay[b]->setChecked(false);
        // The clip that played on the channel, whatever page is shown now.
        logEnd(b, QStringLiteral("Stopped after full play "));
    }
}

void frmClipPlay::cmdPlay_MouseMove(int b) {
    if (b < 0 || b >= kButtons) return;
    const QString name = slot(b).FileName.isEmpty() ? QString() : brisko::ui::nameForDisplay(slot(b).fullName());
    if (StatusBar1->currentMessage() != name) StatusBar1->showMessage(name);
}

void frmClipPlay::Form_MouseMove() {
    if (!StatusBar1->currentMessage().isEmpty()) StatusBar1->clearMessage();
}

void frmClipPlay::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

// ---- Keys ------------------------------------------------------------------------------------------

bool frmClipPlay::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return QWidget::eventFilter(watched, event);
    auto* target = qobject_cast<QWidget*>(watched);
    if (target == nullptr || target->window() != this || !isVisible()) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    if (type == QEvent::ShortcutOverride) {
        // Every key of this window is a key press for the window, never a shortcut.
        event->accept();
        return false;
    }
    // A held key repeats; only its first press fires a clip.
    if (!key->isAutoRepeat()) {
        const int code = brisko::ui::virtualKeyCode(*key);
        if (code != 0) Form_KeyDown(code);
    }
    // Keys that fire no clip move the focus and work the focused control; no control of the
    // window acts on any other key.
    return !keyForFocus(key);
}

bool frmClipPlay::keyForFocus(QKeyEvent* key) {
    const int k = key->key();
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
    if (k == Qt::Key_Tab || k == Qt::Key_Backtab) return true;
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || focus->window() != this) return false;
    // The tab strip turns pages and the lists move their rows with the arrow keys.
    const bool arrow = k == Qt::Key_Left || k == Qt::Key_Right || k == Qt::Key_Up || k == Qt::Key_Down;
    if (arrow && (focus == SSTab1 || focus == lstPlayOrder || focus == lstPlayed)) return true;
    const bool enter = k == Qt::Key_Return || k == Qt::Key_Enter;
    if (!enter && k != Qt::Key_Menu) return false;
    if (key->isAutoRepeat()) return false;
    for (int b = 0; b < kButtons; ++b) {
        if (focus == cmdPlay[b]) {
            // Enter is the left click (start or stop), the menu key the right click (pause).
            cmdPlay_MouseDown(b, enter ? Qt::LeftButton : Qt::RightButton);
            return false;
        }
        if (focus == Text1[b] && enter) {
            Text1_Click(b);
            return false;
        }
    }
    if (auto* button = qobject_cast<QPushButton*>(focus); button != nullptr && enter) button->click();
    return false;
}

void frmClipPlay::nameTabs() {
    for (int t = 0; t < SSTab1->count(); ++t) {
        const QString shown = SSTab1->tabText(t);
        SSTab1->setAccessibleTabName(t, shown.isEmpty() ? QStringLiteral("Page %1").arg(t + 1)
                                                        : QStringLiteral("Page %1, %2").arg(t + 1).arg(shown.left(200)));
    }
}

void frmClipPlay::setTabOrderByRows() {
    // Row by row as the eye reads the grid; in each clip, the clip button, its rewind box, its
    // play-list button and its add button; then the side controls from the top.
    QWidget* last = SSTab1;
    auto chain = [&last](QWidget* next) {
        QWidget::setTabOrder(last, next);
        last = next;
    };
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 8; ++column) {
            const int b = column * 6 + row;
            chain(cmdPlay[b]);
            chain(Text1[b]);
            chain(Command2[b]);
            chain(cmdAdd[b]);
        }
    for (QWidget* w : std::initializer_list<QWidget*>{lstPlayOrder, lstPlayed, cmdClearList, cmdPageNames,
                                                      cmdLoadUser, cmdExit})
        chain(w);
}

void frmClipPlay::Form_KeyDown(int keyCode) {
    if (keyCode == brisko::ui::vk::Space) return playNextInOrder();
    const int k = buttonForKey(keyCode);
    if (k < 0 || cmdPlay[k]->text().isEmpty()) return;
    CurrentButton = k;
    if (!Check1[k]->isChecked()) {
        startClip(k, true);
        return;
    }
    ClipSlot& s = slot(k);
    stopClip(k);
    cmdPlay[k]->setColours(s.BackColour, s.TextColour);
}

// ---- Play-order list -------------------------------------------------------------------------------

void frmClipPlay::Command2_Click(int b) {
    if (b < 0 || b >= kButtons || cmdPlay[b]->text().isEmpty()) return;
    const ClipSlot& s = slot(b);
    // The list grows as far as it is filled: every position has an alias of its own.
    if (PlayOrderFiles.size() <= PlayOrderCount) PlayOrderFiles.resize(PlayOrderCount + 1);
    PlayOrderFiles[PlayOrderCount] = s.fullName();
    ++PlayOrderCount;
    auto* item = new QListWidgetItem(brisko::ui::nameForDisplay(s.FileName), lstPlayOrder);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
}

void frmClipPlay::playNextInOrder() {
    for (int p = 0; p < lstPlayOrder->count(); ++p) {
        QListWidgetItem* item = lstPlayOrder->item(p);
        const std::string alias = playOrderAlias(p);
        if (item->checkState() == Qt::Checked) {
            logListClosing(p);
            send("close " + alias);
            continue;
        }
        const QString file = p < PlayOrderFiles.size() ? PlayOrderFiles[p] : QString();
        // The position's channel may still hold a clip from before a Clear List: it is closed
        // first, so that this entry's own file plays.
        logListClosing(p);
        send("close " + alias);
        send("open " + shortOf(file) + " type mpegvideo alias " + alias);
        if (send("play " + alias)) logListStarted(p, file);
        item->setCheckState(Qt::Checked);
        return;
    }
}

void frmClipPlay::cmdClearList_Click() {
    lstPlayOrder->clear();
    cmdPlay[0]->setFocus();
    PlayOrderCount = 0;
}

// ---- Other buttons ---------------------------------------------------------------------------------

void frmClipPlay::cmdAdd_Click(int b) {
    if (b < 0 || b >= kButtons) return;
    if (!selector_) selector_ = new frmClipFileSelect(this);
    selector_->openFor(b);
    selector_->show();
    selector_->raise();
}

void frmClipPlay::cmdPageNames_Click() {
    if (!pageNames_) pageNames_ = new frmPageNames(this);
    pageNames_->Form_Load();
    pageNames_->show();
    pageNames_->raise();
}

void frmClipPlay::cmdLoadUser_Click() {
    close();
    showUserPicker();
}

void frmClipPlay::cmdExit_Click() { close(); }

void frmClipPlay::closeEvent(QCloseEvent* event) {
    logAllClipsStopped();
    closeButtonChannels();
    for (DeckTimer* timer : Timer1) timer->setEnabled(false);
    if (selector_) selector_->close();
    if (pageNames_) pageNames_->close();
    event->accept();
}

void frmClipPlay::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layout_.apply(size());
    scaleFonts();
}
