// The deck console's main window: controls, start-up, deck transport, ticks, library browser,
// quit and menus.
#include "console/frmMain.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QStatusBar>
#include <QTime>
#include <cmath>
#include <limits>

#include "console/BackColor.h"
#include "console/ConsoleCommands.h"
#include "console/DeckMath.h"
#include "console/DeckKeys.h"
#include "console/DeckTimer.h"
#include "console/FileNames.h"
#include "console/FitLabel.h"
#include "console/Launchers.h"
#include "console/PreListen.h"
#include "console/ProportionalLayout.h"
#include "console/Settings.h"
#include "console/WholeFile.h"
#include "console/frmAbout.h"
#include "console/frmFunc.h"
#include "console/frmHelp.h"
#include "console/frmSetIndex.h"
#include "media/MediaChannel.h"
#include "platform/common/Clock.h"
#include "platform/common/ProgramFolder.h"
#include "ui/AccessibleNames.h"
#include "ui/Prompt.h"

using brisko::MediaChannel;
using namespace brisko::console;

namespace {

frmMain* g_instance = nullptr;

std::function<void()>& endProgramHook() {
    static std::function<void()> hook;
    return hook;
}

const QString kAppTitle = QStringLiteral("Brisko");
const char* const kDragFormat = "application/x-brisko-library-file";

// Design client size: every control is placed for it and scales with the window.
constexpr int kDesignWidth = 1360;
constexpr int kDesignHeight = 700;

QString n1(int i) { return QString::number(i + 1); }

// Sends a command the console composes itself; the reply is not used.
void send(const QString& command) { brisko::console::sendCommand(command.toStdString()); }

// The short path of a file name kept exactly (FileNames.h), as the bytes a command carries.
std::string shortPathOf(const QString& file) {
    return brisko::shortPath(brisko::console::fileNameBytes(file).toStdString());
}

bool endsWithTxt(const QString& path) { return path.right(3) == QLatin1String("txt"); }

QString withSlash(QString dir) {
    if (!dir.endsWith(QLatin1Char('/'))) dir += QLatin1Char('/');
    return dir;
}

}  // namespace

// ---- construction ---------------------------------------------------------------------------

frmMain::frmMain(const QString& commandLine, QWidget* parent) : QMainWindow(parent) {
    g_instance = this;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(kAppTitle);
    // No close command on the title bar: Quit and Exit are the ways out.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowMinMaxButtonsHint);
    layout_ = new ProportionalLayout;
    buildControls();
    buildMenus();
    buildReadouts();
    layout_->record(QSize(kDesignWidth, kDesignHeight));
    resize(kDesignWidth, kDesignHeight + menuBar()->sizeHint().height() +
                             statusBar()->sizeHint().height());

    // 1. Auto Delete is off.
    mnuAutoDOn->setChecked(false);
    mnuAutoDOff->setChecked(true);
    // 2. The clock runs.
    Timer1->setEnabled(true);
    Timer1_Timer();
    // 3.
    SettingsDir = QDir::currentPath();
    // 4.
    LoadSettings();
    // 5.
    brisko::registerMpegVideoDriver();
    // 6. Operator settings start values (the Functions window is built here if not yet).
    frmFunc* f = Func();
    f->Slider1->setValue(5);
    f->Label12->setText(QStringLiteral("5"));
    f->Slider2->setValue(2);
    f->Label13->setText(QStringLiteral("2"));
    f->Slider3->setValue(2);
    f->Label14->setText(QStringLiteral("2"));
    f->Slider5->setValue(3);
    f->Label16->setText(QString::number(f->Slider5->value()));
    f->Slider8->setValue(20);
    f->Label19->setText(QStringLiteral("20"));
    // 7. Key preview; the drag label stays hidden.
    brisko::console::DeckKeys::install(this);
    Label5->setVisible(false);
    // 8.
    if (!commandLine.isEmpty()) PlayImmediate(commandLine);
    // 9.
    if (isDeck(SpaceIndex)) HScroll1[SpaceIndex]->setRange(0, 100);
    // 10. The close command was left out of the window flags above; closeEvent refuses the rest.
    // Pre-listening on the cue output, beside the decks.
    preListen_ = new brisko::console::PreListen(this);
}

frmMain::~frmMain() {
    if (g_instance == this) g_instance = nullptr;
    show_.reset();
    delete layout_;
}

frmMain* frmMain::instance() { return g_instance; }

std::string frmMain::deckAlias(int i) { return "voice" + std::to_string(i); }

void frmMain::setEndProgramHook(std::function<void()> hook) { endProgramHook() = std::move(hook); }

int64_t frmMain::parentHandle() const { return static_cast<int64_t>(effectiveWinId()); }

