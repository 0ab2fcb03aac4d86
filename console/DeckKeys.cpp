// The main window's keyboard dispatcher. It sees every key press before the focused control and
// never consumes it; each step runs on its own, so a failing step does not stop the next one.
#include "console/DeckKeys.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>
#include <cmath>
#include <limits>

#include "console/ConsoleCommands.h"
#include "console/DeckMath.h"
#include "console/frmFunc.h"
#include "console/frmMain.h"
#include "media/MediaChannel.h"
#include "ui/KeyCodes.h"

namespace brisko::console {

QString volumeKeyCaption(int volumeBefore, bool up) {
    if (up && volumeBefore > 99) return QStringLiteral("F");
    return QString::number(volumeBefore);
}

QString unduckCaption(int32_t savedVolume) {
    return savedVolume == 100 ? QStringLiteral("F") : QString::number(savedVolume);
}

int64_t percentPlayed(int64_t position, int64_t length) {
    if (length == 0) return -1;
    const double pct = static_cast<double>(position) * 100.0 / static_cast<double>(length);
    const auto rounded = roundToInt32(pct);
    return rounded ? std::llabs(static_cast<int64_t>(*rounded)) : -1;
}

namespace {
QPointer<DeckKeys>& installedPreview() {
    static QPointer<DeckKeys> preview;
    return preview;
}
}  // namespace

DeckKeys::DeckKeys(frmMain* window, QObject* owner)
    : QObject(owner != nullptr ? owner : static_cast<QObject*>(window)), window_(window) {}

DeckKeys* DeckKeys::install(frmMain* window, QObject* owner) {
    if (window == nullptr || qApp == nullptr) return nullptr;
    if (DeckKeys* existing = installedFor(window)) return existing;
    auto* preview = new DeckKeys(window, owner);
    qApp->installEventFilter(preview);
    installedPreview() = preview;
    return preview;
}

DeckKeys* DeckKeys::installedFor(const frmMain* window) {
    DeckKeys* preview = installedPreview();
    return preview != nullptr && preview->window_ == window ? preview : nullptr;
}

bool DeckKeys::isSamePressMovingUp(const QKeyEvent* event, const QWidget* widget) const {
    // An ignored press goes on to the parent of the control that had it: the same event object,
    // unchanged, at a strict ancestor of the last target.
    return event == lastEvent_ && event->key() == lastKey_ &&
           static_cast<int>(event->modifiers()) == lastModifiers_ &&
           event->timestamp() == lastTimestamp_ && lastTarget_ != nullptr &&
           widget != lastTarget_ && widget->isAncestorOf(lastTarget_);
}

bool DeckKeys::isPressAlreadyDispatched(const QKeyEvent* event) const {
    return dispatched_ && event->key() == dispatchedKey_ &&
           static_cast<int>(event->modifiers()) == dispatchedModifiers_ &&
           event->timestamp() == dispatchedTimestamp_;
}

bool DeckKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::KeyRelease) {
        lastEvent_ = nullptr;
        dispatched_ = false;
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
    if (redelivering_ || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (window_ == nullptr || widget->window() != window_) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (isSamePressMovingUp(key, widget)) return false;
    lastEvent_ = key;
    lastKey_ = key->key();
    lastModifiers_ = static_cast<int>(key->modifiers());
    lastTimestamp_ = key->timestamp();
    lastTarget_ = widget;

    if (type == QEvent::ShortcutOverride) {
        // First sight of a press: a shortcut may still take it, so the tables run now.
        dispatched_ = true;
        dispatchedKey_ = lastKey_;
        dispatchedModifiers_ = lastModifiers_;
        dispatchedTimestamp_ = lastTimestamp_;
        focusBefore_ = QApplication::focusWidget();
        window_->keyPreview(key);
        return false;
    }
    if (!isPressAlreadyDispatched(key)) {
        window_->keyPreview(key);
        return false;  // the control still gets the key
    }
    dispatched_ = false;
    // The press follows the focus; when the dispatcher moved the focus, the key belongs to the
    // control that had it (F moves to the file list, and must not also search it for "f").
    QWidget* before = focusBefore_;
    if (widget == QApplication::focusWidget() && before != nullptr && before != widget &&
        before->window() == window_) {
        lastTarget_ = before;
        redelivering_ = true;
        QApplication::sendEvent(before, key);
        redelivering_ = false;
        return true;
    }
    return false;
}

}  // namespace brisko::console

