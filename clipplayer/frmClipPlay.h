// The Clip Player window "Clip Player": 48 instant-play buttons of the current user, one page at a
// time under ten tabs, with key bindings, a play-order list played by the space bar and a played list.
#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <string>
#include <vector>

#include "clipplayer/ClipControls.h"
#include "clipplayer/ClipFiles.h"
#include "clipplayer/PlayedList.h"
#include "clipplayer/frmClipFileSelect.h"
#include "clipplayer/frmPageNames.h"
#include "console/ProportionalLayout.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QListWidget;
class QPushButton;
class QStatusBar;
class QTabBar;
class QTimer;

namespace brisko::console {
class DeckTimer;
}

class frmClipPlay : public QWidget {
    Q_OBJECT
public:
    static constexpr int kButtons = brisko::clip::kButtons;
    template <class T>
    using ButtonArray = std::array<T, kButtons>;

    // Runs the opening steps for the current user (loads the clip list and page names).
    explicit frmClipPlay(QWidget* parent = nullptr);
    ~frmClipPlay() override;

    // ---- Per-button controls, index b = 0..47; objectName = name + "_" + b.
    ButtonArray<brisko::clip::ClipButton*> cmdPlay{};
    ButtonArray<QPushButton*> cmdAdd{};     // "Add" / "Stopped" / time left
    ButtonArray<brisko::clip::StatusLight*> Shape1{};
    ButtonArray<brisko::clip::ClickBox*> Text1{};  // "<" while paused; click rewinds
    ButtonArray<QCheckBox*> Check1{};       // the playing flag
    ButtonArray<QPushButton*> Command2{};   // ">": add to the play-order list
    ButtonArray<QLabel*> Label2{};          // key label
    ButtonArray<brisko::console::DeckTimer*> Timer1{};  // 50 ms time-left ticker

    // ---- Other controls.
    QTabBar* SSTab1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QListWidget* lstPlayOrder = nullptr;
    QLabel* Label4 = nullptr;  // "Press Space to play List"
    brisko::clip::PlayedList* lstPlayed = nullptr;
    QLabel* Label3 = nullptr;  // "Played This Session or Errors"
    QPushButton* cmdClearList = nullptr;
    QPushButton* cmdPageNames = nullptr;
    QPushButton* cmdLoadUser = nullptr;
    QPushButton* cmdExit = nullptr;

    // ---- Window state.
    int CurrentPage = 1;    // 1..10
    int CurrentTab = 0;     // 0..9
    int CurrentButton = 0;
    bool PageChanged = false;
    QString ModeReply;
    // Play-order list: full file names by position; grows with the list.
    QStringList PlayOrderFiles;
    int PlayOrderCount = 0;

    // What the opening found wrong with the user's files ("" when nothing).
    QString loadProblems() const { return loadProblems_; }
    // The user's clip list did not read as a clip list: saving over it asks first.
    bool clipListDamaged() const { return clipListDamaged_; }
    void clipListSaved() { clipListDamaged_ = false; }
    // The clip sounding on button B's channel, "" when none has started there.
    QString playingClip(int b) const { return b >= 0 && b < kButtons ? playing_[size_t(b)] : QString(); }
    // Button B loses its clip: its channel is closed (a clip still sounding there stops, with a
    // "Stopped" line in the log), its ticker stops and it shows nothing playing.
    void releaseButton(int b);

    // ---- Public operations.
    void loadclips();
    void getclippagenames();

    // ---- Handlers.
    void SSTab1_Click(int tab);
    void cmdPlay_MouseDown(int b, Qt::MouseButton button);
    void pauseToggle(int b);
    void Text1_Click(int b);
    void Timer1_Timer(int b);
    void cmdPlay_MouseMove(int b);
    void Form_MouseMove();
    void cmdAdd_Click(int b);
    void Command2_Click(int b);
    void cmdClearList_Click();
    void cmdPageNames_Click();
    void cmdLoadUser_Click();
    void cmdExit_Click();
    // A key code of the key-binding table (Shift, Ctrl and Alt already ignored).
    void Form_KeyDown(int keyCode);
    void playNextInOrder();
    // The tabs' accessible names, "Page 2, Jingles", from their captions.
    void nameTabs();

    // The clip file selector and page-names windows while open.
    frmClipFileSelect* fileSelector() const { return selector_; }
    frmPageNames* pageNamesWindow() const { return pageNames_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void buildControls();
    void buildButton(int b);
    void buildSideControls();
    void setTabOrderByRows();
    bool keyForFocus(QKeyEvent* key);
    // Empty caption, white background, empty "Add" caption for all 48 buttons.
    void clearButtons();
    // Shows button B from slot (CurrentPage, B): at OPENING as the window's first page, else as
    // a tab change does (asking its channel whether it plays).
    void showButton(int b, bool opening);
    void closeButtonChannels();
    // The slot's file is missing, empty or has no short form.
    bool fileMissing(const brisko::clip::ClipSlot& slot) const;
    void startClip(int b, bool fromKey);
    // Stops button B by mouse or key: channel closed, light blue, "Stopped", log line.
    void stopClip(int b);
    // Writes LINE + the clip sounding on button B to the log when one did sound; forgets it.
    void logEnd(int b, const QString& line);
    void setAddCaption(int b, const QString& text);
    brisko::clip::ClipSlot& slot(int b);
    // Fonts follow the window's inner width.
    void recordFonts();
    void scaleFonts();

    // Show log hooks (ClipShowLog.cpp).
    void logClipStarted(int b);
    void logClipPaused(int b, bool paused);
    void logClipEnded(int b, bool fullPlay);
    void logListStarted(int p, const QString& file);
    void logListClosing(int p);
    void watchListEntries();
    void logAllClipsStopped();
    QTimer* listWatch_ = nullptr;

    QString loadProblems_;
    bool clipListDamaged_ = false;
    ButtonArray<QString> playing_;
    struct FontShare {
        QWidget* widget;
        double share;  // font size / inner width
        bool pixels;
    };
    std::vector<FontShare> fonts_;
    brisko::console::ProportionalLayout layout_;
    QPointer<frmClipFileSelect> selector_;
    QPointer<frmPageNames> pageNames_;
};