void frmMain::buildControls() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);
    spare_ = new QWidget(this);
    spare_->setVisible(false);

    auto track = [this](QWidget* w, const QString& name, int x, int y, int width, int height) {
        if (!name.isEmpty()) w->setObjectName(name);
        w->setGeometry(x, y, width, height);
        layout_->add(w);
    };
    auto boldFont = [](QWidget* w, double points) {
        QFont font = w->font();
        font.setPointSizeF(points);
        font.setBold(true);
        w->setFont(font);
    };

    // Library browser on the left.
    Label6 = new QLabel(central);
    track(Label6, QStringLiteral("Label6"), 8, 4, 250, 38);
    Label6->setAlignment(Qt::AlignCenter);
    Label6->setToolTip(QStringLiteral("Current time."));
    boldFont(Label6, 18);
    Drive1 = new DriveBox(central);
    track(Drive1, QStringLiteral("Drive1"), 8, 46, 250, 26);
    folderCaption_ = new QLabel(central);
    track(folderCaption_, QString(), 8, 74, 250, 20);
    Dir1 = new FolderList(central);
    track(Dir1, QStringLiteral("Dir1"), 8, 96, 250, 194);
    File1 = new FileList(central);
    track(File1, QStringLiteral("File1"), 8, 294, 250, 336);
    File1->setPattern(QStringLiteral("*"));
    File1->setPath(Dir1->path());
    {
        const QSignalBlocker blocker(Drive1);
        Drive1->setDrive(Dir1->path());
    }
    Drive1->setToolTip(QStringLiteral("Drives"));
    brisko::ui::nameControl(Drive1, QStringLiteral("Drive"), QStringLiteral("G moves here"));
    brisko::ui::nameControl(Dir1, QStringLiteral("Folders"), QStringLiteral("D moves here"));
    brisko::ui::nameControl(File1, QStringLiteral("Files"), QStringLiteral("F moves here"));
    brisko::ui::nameWithValue(Label6, QStringLiteral("Clock"));
    Dir1->setToolTip(QStringLiteral("Folders: Space or Enter opens the highlighted folder"));
    File1->setToolTip(QStringLiteral("Drag a file onto a deck, or double-click to fill the next deck"));
    File1->setDragEnabled(false);  // the console starts its own drag (see startDrag)
    Label1 = new QLabel(QStringLiteral("Total Time"), central);
    track(Label1, QStringLiteral("Label1"), 8, 636, 110, 26);
    cmrTime = new QLabel(QStringLiteral("00:00:00"), central);
    track(cmrTime, QStringLiteral("cmrTime"), 118, 634, 140, 30);
    cmrTime->setToolTip(QStringLiteral("Displays total time of all clips."));
    brisko::ui::nameWithValue(cmrTime, QStringLiteral("Total time"));
    boldFont(cmrTime, 14);
    Label5 = new QLabel(QStringLiteral("A"), central);
    track(Label5, QStringLiteral("Label5"), 8, 294, 250, 16);
    // Under the library, the engine's latest incident, drawn smaller where it would not fit.
    healthLine_ = new brisko::console::FitLabel(central);
    track(healthLine_, QStringLiteral("healthLine"), 8, 666, 250, 32);
    healthLine_->setWordWrap(true);
    QPalette red = healthLine_->palette();
    red.setColor(QPalette::WindowText, QColor(0xb0, 0x00, 0x00));
    healthLine_->setPalette(red);

    // Now playing and the immediate-play stop button above the decks.
    currentclip = new QLineEdit(central);
    track(currentclip, QStringLiteral("currentclip"), 268, 6, 930, 32);
    currentclip->setReadOnly(true);
    currentclip->setToolTip(QStringLiteral("Shows what is currently being played, Deck and name."));
    currentclip->setAccessibleName(QStringLiteral("Now playing"));
    boldFont(currentclip, 12);
    StopImmediate = new QPushButton(QStringLiteral("&Stop"), central);
    track(StopImmediate, QStringLiteral("StopImmediate"), 1206, 6, 148, 32);
    brisko::ui::nameControl(StopImmediate, QStringLiteral("Stop the file from the command line"));
    StopImmediate->setVisible(false);

    // The twelve decks in two columns of six.
    constexpr int kColumnWidth = 539;
    for (int i = 0; i < kDecks; ++i) {
        const int left = 268 + (i / 6) * (kColumnWidth + 8);
        const int top = 44 + (i % 6) * 100;
        buildDeck(i, central, left, top);
    }
    buildDeck(12, spare_, 0, 0);

    // Console buttons along the bottom.
    struct Button {
        QPushButton** slot;
        const char* name;
        const char* caption;
        const char* tooltip;
    };
    const Button buttons[] = {
        {&Command2, "Command2", "&Clear All", "Clear every deck"},
        {&TimeRecal, "TimeRecal", "Time Re-cal", "Recalculate the start times from the index deck"},
        {&cmdSetIndex, "cmdSetIndex", "Set Index", "Choose the deck the Space bar starts next"},
        {&cmdHelp, "cmdHelp", "HELP", "Keyboard commands"},
        {&cmdClipShow, "cmdClipShow", "Clip Player", "Open the Clip Player"},
        {&CD_Play, "CD_Play", "CD Play/Rip", "Play or rip an audio CD"},
        {&cmdEncoder, "cmdEncoder", "MP3 Encoder", "Encode a WAV file to MP3"},
        {&CommandQuit, "CommandQuit", "&Quit", "Press to Quit"},
    };
    int x = 268;
    for (const Button& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), central);
        track(button, QString::fromUtf8(b.name), x, 652, 128, 40);
        button->setToolTip(QString::fromUtf8(b.tooltip));
        *b.slot = button;
        x += 136;
    }
    boldFont(CommandQuit, 10);

    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(TimeRecal, &QPushButton::clicked, this, [this] { TimeRecal_Click(); });
    connect(cmdSetIndex, &QPushButton::clicked, this, [this] { cmdSetIndex_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdClipShow, &QPushButton::clicked, this, [this] { cmdClipShow_Click(); });
    connect(CD_Play, &QPushButton::clicked, this, [this] { CD_Play_Click(); });
    connect(cmdEncoder, &QPushButton::clicked, this, [this] { cmdEncoder_Click(); });
    connect(CommandQuit, &QPushButton::clicked, this, [this] { CommandQuit_Click(); });
    connect(StopImmediate, &QPushButton::clicked, this, [this] { StopImmediate_Click(); });

    connect(Drive1, &DriveBox::driveChanged, this, [this] { Drive1_Change(); });
    connect(Dir1, &FolderList::pathChanged, this, [this] { Dir1_Change(); });
    connect(Dir1, &FolderList::pathChanged, this, [this] { showFolderCaption(); });
    showFolderCaption();
    connect(File1, &QListWidget::itemDoubleClicked, this, [this] { LoadDeckFromList(); });
    File1->viewport()->installEventFilter(this);
    File1->viewport()->setMouseTracking(true);
    File1->installEventFilter(this);
    Dir1->installEventFilter(this);

    Timer1 = new DeckTimer(50, this);
    connect(Timer1, &DeckTimer::Timer, this, [this] { Timer1_Timer(); });
}