namespace {

using brisko::MediaChannel;
namespace vk = brisko::ui::vk;

// A slot of the per-deck control arrays (0..12; 12 is the spare that belongs to no deck).
bool hasSlot(int i) { return i >= 0 && i < frmMain::kSlots; }

std::string alias(int i) { return frmMain::deckAlias(i); }

// "play voice" + i: continue from the current position.
void playOn(int i) { brisko::console::sendCommand("play " + alias(i)); }

}  // namespace

void frmMain::keyPreview(QKeyEvent* event) {
    if (event == nullptr ||
        (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride))
        return;
    const int code = brisko::ui::virtualKeyCode(*event);
    if (code == 0) return;  // a plain modifier press, or a key the tables do not know
    Form_KeyDown(code, brisko::ui::modifierMask(event->modifiers()));
}

void frmMain::Form_KeyDown(int KeyCode, int Shift) {
    const int mask = Shift & 7;
    const bool functionKey = KeyCode >= vk::F1 && KeyCode <= vk::F12;
    const int fk = KeyCode - vk::F1;  // deck of a function key

    // Volume step on deck i: read, step (the channel refuses a value outside 0..100), caption.
    auto volumeStep = [this](int i, bool up) {
        const int step = up ? volumeUpSpeed() : volumeDownSpeed();
        const int before = MediaChannel::getVolume(alias(i));
        const int64_t target = static_cast<int64_t>(before) + (up ? step : -step);
        if (target >= 0 && target <= 100)
            MediaChannel::setVolume(alias(i), "", static_cast<int>(target));
        if (hasSlot(i) && Command8[i] != nullptr)
            Command8[i]->setText(brisko::console::volumeKeyCaption(before, up));
    };

    // ---- Table 1: by modifier state.
    switch (mask) {
        case brisko::ui::ShiftBit:
            if (functionKey) cmdPlay_Click(fk);
            break;
        case brisko::ui::CtrlBit:
            if (functionKey) Command4_Click(fk);
            if (KeyCode == vk::LetterA + ('H' - 'A')) cmdHelp_Click();
            break;
        case brisko::ui::AltBit:
            if (functionKey && Text1[fk] != nullptr) Text1[fk]->setFocus();
            break;
        case brisko::ui::ShiftBit | brisko::ui::CtrlBit:
            if (functionKey && chkSegue[fk] != nullptr) {
                chkSegue[fk]->setChecked(!chkSegue[fk]->isChecked());
                chkSegue[fk]->setFocus();
            }
            break;
        case brisko::ui::ShiftBit | brisko::ui::AltBit:
            if (functionKey) Command8_Click(fk);
            break;
        case brisko::ui::CtrlBit | brisko::ui::AltBit:
            if (functionKey && Text3[fk] != nullptr) {
                if (Text3[fk]->text().isEmpty()) {
                    if (StartTime[fk] != nullptr) StartTime[fk]->setFocus();
                } else {
                    Text3[fk]->setFocus();
                }
            }
            if (KeyCode == vk::LetterA + ('P' - 'A') && currentclip != nullptr)
                currentclip->setFocus();
            break;
        default:
            break;  // no modifier, or all three: nothing in this table
    }

    // ---- Table 2: by key code alone.
    const int current = CurrentDeck;
    if (functionKey) {
        volumeStep(fk, false);
    } else if (KeyCode >= vk::Digit0 + 1 && KeyCode <= vk::Digit0 + 9) {
        volumeStep(KeyCode - (vk::Digit0 + 1), true);
    } else if (KeyCode == vk::Digit0) {
        volumeStep(9, true);
    } else if (KeyCode == vk::LetterA + ('Q' - 'A')) {
        volumeStep(10, true);
    } else if (KeyCode == vk::LetterA + ('W' - 'A')) {
        volumeStep(11, true);
    } else if (KeyCode == vk::Add) {
        const int k = SpaceIndex;
        const int32_t length = MediaChannel::lengthFrames(alias(k));
        const int32_t position = MediaChannel::position(alias(k));
        // A zero length gives no percent; the percent steps are skipped rather than divided by 0.
        const int64_t pct = brisko::console::percentPlayed(position, length);
        if (pct >= 0 && hasSlot(k) && Label8[k] != nullptr)
            Label8[k]->setText(QString::number(pct) + QStringLiteral("%"));
        if (advancedLayout()) {
            if (hasSlot(k) && HScroll1[k] != nullptr) HScroll1[k]->setMaximum(100);
            const int32_t position2 = MediaChannel::position(alias(k));
            if (pct >= 0 && hasSlot(k) && HScroll1[k] != nullptr)
                HScroll1[k]->setValue(static_cast<int>(std::min<int64_t>(pct, 1 << 30)));
            MediaChannel::seek(alias(k), static_cast<int64_t>(position2) + advanceSpeed());
            playOn(CurrentDeck);
            logDeckMoved(k);
        }
    } else if (KeyCode == vk::Subtract) {
        const int k = SpaceIndex;
        const int32_t position = MediaChannel::position(alias(k));
        MediaChannel::seek(alias(k), static_cast<int64_t>(position) - advanceSpeed());
        playOn(CurrentDeck);
        logDeckMoved(k);
    } else if (KeyCode == vk::LetterA + ('T' - 'A')) {
        if (!Ducked) {
            DuckSavedVolume = MediaChannel::getVolume(alias(current));
            const int level = duckLevel();
            MediaChannel::setVolume(alias(current), "", level);
            if (hasSlot(current) && Command8[current] != nullptr)
                Command8[current]->setText(QString::number(level));
            Ducked = true;
        } else {
            MediaChannel::setVolume(alias(current), "", DuckSavedVolume);
            if (hasSlot(current) && Command8[current] != nullptr)
                Command8[current]->setText(brisko::console::unduckCaption(DuckSavedVolume));
            Ducked = false;
        }
    } else if (KeyCode == vk::LetterA + ('F' - 'A')) {
        if (File1 != nullptr) File1->setFocus();
    } else if (KeyCode == vk::LetterA + ('D' - 'A')) {
        if (Dir1 != nullptr) Dir1->setFocus();
    } else if (KeyCode == vk::LetterA + ('G' - 'A')) {
        if (Drive1 != nullptr) Drive1->setFocus();
    } else if (KeyCode == vk::Next) {
        MediaChannel::setSpeed(alias(current), MediaChannel::getSpeed(alias(current)) - 10);
    } else if (KeyCode == vk::Prior) {
        MediaChannel::setSpeed(alias(current), MediaChannel::getSpeed(alias(current)) + 10);
    } else if (KeyCode == vk::Insert) {
        MediaChannel::setSpeed(alias(current), 100);
    } else if (KeyCode == vk::Home) {
        MediaChannel::seek(alias(current), 0);
        playOn(current);
        logDeckMoved(current);
    } else if (KeyCode == vk::End) {
        const int32_t length = MediaChannel::lengthMs(alias(current));
        MediaChannel::seek(alias(current), static_cast<int64_t>(length) - 5000);
        UpdateStartTimes(current);
        playOn(current);
        logDeckMoved(current);
    } else if (KeyCode == vk::Escape) {
        Command4_Click(current);
    }

    // ---- Table 3: by key code alone.
    if (KeyCode == vk::Space) {
        const int k = SpaceIndex;
        // An index that names no deck starts nothing and does not move.
        if (isDeck(k) && Text1[k] != nullptr && !Text1[k]->text().isEmpty()) {
            cmdPlay_Click(k);
            ++SpaceIndex;
            showSpaceDeck();
        }
    } else if (KeyCode == vk::OemPlus) {
        volumeStep(11, true);
    } else if (KeyCode == vk::OemMinus) {
        volumeStep(10, true);
    }
}
