// The deck console's keyboard: every key press that reaches the main window runs three tables of
// deck commands (frmMain::keyPreview and frmMain::Form_KeyDown live in DeckKeys.cpp). These are
// the small sums the tables share.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

class QKeyEvent;
class frmMain;

namespace brisko::console {

// The main window's key preview: an application-wide event filter that hands every key press
// aimed at the window or one of its controls to frmMain::Form_KeyDown once, before the control
// sees it, and never consumes it. Shortcuts (access keys such as Alt+Q of "&Quit", menu keys
// such as Alt+F of "&File") take a key before any control sees it, so the preview runs when Qt
// first offers the press to the focused control (the shortcut-override step); the key press that
// follows, when no shortcut took the key, is not dispatched again. If the dispatcher moved the
// focus, that key press goes to the control that had the focus when the key was pressed, as it
// would without the move. A press that a control ignores travels on to the control's parents as
// the same event; it is recognised and not dispatched again. A new press is never taken for an
// old one, even when it arrives at the same address (modifier presses come right before the key
// they modify). Each press goes to frmMain::keyPreview, which turns it into a key code and
// modifier bits for frmMain::Form_KeyDown.
class DeckKeys : public QObject {
    Q_OBJECT
public:
    // Installs the preview for WINDOW (once; later calls return the same object). OWNER, when
    // given, owns the filter; otherwise the window does.
    static DeckKeys* install(frmMain* window, QObject* owner = nullptr);
    // The preview installed for WINDOW, or nullptr.
    static DeckKeys* installedFor(const frmMain* window);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    DeckKeys(frmMain* window, QObject* owner);
    bool isSamePressMovingUp(const QKeyEvent* event, const QWidget* widget) const;
    bool isPressAlreadyDispatched(const QKeyEvent* event) const;

    QPointer<frmMain> window_;
    const QEvent* lastEvent_ = nullptr;
    int lastKey_ = 0;
    int lastModifiers_ = 0;
    quint64 lastTimestamp_ = 0;
    QPointer<QWidget> lastTarget_;
    // The press dispatched at its shortcut-override step, until its key press arrives.
    bool dispatched_ = false;
    int dispatchedKey_ = 0;
    int dispatchedModifiers_ = 0;
    quint64 dispatchedTimestamp_ = 0;
    QPointer<QWidget> focusBefore_;  // the focused control when that press came
    bool redelivering_ = false;
};

// The fade button's caption after a volume key: the volume read before the step, except that a
// raise from full volume (above 99) shows "F".
QString volumeKeyCaption(int volumeBefore, bool up);

// The fade button's caption when the duck ends: "F" for full volume, else the volume.
QString unduckCaption(int32_t savedVolume);

// Percent played, |position * 100 / length| rounded half to even; -1 when no percent can be given
// (a zero length).
int64_t percentPlayed(int64_t position, int64_t length);

}  // namespace brisko::console