void frmMain::buildDeck(int i, QWidget* parent, int left, int top) {
    const bool real = isDeck(i);
    auto track = [&](QWidget* w, const QString& name, int x, int y, int width, int height) {
        if (real) {
            w->setObjectName(name + QLatin1Char('_') + QString::number(i));
            w->setGeometry(left + x, top + y, width, height);
            layout_->add(w);
        }
    };
    if (real) {
        auto* frame = new QFrame(parent);
        frame->setFrameShape(QFrame::StyledPanel);
        frame->setGeometry(left, top, 539, 96);
        layout_->add(frame);
        auto* number = new QLabel(n1(i), parent);
        number->setAlignment(Qt::AlignCenter);
        number->setGeometry(left + 3, top + 4, 24, 30);
        QFont font = number->font();
        font.setBold(true);
        font.setPointSizeF(11);
        number->setFont(font);
        number->setAutoFillBackground(true);
        layout_->add(number);
        deckNumber_[i] = number;
    }

    Text1[i] = new QLineEdit(parent);
    track(Text1[i], QStringLiteral("Text1"), 28, 4, 283, 30);
    Text1[i]->setReadOnly(true);
    Text1[i]->setAcceptDrops(true);
    Text1[i]->setToolTip(QStringLiteral("Deck %1: drop a file here").arg(n1(i)));
    Text1[i]->setAccessibleName(QStringLiteral("Deck ") + n1(i));
    {
        QFont font = Text1[i]->font();
        font.setPointSizeF(11);
        font.setBold(true);
        Text1[i]->setFont(font);
    }
    setBackColor(Text1[i], kColorLoaded);
    Label4[i] = new QLabel(parent);
    track(Label4[i], QStringLiteral("Label4"), 315, 4, 50, 30);
    Label4[i]->setAlignment(Qt::AlignCenter);
    Label4[i]->setFrameShape(QFrame::StyledPanel);
    Label4[i]->setToolTip(QStringLiteral("Total clip play length."));
    brisko::ui::nameWithValue(Label4[i], QStringLiteral("Deck %1 length").arg(n1(i)));
    Text3[i] = new QLineEdit(parent);
    track(Text3[i], QStringLiteral("Text3"), 369, 4, 62, 30);
    Text3[i]->setReadOnly(true);
    Text3[i]->setAlignment(Qt::AlignCenter);
    Text3[i]->setToolTip(QStringLiteral("Time remaining"));
    Text3[i]->setPlaceholderText(QStringLiteral("left"));
    Text3[i]->setAccessibleName(QStringLiteral("Deck %1 time remaining").arg(n1(i)));
    {
        QFont font = Text3[i]->font();
        font.setPointSizeF(11);
        font.setBold(true);
        Text3[i]->setFont(font);
    }
    Label8[i] = new QLabel(parent);
    track(Label8[i], QStringLiteral("Label8"), 435, 4, 36, 30);
    Label8[i]->setAlignment(Qt::AlignCenter);
    Label8[i]->setVisible(false);
    brisko::ui::nameWithValue(Label8[i], QStringLiteral("Deck %1 percent played").arg(n1(i)));
    StartTime[i] = new QLineEdit(parent);
    track(StartTime[i], QStringLiteral("StartTime"), 473, 4, 62, 30);
    StartTime[i]->setToolTip(QStringLiteral("Time clip was started or time clip will start."));
    StartTime[i]->setPlaceholderText(QStringLiteral("start"));
    StartTime[i]->setAccessibleName(QStringLiteral("Deck %1 start time").arg(n1(i)));
    StartTime[i]->setVisible(false);

    cmdPlay[i] = new QPushButton(QStringLiteral("Play ") + n1(i), parent);
    track(cmdPlay[i], QStringLiteral("cmdPlay"), 4, 38, 84, 28);
    setBackColor(cmdPlay[i], kColorPlayIdle);
    cmdPlay[i]->setAccessibleDescription(QStringLiteral("Shift+F%1 plays, pauses or resumes deck %2")
                                             .arg(i + 1)
                                             .arg(n1(i)));
    Command4[i] = new QPushButton(QStringLiteral("Stop"), parent);
    track(Command4[i], QStringLiteral("Command4"), 92, 38, 52, 28);
    Command4[i]->setToolTip(QStringLiteral("Stop ") + n1(i));
    Command4[i]->setEnabled(false);
    brisko::ui::nameControl(Command4[i], QStringLiteral("Stop deck ") + n1(i),
                            QStringLiteral("Ctrl+F%1").arg(i + 1));
    Command5[i] = new QPushButton(QStringLiteral("Clear"), parent);
    track(Command5[i], QStringLiteral("Command5"), 148, 38, 52, 28);
    Command5[i]->setToolTip(QStringLiteral("Clear ") + n1(i));
    Command5[i]->setVisible(false);
    brisko::ui::nameControl(Command5[i], QStringLiteral("Clear deck ") + n1(i));
    Command8[i] = new QPushButton(QStringLiteral("F"), parent);
    track(Command8[i], QStringLiteral("Command8"), 204, 38, 40, 28);
    Command8[i]->setToolTip(QStringLiteral("Fade %1 to 0 and stop.").arg(n1(i)));
    Command8[i]->setEnabled(false);
    setBackColor(Command8[i], kColorButtonFace);
    // The caption is the deck's volume: "F" is full.
    brisko::ui::nameWithValue(
        Command8[i], QStringLiteral("Deck %1 fade").arg(n1(i)),
        {QStringLiteral("volume "), {{QStringLiteral("F"), QStringLiteral("full volume")}}, {}, {}});
    Command8[i]->setAccessibleDescription(
        QStringLiteral("Fades deck %1 to 0 and stops it; Shift+Alt+F%2").arg(n1(i)).arg(i + 1));
    chkSegue[i] = new QCheckBox(parent);
    track(chkSegue[i], QStringLiteral("chkSegue"), 252, 38, 20, 28);
    chkSegue[i]->setToolTip(QStringLiteral(
        "If checked this clip will play immediatly following the previous one when it stops, even "
        "if stopped manually."));
    chkSegue[i]->setAccessibleName(QStringLiteral("Deck %1 Segue").arg(n1(i)));
    Label2[i] = new QLabel(QStringLiteral("Segue"), parent);
    track(Label2[i], QStringLiteral("Label2"), 272, 38, 46, 28);
    chkPost[i] = new QCheckBox(QStringLiteral("Post"), parent);
    track(chkPost[i], QStringLiteral("chkPost"), 322, 38, 58, 28);
    chkPost[i]->setToolTip(
        i == 5 ? QStringLiteral("Segue Fade 6")
               : QStringLiteral("When clicked this clip will fade out when next clip is started."));
    chkPost[i]->setAccessibleName(QStringLiteral("Deck %1 Post").arg(n1(i)));
    chkPost[i]->setVisible(false);
    auto* cutCaption = new QLabel(QStringLiteral("Cut Off"), parent);
    if (real) {
        cutCaption->setGeometry(left + 384, top + 38, 50, 28);
        cutCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        layout_->add(cutCaption);
    }
    Text2[i] = new QLineEdit(parent);
    track(Text2[i], QStringLiteral("Text2"), 438, 38, 44, 28);
    Text2[i]->setToolTip(QStringLiteral("Cut Off ") + n1(i));
    Text2[i]->setAccessibleName(QStringLiteral("Deck %1 Cut Off seconds").arg(n1(i)));
    Text2[i]->setAlignment(Qt::AlignCenter);

    ProgressBar1[i] = new QProgressBar(parent);
    track(ProgressBar1[i], QStringLiteral("ProgressBar1"), 4, 70, 262, 20);
    brisko::ui::nameControl(ProgressBar1[i], QStringLiteral("Deck %1 progress").arg(n1(i)));
    ProgressBar1[i]->setRange(0, 100);
    ProgressBar1[i]->setValue(0);
    ProgressBar1[i]->setTextVisible(false);
    ProgressBar1[i]->setVisible(false);
    HScroll1[i] = new QScrollBar(Qt::Horizontal, parent);
    track(HScroll1[i], QStringLiteral("HScroll1"), 272, 70, 263, 20);
    HScroll1[i]->setRange(0, 100);
    // The position changes when the operator lets go of the slider, not at every step of a drag.
    HScroll1[i]->setTracking(false);
    HScroll1[i]->setVisible(false);
    brisko::ui::nameControl(HScroll1[i], QStringLiteral("Deck %1 position").arg(n1(i)),
                            QStringLiteral("Percent of the clip; moving it seeks the deck"));

    Timer0[i] = new DeckTimer(50, this);
    if (real) connectDeck(i);
}

void frmMain::connectDeck(int i) {
    connect(cmdPlay[i], &QPushButton::clicked, this, [this, i] { cmdPlay_Click(i); });
    connect(Command4[i], &QPushButton::clicked, this, [this, i] { Command4_Click(i); });
    connect(Command5[i], &QPushButton::clicked, this, [this, i] { Command5_Click(i); });
    connect(Command8[i], &QPushButton::clicked, this, [this, i] { Command8_Click(i); });
    connect(HScroll1[i], &QScrollBar::valueChanged, this, [this, i] { HScroll1_Change(i); });
    connect(Timer0[i], &DeckTimer::Timer, this, [this, i] { Timer0_Timer(i); });
    connect(Timer0[i], &DeckTimer::enabledChanged, this, [this](bool on) {
        if (on) paceClock();
    });
    Text1[i]->installEventFilter(this);
    connectShowLog(i);
}

