// The deck console's main window: twelve playback decks with their transport buttons, per-deck
// ticks, the library browser, the menus and the buttons that open the other windows.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/HealthFeed.h"

class QAction;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QScrollBar;
class QTimer;
class frmFunc;
class frmHelp;
class frmSetIndex;
class frmAbout;

namespace brisko::ui {
class StatusLine;
}

namespace brisko::console {
class DriveBox;
class FolderList;
class FileList;
class DeckTimer;
class PreListen;
class ProportionalLayout;
}  // namespace brisko::console

// One deck's record. Slot 12 of every per-deck array belongs to no deck but exists.
struct Deck {
    QString DeckFile;         // full path of the loaded file; "" = deck empty
    QString DeckTitle;        // file name without its last four characters
    int32_t DeckLength = 0;   // whole seconds; 0 when empty
    int16_t DeckStarted = 0;  // 1 from Play until the deck stops
    int16_t Fading = 0;       // 1 while the fade to zero runs
    int16_t FadeLevel = 100;  // volume the fade steps down from; 100 when idle
};

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kDecks = 12;  // decks 0..11, shown as Deck 1..12
    static constexpr int kSlots = 13;  // every per-deck array has thirteen slots
    template <class T>
    using DeckArray = std::array<T, kSlots>;

    // Colours of the console (platform values: blue * 65536 + green * 256 + red; negative values
    // name system colours).
    static constexpr int64_t kColorPlaying = 255;
    static constexpr int64_t kColorPaused = 16711680;
    static constexpr int64_t kColorPlayIdle = 49152;
    static constexpr int64_t kColorLoaded = 65280;
    static constexpr int64_t kColorFading = 120043;
    static constexpr int64_t kColorButtonFace = -2147483633;  // 0x8000000F

    // COMMANDLINE: the program's command-line file ("" = none); when given it plays at once on
    // the immediate channel (start-up step 8). Runs the whole start-up order.
    explicit frmMain(const QString& commandLine = QString(), QWidget* parent = nullptr);
    ~frmMain() override;

    // The one main window (nullptr before it is built and after it is gone).
    static frmMain* instance();

    // ---- Deck records and per-deck controls (index 0..11; slot 12 holds hidden spare controls
    // that belong to no deck, so an index of 12 is harmless). objectName = name + "_" + index,
    // e.g. "cmdPlay_3" for cmdPlay(3).
    DeckArray<Deck> Decks;
    DeckArray<QLineEdit*> Text1{};        // name box; drop target
    DeckArray<QPushButton*> cmdPlay{};    // "Play n" / "Pause n" / "Resume n"
    DeckArray<QPushButton*> Command4{};   // "Stop"
    DeckArray<QPushButton*> Command5{};   // "Clear"
    DeckArray<QPushButton*> Command8{};   // fade, "F"
    DeckArray<QCheckBox*> chkSegue{};
    DeckArray<QLabel*> Label2{};          // "Segue"
    DeckArray<QCheckBox*> chkPost{};
    DeckArray<QLineEdit*> Text2{};        // Cut Off seconds
    DeckArray<QLineEdit*> Text3{};        // remaining "mm:ss"
    DeckArray<QLineEdit*> StartTime{};    // "hh:mm:ss"
    DeckArray<QLabel*> Label4{};          // length "mm:ss" or "Text"
    DeckArray<QLabel*> Label8{};          // percent played
    DeckArray<QProgressBar*> ProgressBar1{};
    DeckArray<QScrollBar*> HScroll1{};    // position slider 0..100
    DeckArray<brisko::console::DeckTimer*> Timer0{};  // the deck's 50 ms tick

    // ---- Single controls.
    QLabel* cmrTime = nullptr;       // total time "hh:mm:ss"
    QLabel* Label1 = nullptr;        // "Total Time"
    QLabel* Label6 = nullptr;        // clock "hh:mm:ss"
    QLineEdit* currentclip = nullptr;  // now playing
    brisko::console::DeckTimer* Timer1 = nullptr;  // clock tick
    QPushButton* Command2 = nullptr;       // "&Clear All"
    QPushButton* CommandQuit = nullptr;    // "&Quit"
    QPushButton* StopImmediate = nullptr;  // "&Stop"
    QPushButton* TimeRecal = nullptr;      // "Time Re-cal"
    QPushButton* cmdSetIndex = nullptr;    // "Set Index"
    QPushButton* cmdHelp = nullptr;        // "HELP"
    QPushButton* cmdClipShow = nullptr;    // "Clip Player"
    QPushButton* CD_Play = nullptr;        // "CD Play/Rip"
    QPushButton* cmdEncoder = nullptr;     // "MP3 Encoder"
    brisko::console::DriveBox* Drive1 = nullptr;    // mount points
    brisko::console::FolderList* Dir1 = nullptr;    // folders
    brisko::console::FileList* File1 = nullptr;     // files matching the pattern list
    QLabel* Label5 = nullptr;  // hidden drag label

    // ---- Menus.
    QMenu* mnuFile = nullptr;
    QAction* mnuExit = nullptr;       // "E&xit"
    QMenu* mnuOptions = nullptr;
    QAction* mnuFunctions = nullptr;  // "Functions"
    QAction* mnuAutoDOn = nullptr;    // "Auto Delete On" (checkable)
    QAction* mnuAutoDOff = nullptr;   // "Auto Delete Off" (checkable, checked at start)
    QAction* refdir = nullptr;        // "&Refresh Directory"
    QAction* advmode = nullptr;       // "Ad&vanced Mode"
    QAction* mnuabout = nullptr;      // "&About"

    // ---- Console-wide state.
    int16_t CurrentDeck = 0;
    int16_t SpaceIndex = 0;
    int16_t AdvancedMode = 0;  // 0 or -1
    // Per deck: 1 once a tick of that deck has seen a positive Cut Off, so that the end of the
    // deck does not start the next deck a second time. Cleared at the deck's end and when it is
    // started from idle.
    DeckArray<int16_t> CutOffStarted{};
    int16_t FillPointer = 0;
    int16_t FillFull = 0;
    bool Ducked = false;       // keyboard duck in force
    int32_t DuckSavedVolume = 0;
    QString DefaultDir, FilePattern, StartMode, DefaultEditor, TempDir;
    QString SettingsDir;  // the directory current at start-up

    // ---- Other windows. The Functions window is built (hidden) at start-up and holds the
    // operator settings; the others are built on first use.
    frmFunc* Func();
    frmHelp* helpWindow();
    frmSetIndex* setIndexWindow();

    // Operator settings, read from the Functions window's controls at the moment of use.
    int fadeSpeed() const;        // Slider1
    int volumeDownSpeed() const;  // Slider2
    int volumeUpSpeed() const;    // Slider3
    int advanceSpeed() const;     // Slider4
    int seguePause() const;       // Slider7, seconds
    int duckLevel() const;        // Slider8
    bool advancedLayout() const;  // Check4

    // ---- Settings file. The path brisko.ini is read from and written to (the program folder).
    QString settingsFile() const;
    void LoadSettings();
    // Writes all five values to the settings file whole or not at all. On failure returns false
    // and, when ERROR is given, a text for the operator; the caller shows it.
    bool WriteSettings(QString* error = nullptr) const;

    // ---- Deck transport.
    void cmdPlay_Click(int i);
    void Command4_Click(int i);   // Stop
    void Command5_Click(int i);   // Clear
    void Command8_Click(int i);   // Fade
    void Command2_Click();        // Clear All
    void HScroll1_Change(int i);
    void UpdateStartTimes(int i);
    void ToggleDeckTimer(int i);
    QString PlayImmediate(const QString& path);
    void StopImmediate_Click();
    void TimeRecal_Click();

    // ---- Ticks.
    void Timer0_Timer(int i);
    void Timer1_Timer();

    // ---- Library browser and loading.
    void Drive1_Change();
    void Dir1_Change();
    void refdir_Click();
    void Text1_DragDrop(int i);   // the file selected in File1 dropped on deck i
    void LoadDeckFromList();      // double click (or Enter) in File1
    void gettotalseconds();
    void formatLength(int64_t seconds);
    void displaytotaltime(int64_t hours, int64_t minutes, int64_t seconds);
    void ShowOpenError(int code);
    void mnuAutoDOn_Click();
    void mnuAutoDOff_Click();
    bool autoDeleteOn() const;

    // ---- Quit, menus and the other windows.
    void CommandQuit_Click();
    void mnuExit_Click();
    void Form_Unload();
    void advmode_Click();
    void mnuFunctions_Click();
    void mnuabout_Click();
    void cmdSetIndex_Click();
    void cmdHelp_Click();
    void cmdClipShow_Click();
    void CD_Play_Click();
    void cmdEncoder_Click();
    void Form_Resize();

    // Operator-settings change rules (the Functions window's Auto Segue and Advanced Layout).
    void autoSegueChanged(bool checked);
    void advancedLayoutChanged(bool checked);

    // ---- Keyboard (DeckKeys.cpp). The window's key preview (installed at start-up) hands every
    // key press aimed at the window or any of its controls to the dispatcher once, before the
    // control, an access key or a menu sees it, as a virtual-key code and modifier bits (1 Shift,
    // 2 Ctrl, 4 Alt): Form_KeyDown. Neither consumes the key.
    void keyPreview(QKeyEvent* event);
    void Form_KeyDown(int KeyCode, int Shift);

    // ---- Pre-listen on the cue output (PreListen.h): keypad Enter and the context menus of the
    // file list and the deck name boxes.
    brisko::console::PreListen* preListen() const { return preListen_; }
    // Tells the operator TEXT in the incident line under the library, as a sound incident is told.
    void showIncident(const QString& text);

    // ---- Readouts (Readouts.cpp): keys outside the console's key tables that write a sentence
    // into the readout line, which a screen reader speaks: Ctrl+Alt+R the current deck's time
    // left, Ctrl+Alt+E its time played, Ctrl+Alt+H the time to the top of the hour, Ctrl+Alt+N
    // the index deck (the one Space starts next) and its length. The outro warning says so in the
    // same line when the current deck has that many seconds left (0 = off; brisko-safety.ini).
    brisko::ui::StatusLine* readoutLine = nullptr;
    QAction* readRemaining = nullptr;
    QAction* readElapsed = nullptr;
    QAction* readTopOfHour = nullptr;
    QAction* readNextDeck = nullptr;
    void sayRemaining();
    void sayElapsed();
    void sayTopOfHour();
    void sayNextDeck();
    int outroWarningSeconds() const;
    void setOutroWarningSeconds(int seconds);

    // The channel alias of deck I: "voice" + I.
    static std::string deckAlias(int i);
    // True for a real deck index 0..11.
    static bool isDeck(int i) { return i >= 0 && i < kDecks; }

    // ---- The show log (ShowHooks.cpp): journal, as-run log, restore and the dead-air alarm.
    // After an unclean end, asks once whether to restore the decks, and does so on Yes.
    void offerRestore();
    void mnuSafety_Click();       // Options, "On-Air Safety..."
    QAction* mnuSafety = nullptr;
    QString safetySettingsFile() const;  // brisko-safety.ini in the program folder
    bool deadAirAlarmed() const;
    // Tests: runs with a deck's file just before the file is opened.
    static void setLoadSeam(std::function<void(const QString&)> seam);

    // How Yes on the Quit question ends the program. The default closes every window and leaves
    // the event loop; tests replace it.
    static void setEndProgramHook(std::function<void()> hook);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenus();
    void buildReadouts();
    void checkOutro();
    void buildDeck(int i, QWidget* parent, int left, int top);
    void connectDeck(int i);
    void setDeckIdleLook(int i);
    void startDrag();
    void Dir1_KeyPress(int keyAscii);
    void showFolderCaption();
    void showSpaceDeck();
    void showEngineHealth();
    void paceClock();
    int64_t parentHandle() const;
    bool endOfClip(int i);

    // Show log hooks (ShowHooks.cpp), one call where each event happens.
    struct ShowHooks;
    ShowHooks& showHooks();
    int savedOutroWarningSeconds();  // from the on-air settings file
    void logDeckLoading(int i, const QString& file);
    void logDeckCleared(int i);
    void logDeckPlay(int i, bool fresh);
    void logDeckPause(int i);
    void logDeckMoved(int i);
    void logDeckStop(int i);
    void logDeckFadeStop(int i);
    void logDeckEnd(int i);
    void logPostFadeClosing(int p);
    void logAllStopped();
    void logConsoleState();
    void logIncident(const std::string& text);
    // The immediate channel (a file given on the command line) on air, and off it.
    void logImmediatePlay(const QString& file);
    void logImmediateStop();
    void connectShowLog(int i);
    void showLogTick();
    void buildSafetyMenu();
    void restoreDecks();
    bool restoreDeck(int i, const QString& file);
    std::string takeRestoredStart(int i);
    struct ShowHooksDeleter {
        void operator()(ShowHooks* hooks) const;
    };
    std::unique_ptr<ShowHooks, ShowHooksDeleter> show_;

    frmFunc* func_ = nullptr;
    frmHelp* help_ = nullptr;
    frmSetIndex* setIndex_ = nullptr;
    QWidget* spare_ = nullptr;
    QLabel* folderCaption_ = nullptr;
    QLabel* healthLine_ = nullptr;  // the engine's latest incident, told once (see showEngineHealth)
    brisko::HealthFeed health_;  // the sound path's incidents, each told once
    brisko::console::PreListen* preListen_ = nullptr;
    std::array<QLabel*, kDecks> deckNumber_{};  // the deck numbers beside the name boxes
    int markedSpaceDeck_ = -1;  // holds the hidden controls of slot 12
    brisko::console::ProportionalLayout* layout_ = nullptr;
    QPoint dragStart_;
    bool unloading_ = false;
    QTimer* outroClock_ = nullptr;
    int outroSeconds_ = 0;
    int outroWarned_ = -1;  // the deck whose outro was told, until it leaves its last seconds
};