void frmMain::buildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("E&xit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    mnuOptions = menuBar()->addMenu(QStringLiteral("&Options"));
    mnuOptions->setObjectName(QStringLiteral("mnuOptions"));
    mnuFunctions = mnuOptions->addAction(QStringLiteral("Functions"));
    mnuFunctions->setObjectName(QStringLiteral("mnuFunctions"));
    mnuAutoDOn = mnuOptions->addAction(QStringLiteral("Auto Delete On"));
    mnuAutoDOn->setObjectName(QStringLiteral("mnuAutoDOn"));
    mnuAutoDOn->setCheckable(true);
    mnuAutoDOff = mnuOptions->addAction(QStringLiteral("Auto Delete Off"));
    mnuAutoDOff->setObjectName(QStringLiteral("mnuAutoDOff"));
    mnuAutoDOff->setCheckable(true);
    refdir = menuBar()->addAction(QStringLiteral("&Refresh Directory"));
    refdir->setObjectName(QStringLiteral("refdir"));
    advmode = menuBar()->addAction(QStringLiteral("Ad&vanced Mode"));
    advmode->setObjectName(QStringLiteral("advmode"));
    mnuabout = menuBar()->addAction(QStringLiteral("&About"));
    mnuabout->setObjectName(QStringLiteral("mnuabout"));

    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(mnuFunctions, &QAction::triggered, this, [this] { mnuFunctions_Click(); });
    // The handlers set both marks themselves; a click must not simply toggle one.
    connect(mnuAutoDOn, &QAction::triggered, this, [this] { mnuAutoDOn_Click(); });
    connect(mnuAutoDOff, &QAction::triggered, this, [this] { mnuAutoDOff_Click(); });
    connect(refdir, &QAction::triggered, this, [this] { refdir_Click(); });
    connect(advmode, &QAction::triggered, this, [this] { advmode_Click(); });
    connect(mnuabout, &QAction::triggered, this, [this] { mnuabout_Click(); });
    buildSafetyMenu();
}

// ---- other windows and operator settings ----------------------------------------------------

frmFunc* frmMain::Func() {
    if (func_ == nullptr) {
        func_ = new frmFunc(this);
        func_->setVisible(false);
        connect(func_, &frmFunc::autoSegueChanged, this, [this](bool c) { autoSegueChanged(c); });
        connect(func_, &frmFunc::advancedLayoutChanged, this,
                [this](bool c) { advancedLayoutChanged(c); });
    }
    return func_;
}

frmHelp* frmMain::helpWindow() {
    if (help_ == nullptr) help_ = new frmHelp(this);
    return help_;
}

frmSetIndex* frmMain::setIndexWindow() {
    if (setIndex_ == nullptr) setIndex_ = new frmSetIndex(this);
    return setIndex_;
}

int frmMain::fadeSpeed() const { return func_ != nullptr ? func_->Slider1->value() : 5; }
int frmMain::volumeDownSpeed() const { return func_ != nullptr ? func_->Slider2->value() : 2; }
int frmMain::volumeUpSpeed() const { return func_ != nullptr ? func_->Slider3->value() : 2; }
int frmMain::advanceSpeed() const { return func_ != nullptr ? func_->Slider4->value() : 100; }
int frmMain::seguePause() const { return func_ != nullptr ? func_->Slider7->value() : 0; }
int frmMain::duckLevel() const { return func_ != nullptr ? func_->Slider8->value() : 20; }
bool frmMain::advancedLayout() const { return func_ != nullptr && func_->Check4->isChecked(); }

void frmMain::autoSegueChanged(bool checked) {
    for (int i = 0; i < kDecks; ++i) chkSegue[i]->setChecked(checked);
}

void frmMain::advancedLayoutChanged(bool checked) {
    for (int i = 0; i < kDecks; ++i) {
        HScroll1[i]->setVisible(checked);
        chkPost[i]->setVisible(checked);
        StartTime[i]->setVisible(checked);
    }
}

// ---- settings -------------------------------------------------------------------------------

QString frmMain::settingsFile() const {
    return QString::fromStdString(brisko::programFolder()) + QStringLiteral("/brisko.ini");
}

void frmMain::LoadSettings() {
    // A save that was cut short by a kill left its temporary file beside the settings.
    removeLeftoverWrites(settingsFile());
    const SettingsRead read = readSettings(settingsFile());
    if (!read.opened) return;
    QString* targets[5] = {&DefaultDir, &FilePattern, &StartMode, &DefaultEditor, &TempDir};
    const QString* values[5] = {&read.values.DefaultDir, &read.values.FilePattern,
                                &read.values.StartMode, &read.values.DefaultEditor,
                                &read.values.TempDir};
    for (int k = 0; k < read.count; ++k) *targets[k] = *values[k];
    if (!read.complete()) return;

    if (!DefaultDir.isEmpty()) {
        // A folder that no longer exists leaves the browser where it was and skips the rest.
        if (!Dir1->setPath(DefaultDir)) return;
        Drive1->setDrive(Dir1->path());
    } else {
        Dir1->setPath(QDir::homePath());
    }
    Func()->Check4->setChecked(StartMode.toUpper() != QLatin1String("SIMPLE"));
    // Blanks around an entry or empty entries would otherwise hide files the operator listed.
    const QString pattern = cleanPattern(FilePattern);
    File1->setPattern(pattern.isEmpty() ? defaultFilePattern() : pattern);
}

bool frmMain::WriteSettings(QString* error) const {
    return writeSettings(settingsFile(),
                         SettingsValues{DefaultDir, FilePattern, StartMode, DefaultEditor, TempDir},
                         error);
}

// ---- deck transport -------------------------------------------------------------------------

void frmMain::cmdPlay_Click(int i) {
    if (i < 0 || i >= kSlots) return;
    Decks[i].DeckStarted = 1;
    // An empty deck with Segue passes the press on to the next deck (no wrap).
    if (isDeck(i) && chkSegue[i]->isChecked() && Text1[i]->text().isEmpty()) ++i;
    if (!isDeck(i)) return;  // past deck 12: no deck to play
    if (endsWithTxt(Decks[i].DeckFile)) return;
    if (Decks[i].Fading == 1) {
        setBackColor(Command8[i], kColorButtonFace);
        Decks[i].Fading = 0;
    }
    CommandQuit->setEnabled(false);
    Command5[i]->setEnabled(false);
    Command2->setEnabled(false);
    Command4[i]->setEnabled(true);
    ToggleDeckTimer(i);
    CurrentDeck = static_cast<int16_t>(i);
    setBackColor(Text1[i], kColorPlaying);
    ProgressBar1[i]->setRange(0, 100);
    ProgressBar1[i]->setVisible(true);
    Label8[i]->setVisible(true);
    UpdateStartTimes(i);

    const std::string alias = deckAlias(i);
    const QString caption = cmdPlay[i]->text();
    if (caption == QStringLiteral("Play ") + n1(i)) {
        CutOffStarted[i] = 0;  // a fresh start: no Cut Off has been reached in this run yet
        MediaChannel::play(alias, takeRestoredStart(i));
        logDeckPlay(i, true);
        cmdPlay[i]->setText(QStringLiteral("Pause ") + n1(i));
        setBackColor(cmdPlay[i], kColorPlaying);
        currentclip->setText(QStringLiteral("Deck ") + n1(i) + QLatin1Char(':') + Text1[i]->text());
    } else if (caption == QStringLiteral("Pause ") + n1(i)) {
        logDeckPause(i);
        MediaChannel::pause(alias);
        cmdPlay[i]->setText(QStringLiteral("Resume ") + n1(i));
        setBackColor(cmdPlay[i], kColorPaused);
        currentclip->setText(QStringLiteral("Deck ") + n1(i) + QStringLiteral(" Paused ") +
                             Text1[i]->text());
    } else if (caption == QStringLiteral("Resume ") + n1(i)) {
        MediaChannel::resume(alias);
        logDeckPlay(i, false);
        cmdPlay[i]->setText(QStringLiteral("Pause ") + n1(i));
        setBackColor(cmdPlay[i], kColorPlaying);
        currentclip->setText(QStringLiteral("Deck ") + n1(i) + QLatin1Char(':') + Text1[i]->text());
    }
    currentclip->setFocus();
    for (int j = 0; j < kDecks; ++j) cmdPlay[j]->setEnabled(true);
}

void frmMain::Command4_Click(int i) {
    if (!isDeck(i)) return;
    if (autoDeleteOn()) Command5_Click(i);
    Decks[i].DeckStarted = 0;
    if (AdvancedMode == 0) ProgressBar1[i]->setVisible(false);
    ProgressBar1[i]->setValue(0);
    Command2->setEnabled(true);
    Command4[i]->setEnabled(false);
    Label8[i]->setVisible(false);
    Label8[i]->clear();
    Text2[i]->clear();
    Text3[i]->clear();
    CommandQuit->setEnabled(true);
    Command5[i]->setEnabled(true);
    currentclip->clear();
    const std::string alias = deckAlias(i);
    logDeckStop(i);
    MediaChannel::seek(alias, 0);  // stops the device and rewinds it
    Decks[i].FadeLevel = 100;
    setBackColor(cmdPlay[i], kColorPlayIdle);
    cmdPlay[i]->setText(QStringLiteral("Play ") + n1(i));
    Timer0[i]->setEnabled(false);
    MediaChannel::setVolume(alias, "", 100);
    Command8[i]->setText(QStringLiteral("F"));
    HScroll1[i]->setValue(0);
    for (int j = 0; j < kDecks; ++j) {
        Command5[j]->setEnabled(true);
        chkSegue[j]->setVisible(true);
    }
    // Segue on a manual stop: the next deck follows if it has Segue and has not started.
    const int k = i == kDecks - 1 ? 0 : i + 1;
    if (chkSegue[k]->isChecked() && MediaChannel::position(deckAlias(k)) <= 0) cmdPlay_Click(k);
}

void frmMain::Command5_Click(int i) {
    if (i < 0 || i >= kSlots) return;
    Decks[i].DeckFile.clear();
    Decks[i].DeckTitle.clear();
    Decks[i].DeckLength = 0;
    logDeckCleared(i);
    if (isDeck(i)) {
        StartTime[i]->clear();
        Label4[i]->clear();
        Text1[i]->clear();
        Text2[i]->clear();
        Text3[i]->clear();
        ProgressBar1[i]->setValue(0);
        ProgressBar1[i]->setVisible(false);
        cmdPlay[i]->setEnabled(false);
        Command5[i]->setVisible(false);
        Label8[i]->setVisible(false);
        Command8[i]->setEnabled(false);
        setBackColor(Text1[i], kColorLoaded);
    }
    gettotalseconds();
}

void frmMain::Command8_Click(int i) {
    if (!isDeck(i)) return;
    if (backColor(Command8[i]) == kColorButtonFace) {
        Decks[i].Fading = 1;
        setBackColor(Command8[i], kColorFading);
    }
    const int32_t volume = MediaChannel::getVolume(deckAlias(i));
    if (volume >= std::numeric_limits<int16_t>::min() && volume <= std::numeric_limits<int16_t>::max())
        Decks[i].FadeLevel = static_cast<int16_t>(volume);
}

void frmMain::Command2_Click() {
    for (int i = 0; i < kDecks; ++i) {
        chkSegue[i]->setChecked(false);
        Decks[i].DeckLength = 0;
        Command8[i]->setText(QStringLiteral("F"));
        Command8[i]->setEnabled(false);
        cmdPlay[i]->setEnabled(false);
        Label4[i]->clear();
        Text3[i]->clear();
        setBackColor(Text1[i], kColorLoaded);
        SpaceIndex = 0;
        if (!Text1[i]->text().isEmpty()) {
            logDeckCleared(i);
            Text1[i]->clear();
            Decks[i].DeckFile.clear();
            Decks[i].DeckTitle.clear();
            Command5[i]->setVisible(false);
            StartTime[i]->clear();
            Text2[i]->clear();
            Label8[i]->clear();
        }
    }
    FillPointer = 0;
    FillFull = 0;
    gettotalseconds();
    showSpaceDeck();
}

void frmMain::HScroll1_Change(int i) {
    if (!isDeck(i)) return;
    const int value = HScroll1[i]->value();
    if (value == 0) return;
    const std::string alias = deckAlias(i);
    HScroll1[i]->setMaximum(100);
    const int32_t length = MediaChannel::lengthMs(alias);
    if (const auto target = roundToInt32(static_cast<double>(value) * length / 100.0))
        MediaChannel::seek(alias, *target);
    if (length != 0) {
        const double position = MediaChannel::position(alias);
        if (const auto percent = roundToInt32(std::fabs(position * 100.0 / length))) {
            Label8[i]->setText(QString::number(*percent) + QLatin1Char('%'));
            Label8[i]->setVisible(true);
            ProgressBar1[i]->setValue(*percent);
            ProgressBar1[i]->setVisible(true);
        }
    }
    const bool fresh = cmdPlay[i]->text() == QStringLiteral("Play ") + n1(i);
    send(QStringLiteral("play voice") + QString::number(i));
    logDeckPlay(i, fresh);
    cmdPlay[i]->setText(QStringLiteral("Pause ") + n1(i));
    setBackColor(cmdPlay[i], kColorPlaying);
    // The deck now plays and shows "Pause n": its tick must run, or its end would go unseen.
    Timer0[i]->setEnabled(true);
}

void frmMain::UpdateStartTimes(int i) {
    if (!isDeck(i) || i == kDecks - 1) return;
    StartTime[i]->setText(clockText(brisko::now()));
    if (i + 1 < kDecks - 1 && !Text1[i + 1]->text().isEmpty()) {
        for (int k = i + 1; k < kDecks && !Text1[k]->text().isEmpty(); ++k) {
            if (const auto next = addToClock(StartTime[k - 1]->text(), Decks[k - 1].DeckLength))
                StartTime[k]->setText(*next);
        }
    }
}

void frmMain::ToggleDeckTimer(int i) {
    if (!isDeck(i)) return;
    Timer0[i]->setEnabled(!Timer0[i]->isEnabled());
}

QString frmMain::PlayImmediate(const QString& path) {
    StopImmediate->setVisible(true);
    currentclip->setText(displayName(path));
    send(QStringLiteral("close voice2"));
    const uint32_t opened =
        sendCommand("open " + shortPathOf(path) + " type MPEGvideo alias voice2");
    send(QStringLiteral("play voice2"));
    const QString mode = QString::fromStdString(MediaChannel::mode("voice2"));
    if (opened != 0) {
        // Nothing plays: the operator is told as for a file that will not load from the list, and
        // no Stop button or now-playing text suggests otherwise.
        StopImmediate->setVisible(false);
        currentclip->clear();
        ShowOpenError(-1);
    } else if (mode == QStringLiteral("playing")) {
        logImmediatePlay(path);
    }
    return mode;
}

void frmMain::StopImmediate_Click() {
    logImmediateStop();
    MediaChannel::close("voice2");
    MediaChannel::close(deckAlias(SpaceIndex));
    StopImmediate->setVisible(false);
    currentclip->clear();
}

void frmMain::TimeRecal_Click() { UpdateStartTimes(SpaceIndex); }

// ---- ticks ----------------------------------------------------------------------------------

void frmMain::Timer0_Timer(int i) {
    if (!isDeck(i)) return;
    const std::string alias = deckAlias(i);

    // 1. Percent played.
    std::optional<int32_t> percent;
    {
        const double frames = MediaChannel::lengthFrames(alias);
        const double position = MediaChannel::position(alias);
        if (frames != 0) percent = roundToInt32(std::fabs(position * 100.0 / frames));
        if (percent) Label8[i]->setText(QString::number(*percent) + QLatin1Char('%'));
    }

    // 2. Cut Off: start the next deck once less than the Cut Off seconds remain.
    const double cutOff = leadingValue(Text2[i]->text());
    if (cutOff > 0) {
        CutOffStarted[i] = 1;
        const double frames = MediaChannel::lengthFrames(alias);
        const double position = MediaChannel::position(alias);
        const double rate = MediaChannel::frameRate(alias);
        // A frame rate below 1 is a failed query, not a rate: nothing is started on it.
        if (rate > 0 && position / rate > frames / rate - cutOff) {
            if (isDeck(i + 1) && Decks[i + 1].DeckStarted == 0) {
                Decks[i + 1].DeckStarted = 1;
                cmdPlay_Click(i + 1);
            }
            Text2[i]->clear();
        }
    }

    // 3. Post-fade of the previous deck.
    const int p = i == 0 ? kDecks - 1 : i - 1;
    if (chkPost[p]->isChecked()) {
        const std::string previous = deckAlias(p);
        const int32_t volume = MediaChannel::getVolume(previous);
        if (volume >= 5) {
            MediaChannel::setVolume(previous, "", volume - fadeSpeed());
        } else {
            logPostFadeClosing(p);
            MediaChannel::close(previous);
            chkPost[p]->setChecked(false);
            ProgressBar1[p]->setVisible(false);
            Label8[p]->setVisible(false);
            Command2->setEnabled(true);
            Command4[p]->setEnabled(false);
            Command5[p]->setEnabled(true);
            cmdPlay[p]->setText(QStringLiteral("Play ") + n1(p));
            setBackColor(cmdPlay[p], kColorPlayIdle);
            Timer0[p]->setEnabled(false);
            MediaChannel::setVolume(previous, "", 100);
            HScroll1[p]->setValue(0);
            for (int j = 0; j < kDecks; ++j) {
                Command5[j]->setEnabled(true);
                if (!chkPost[j]->isChecked()) chkSegue[j]->setVisible(true);
            }
        }
    }

    // 4. Own fade.
    bool fadeStopped = false;
    if (Decks[i].Fading == 1) {
        const int32_t volume = MediaChannel::getVolume(alias);
        if (volume >= 5) {
            MediaChannel::setVolume(alias, "", Decks[i].FadeLevel);
            const int32_t next = int32_t{Decks[i].FadeLevel} - fadeSpeed();
            if (next >= std::numeric_limits<int16_t>::min())
                Decks[i].FadeLevel = static_cast<int16_t>(next);
            Command8[i]->setText(QString::number(volume));
        } else {
            Decks[i].Fading = 0;
            logDeckFadeStop(i);
            Command4_Click(i);
            Timer0[i]->setEnabled(false);
            setBackColor(Command8[i], kColorButtonFace);
            Command8[i]->setText(QStringLiteral("F"));
            fadeStopped = true;
        }
    }

    // 5. Remaining time and progress bar. A deck that the fade has just stopped shows what the
    // end of a clip shows: no time remaining, an empty bar.
    if (!fadeStopped) {
        const double frames = MediaChannel::lengthFrames(alias);
        const double position = MediaChannel::position(alias);
        const double rate = MediaChannel::frameRate(alias);
        if (rate != 0) {
            if (const auto remaining = roundToInt32(frames / 1000.0 - position / rate))
                Text3[i]->setText(minutesSeconds(*remaining));
        }
        if (percent) {
            ProgressBar1[i]->setValue(*percent);
            if (ProgressBar1[i]->value() == 100) {
                ProgressBar1[i]->setValue(0);
                ProgressBar1[i]->setVisible(false);
                Label8[i]->setVisible(false);
            }
        }
    }

    // 6. End of clip. A deck that the fade has just stopped was reset (and its segue handled) by
    // the stop itself; running the end steps again would switch its tick back on and press the
    // next deck's Play button a second time.
    if (!fadeStopped) endOfClip(i);
}

bool frmMain::endOfClip(int i) {
    const std::string alias = deckAlias(i);
    const QString mode = QString::fromStdString(MediaChannel::mode(alias));
    if (mode.left(4) != QLatin1String("stop")) return false;
    logDeckEnd(i);
    if (autoDeleteOn()) Command5_Click(i);
    MediaChannel::setVolume(alias, "", 100);
    ToggleDeckTimer(i);
    setBackColor(cmdPlay[i], kColorPlayIdle);
    cmdPlay[i]->setText(QStringLiteral("Play ") + n1(i));
    CommandQuit->setEnabled(true);
    Command2->setEnabled(true);
    Command4[i]->setEnabled(false);
    Command5[i]->setEnabled(true);
    Command8[i]->setText(QStringLiteral("F"));
    Label8[i]->clear();
    currentclip->clear();
    Text3[i]->clear();
    Decks[i].DeckStarted = 0;
    for (int j = 0; j < kDecks; ++j) Command5[j]->setEnabled(true);
    // A minimised console comes back when a clip ends, so the operator sees the deck is free.
    if (windowState() & Qt::WindowMinimized) setWindowState(windowState() & ~Qt::WindowMinimized);

    // Automatic segue to the next deck.
    const int k = i == kDecks - 1 ? 0 : i + 1;
    const bool cutOffReached = CutOffStarted[i] == 1;
    CutOffStarted[i] = 0;
    if (chkSegue[k]->isChecked()) {
        if (!cutOffReached) {
            // A next deck that is already playing (started by hand) is left playing: pressing its
            // Play button again would pause it.
            if (cmdPlay[k]->text() != QStringLiteral("Pause ") + n1(k)) {
                brisko::sleepMs(seguePause() * 1000);
                cmdPlay_Click(k);
            }
        } else {
            Decks[i].DeckStarted = 0;
            Decks[k].DeckStarted = 0;
        }
    }
    return true;
}

void frmMain::Timer1_Timer() {
    Label6->setText(clockText(brisko::now()));
    showSpaceDeck();
    showEngineHealth();
    showLogTick();
    paceClock();
}

void frmMain::paceClock() {
    // While a deck plays the clock ticks every 50 ms with the decks. With none playing only the
    // clock's text can change, so the tick waits for its next second (a few milliseconds past,
    // so the new second is read); a deck that starts brings the 50 ms tick back at once.
    bool playing = false;
    for (int i = 0; i < kDecks; ++i) playing = playing || Timer0[i]->isEnabled();
    constexpr int kTickMs = 50;
    constexpr int kPastTheSecondMs = 2;
    Timer1->setInterval(playing ? kTickMs : brisko::msToNextSecond() + kPastTheSecondMs);
}

void frmMain::showEngineHealth() {
    // Each new incident of the sound path once, in the line under the library: the latest one
    // shown, the latest twenty in its tooltip (a medium that keeps failing for hours must not
    // grow it without end); nothing that stops the console.
    for (const std::string& text : health_.newIncidents()) {
        showIncident(QString::fromStdString(text));
        logIncident(text);
    }
}

void frmMain::showIncident(const QString& text) {
    constexpr qsizetype kIncidentsInTooltip = 20;
    const QString line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss ")) + text;
    healthLine_->setText(line);
    QStringList told = healthLine_->toolTip().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    told << line;
    if (told.size() > kIncidentsInTooltip) told.remove(0, told.size() - kIncidentsInTooltip);
    healthLine_->setToolTip(told.join(QLatin1Char('\n')));
}

void frmMain::showSpaceDeck() {
    // The deck the Space bar starts next has its number marked. The places that change the index
    // (Space, Set Index, Clear All) show it at once; the clock tick keeps the mark up to date too.
    if (SpaceIndex == markedSpaceDeck_) return;
    logConsoleState();
    for (int i = 0; i < kDecks; ++i) {
        QLabel* number = deckNumber_[i];
        if (number == nullptr) continue;
        const bool next = i == SpaceIndex;
        QPalette palette = number->palette();
        palette.setColor(QPalette::Window, next ? QColor(255, 215, 0)
                                                : QApplication::palette().color(QPalette::Window));
        number->setPalette(palette);
        number->setToolTip(next ? QStringLiteral("The Space bar plays this deck next") : QString());
    }
    markedSpaceDeck_ = SpaceIndex;
}

// ---- library browser ------------------------------------------------------------------------

void frmMain::Drive1_Change() {
    // Setting the drive box to the drive of the folder already shown keeps that folder.
    if (driveOfPath(Dir1->path()) == Drive1->drive()) return;
    if (!Dir1->setPath(Drive1->drive())) {
        // An unreadable drive is ignored: the lists keep what they showed.
        const QSignalBlocker blocker(Drive1);
        Drive1->setDrive(Dir1->path());
    }
}

void frmMain::Dir1_Change() { File1->setPath(Dir1->path()); }

void frmMain::showFolderCaption() {
    // The folder list shows only the subfolders; this line says which folder is open.
    const QString path = Dir1->path();
    folderCaption_->setToolTip(path);
    folderCaption_->setText(
        folderCaption_->fontMetrics().elidedText(path, Qt::ElideLeft, folderCaption_->width()));
}

void frmMain::Dir1_KeyPress(int keyAscii) {
    if (keyAscii != 32) return;
    const QListWidgetItem* item = Dir1->currentItem();
    if (item == nullptr) return;
    const QString target = item->data(Qt::UserRole).toString();
    if (!target.isEmpty() && target != Dir1->path()) Dir1->setPath(target);
}

void frmMain::refdir_Click() { File1->refresh(); }

void frmMain::Text1_DragDrop(int i) {
    if (!isDeck(i)) return;
    Deck& deck = Decks[i];
    if (!deck.DeckFile.isEmpty()) {
        Text1[i]->clear();
        deck.DeckFile.clear();
        deck.DeckTitle.clear();
    }
    cmdPlay[i]->setEnabled(true);
    Command5[i]->setVisible(true);
    chkSegue[i]->setVisible(true);
    const QString name = File1->fileName();
    deck.DeckFile = withSlash(Dir1->path()) + name;
    deck.DeckTitle = titleOf(displayName(name));
    if (!endsWithTxt(deck.DeckFile)) {
        const std::string alias = deckAlias(i);
        logDeckLoading(i, deck.DeckFile);
        send(QStringLiteral("close voice") + QString::number(i));
        // Composed as bytes: a file name need not be valid UTF-8.
        sendCommand("open \"" + shortPathOf(deck.DeckFile) + "\" type mpegvideo alias voice" +
                    std::to_string(i));
        const int32_t length = MediaChannel::lengthMs(alias);
        if (length == -1) {
            ShowOpenError(-1);
            Text1[i]->clear();
            logDeckCleared(i);
            return;
        }
        deck.DeckLength = length / 1000;
        Label4[i]->setText(minutesSeconds(deck.DeckLength));
        gettotalseconds();
    }
    Text1[i]->setText(deck.DeckTitle);
    Command8[i]->setEnabled(true);
    if (backColor(Text1[i]) != kColorLoaded) setBackColor(Text1[i], kColorLoaded);
    if (endsWithTxt(deck.DeckFile)) {
        Label4[i]->setText(QStringLiteral("Text"));
        logDeckLoading(i, deck.DeckFile);
    }
}

void frmMain::LoadDeckFromList() {
    if (FillFull) return;
    const QString name = File1->fileName();
    if (name.isEmpty()) return;  // nothing selected (Enter on an empty list)
    const int i = FillPointer;
    if (!isDeck(i)) return;
    Deck& deck = Decks[i];
    cmdPlay[i]->setEnabled(true);
    Command5[i]->setVisible(true);
    chkSegue[i]->setVisible(true);
    Text1[i]->setText(titleOf(displayName(name)));
    Command8[i]->setEnabled(true);
    deck.DeckFile = withSlash(Dir1->path()) + name;
    deck.DeckTitle = titleOf(displayName(name));
    if (!endsWithTxt(name)) {
        const std::string alias = deckAlias(i);
        logDeckLoading(i, deck.DeckFile);
        MediaChannel::close(alias);
        const std::string reply = MediaChannel::open(
            parentHandle(), alias, fileNameBytes(deck.DeckFile).toStdString(), "MPEGvideo");
        if (reply != "Success") {
            ShowOpenError(-1);
            Text1[i]->clear();
            logDeckCleared(i);
            return;
        }
        const int32_t length = MediaChannel::lengthMs(alias);
        if (length == -1) {
            Text1[i]->clear();
            logDeckCleared(i);
            return;
        }
        deck.DeckLength = length / 1000;
        Label4[i]->setText(minutesSeconds(deck.DeckLength));
        gettotalseconds();
    }
    if (i == kDecks - 1)
        FillFull = 1;
    else
        FillPointer = static_cast<int16_t>(i + 1);
    if (endsWithTxt(name)) {
        Label4[i]->setText(QStringLiteral("Text"));
        logDeckLoading(i, deck.DeckFile);
    }
}

void frmMain::gettotalseconds() {
    int64_t total = 0;
    for (int i = 0; i < kDecks; ++i) total += Decks[i].DeckLength;
    formatLength(total);
}

void frmMain::formatLength(int64_t seconds) {
    int64_t hours = 0;
    int64_t minutes = 0;
    if (seconds >= 3600) {
        hours = seconds / 3600;
        seconds %= 3600;
    }
    if (seconds >= 60) {
        minutes = seconds / 60;
        seconds %= 60;
    }
    displaytotaltime(hours, minutes, seconds);
}

void frmMain::displaytotaltime(int64_t hours, int64_t minutes, int64_t seconds) {
    cmrTime->setText(totalTimeText(hours, minutes, seconds));
}

void frmMain::ShowOpenError(int code) {
    brisko::ui::message(this, {QStringLiteral("Error opening file. Error #") + QString::number(code),
                               kAppTitle, brisko::ui::PromptButtons::Ok,
                               brisko::ui::PromptIcon::Critical});
}

void frmMain::mnuAutoDOn_Click() {
    mnuAutoDOn->setChecked(true);
    mnuAutoDOff->setChecked(false);
}

void frmMain::mnuAutoDOff_Click() {
    mnuAutoDOff->setChecked(true);
    mnuAutoDOn->setChecked(false);
}

bool frmMain::autoDeleteOn() const { return mnuAutoDOn->isChecked(); }

void frmMain::startDrag() {
    const QString name = File1->fileName();
    if (name.isEmpty()) return;
    // The hidden label stands over the dragged row, as the object being dragged.
    Label5->setGeometry(File1->x(), File1->y() + dragStart_.y() - fontMetrics().height() / 2,
                        File1->width(), Label5->height());
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kDragFormat), name.toUtf8());
    auto* drag = new QDrag(Label5);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction);
}

// ---- quit, menus and windows ----------------------------------------------------------------

void frmMain::CommandQuit_Click() {
    logAllStopped();
    MediaChannel::closeAllChannels();
    const auto answer = brisko::ui::message(
        this, {QStringLiteral("Brisko will now close. Choose Yes to QUIT or ") +
                   QStringLiteral("No to restart. "),
               kAppTitle, brisko::ui::PromptButtons::YesNo, brisko::ui::PromptIcon::Question});
    if (answer == brisko::ui::PromptAnswer::Yes) Form_Unload();
}

void frmMain::mnuExit_Click() { CommandQuit_Click(); }

void frmMain::Form_Unload() {
    unloading_ = true;
    if (endProgramHook()) {
        endProgramHook()();
        return;
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != this) w->close();
    close();
    QCoreApplication::exit(0);
}

void frmMain::advmode_Click() {
    if (AdvancedMode == 0) {
        for (int i = 0; i < kDecks; ++i) {
            HScroll1[i]->setVisible(true);
            ProgressBar1[i]->setVisible(true);
            chkPost[i]->setVisible(true);
            StartTime[i]->setVisible(true);
        }
        AdvancedMode = -1;
    } else {
        for (int i = 0; i < kDecks; ++i) {
            HScroll1[i]->setVisible(false);
            ProgressBar1[i]->setVisible(false);
            chkPost[i]->setVisible(false);
            Label8[i]->setVisible(false);
            StartTime[i]->setVisible(false);
        }
        AdvancedMode = 0;
    }
}

void frmMain::mnuFunctions_Click() {
    frmFunc* f = Func();
    f->show();
    f->raise();
}

void frmMain::mnuabout_Click() {
    QPointer<frmAbout> about = new frmAbout(this);
    about->exec();
}

void frmMain::cmdSetIndex_Click() {
    frmSetIndex* dialog = setIndexWindow();
    dialog->exec();
    if (const auto index = dialog->chosenIndex()) {
        SpaceIndex = static_cast<int16_t>(*index);
        if (isDeck(SpaceIndex)) Text1[SpaceIndex]->setFocus();
        showSpaceDeck();
    }
}

void frmMain::cmdHelp_Click() {
    frmHelp* help = helpWindow();
    help->show();
    help->raise();
}

void frmMain::cmdClipShow_Click() {
    if (const auto& open = brisko::console::launchers().clipPlayer) return open(this);
    brisko::ui::message(this, {QStringLiteral("The Clip Player is not available in this version."),
                               kAppTitle, brisko::ui::PromptButtons::Ok,
                               brisko::ui::PromptIcon::Information});
}

void frmMain::CD_Play_Click() {
    if (const auto& open = brisko::console::launchers().cdWindow) return open(this);
    brisko::ui::message(this,
                        {QStringLiteral("CD Play/Rip is not available in this version."),
                         kAppTitle, brisko::ui::PromptButtons::Ok,
                         brisko::ui::PromptIcon::Information});
}

void frmMain::cmdEncoder_Click() {
    if (const auto& open = brisko::console::launchers().encoder) return open(this);
    brisko::ui::message(this, {QStringLiteral("The MP3 Encoder is not available in this version."),
                               kAppTitle, brisko::ui::PromptButtons::Ok,
                               brisko::ui::PromptIcon::Information});
}

void frmMain::Form_Resize() {
    if (centralWidget() != nullptr) layout_->apply(centralWidget()->size());
    if (folderCaption_ != nullptr && Dir1 != nullptr) showFolderCaption();
}

// ---- events ---------------------------------------------------------------------------------

void frmMain::closeEvent(QCloseEvent* event) {
    if (unloading_)
        event->accept();
    else
        event->ignore();  // Quit and Exit are the only ways out
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();

    // Drops on a deck's name box.
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        for (int i = 0; i < kDecks; ++i) {
            if (watched != Text1[i]) continue;
            auto* drop = static_cast<QDropEvent*>(event);
            if (!drop->mimeData()->hasFormat(QString::fromLatin1(kDragFormat))) return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (type == QEvent::Drop) Text1_DragDrop(i);
            return true;
        }
        return false;
    }

    if (watched == File1->viewport()) {
        if (type == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton) dragStart_ = mouse->position().toPoint();
        } else if (type == QEvent::MouseMove) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            File1->setToolTip(File1->fileName());
            if ((mouse->buttons() & Qt::LeftButton) &&
                (mouse->position().toPoint() - dragStart_).manhattanLength() >=
                    QApplication::startDragDistance()) {
                startDrag();
                return true;
            }
        }
        return false;
    }

    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == File1 && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            // Enter loads the row under the cursor, also when moving the focus here (the F key)
            // left it current but not selected.
            if (QListWidgetItem* row = File1->currentItem(); row != nullptr && !row->isSelected())
                row->setSelected(true);
            LoadDeckFromList();
            return true;
        }
        if (watched == Dir1 && key->key() == Qt::Key_Space) {
            Dir1_KeyPress(32);
            return false;
        }
    }
    return false;
}
