// The deck console and the show log: what the console tells the journal and the as-run log, the
// restore after an unclean end, the dead-air alarm on the clock tick and its settings window.
// Each hook is one call from the handler where the event happens.
#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTime>
#include <algorithm>
#include <array>
#include <memory>

#include "console/BackColor.h"
#include "console/DeckMath.h"
#include "console/DeckTimer.h"
#include "console/FileNames.h"
#include "console/frmMain.h"
#include "console/frmSafety.h"
#include "media/MediaChannel.h"
#include "media/OnAir.h"
#include "platform/common/ProgramFolder.h"
#include "showlog/DeadAir.h"
#include "showlog/LocalTime.h"
#include "showlog/SafetySettings.h"
#include "showlog/ShowLog.h"
#include "ui/KeyCodes.h"
#include "ui/Prompt.h"

using brisko::MediaChannel;
using namespace brisko::console;
using brisko::showlog::EndHow;
using brisko::showlog::showLog;

namespace {

std::function<void(const QString&)>& loadSeam() {
    static std::function<void(const QString&)> seam;
    return seam;
}

std::string bytesOf(const QString& file) {
    return brisko::console::fileNameBytes(file).toStdString();
}

QString n1(int i) {
    return QString::number(i + 1);
}

}  // namespace

struct frmMain::ShowHooks {
    brisko::showlog::DeadAirJudge judge;
    brisko::showlog::DeadAirSettings settings;
    uint64_t airCursor = 0;
    bool cursorSet = false;
    // A deck that was on air when the program ended starts from here on its next Play (-1: from
    // the top, as always).
    std::array<int64_t, frmMain::kDecks> restoredFrom{};
    EndHow stopHow = EndHow::Stop;
    int loggedIndex = -1;
    int loggedCurrent = -1;
};

void frmMain::ShowHooksDeleter::operator()(ShowHooks* hooks) const {
    delete hooks;
}

frmMain::ShowHooks& frmMain::showHooks() {
    if (!show_) {
        show_.reset(new ShowHooks());
        show_->restoredFrom.fill(-1);
        show_->settings = brisko::showlog::readSafetySettings(safetySettingsFile().toStdString());
        show_->judge.configure(show_->settings);
    }
    return *show_;
}

void frmMain::setLoadSeam(std::function<void(const QString&)> seam) {
    loadSeam() = std::move(seam);
}

int frmMain::savedOutroWarningSeconds() { return showHooks().settings.outroWarningSeconds; }

QString frmMain::safetySettingsFile() const {
    return QString::fromStdString(brisko::programFolder()) + QLatin1Char('/') +
           QString::fromLatin1(brisko::showlog::kSafetyFileName);
}

// ---- events ---------------------------------------------------------------------------------

void frmMain::logDeckLoading(int i, const QString& file) {
    if (!isDeck(i)) return;
    showHooks().restoredFrom[size_t(i)] = -1;
    showLog().deckLoaded(i, bytesOf(file));
    if (loadSeam()) loadSeam()(file);
}

void frmMain::logDeckCleared(int i) {
    if (!isDeck(i)) return;
    showHooks().restoredFrom[size_t(i)] = -1;
    showLog().deckCleared(i);
}

void frmMain::logDeckPlay(int i, bool fresh) {
    if (!showLog().active() || !isDeck(i) || MediaChannel::mode(deckAlias(i)) != "playing") return;
    // A pre-listen is not on air.
    if (brisko::onCue(deckAlias(i))) return;
    showHooks().restoredFrom[size_t(i)] = -1;
    showLog().deckPlayed(i, MediaChannel::position(deckAlias(i)), fresh,
                         bytesOf(Decks[i].DeckFile));
    logConsoleState();
}

// A deck moved by a key while it plays: its new place goes into the journal at once, so that
// a restore in the next half second does not put it back where it was before the move.
void frmMain::logDeckMoved(int i) {
    if (!isDeck(i) || !showLog().deckPlaying(i)) return;
    showLog().deckPosition(i, MediaChannel::position(deckAlias(i)));
}

void frmMain::logDeckPause(int i) {
    if (!isDeck(i) || !showLog().deckPlaying(i)) return;
    showLog().deckPaused(i, MediaChannel::position(deckAlias(i)));
}

void frmMain::logDeckStop(int i) {
    if (!showLog().active() || !isDeck(i)) return;
    ShowHooks& h = showHooks();
    h.restoredFrom[size_t(i)] = -1;  // a stopped deck starts from the top again
    EndHow how = h.stopHow;
    h.stopHow = EndHow::Stop;
    // Stopped after its Cut Off had started the next deck: it was cut off.
    if (how == EndHow::Stop && CutOffStarted[i] == 1) how = EndHow::CutOff;
    showLog().deckStopped(i, MediaChannel::position(deckAlias(i)), how);
}

void frmMain::logDeckFadeStop(int i) {
    showHooks().stopHow = EndHow::Fade;
    (void)i;
}

void frmMain::logDeckEnd(int i) {
    if (!showLog().active() || !isDeck(i)) return;
    showLog().deckEnded(i, MediaChannel::position(deckAlias(i)));
}

void frmMain::logPostFadeClosing(int p) {
    if (!showLog().active() || !isDeck(p)) return;
    showLog().deckStopped(p, MediaChannel::position(deckAlias(p)), EndHow::Segue);
}

void frmMain::logAllStopped() {
    for (int i = 0; i < kDecks; ++i)
        if (showLog().deckPlaying(i))
            showLog().deckStopped(i, MediaChannel::position(deckAlias(i)), EndHow::Stop);
}

void frmMain::logConsoleState() {
    ShowHooks& h = showHooks();
    if (SpaceIndex != h.loggedIndex && isDeck(SpaceIndex)) {
        h.loggedIndex = SpaceIndex;
        showLog().indexDeck(SpaceIndex);
    }
    if (CurrentDeck != h.loggedCurrent && isDeck(CurrentDeck)) {
        h.loggedCurrent = CurrentDeck;
        showLog().currentDeck(CurrentDeck);
    }
}

void frmMain::connectShowLog(int i) {
    connect(chkSegue[i], &QCheckBox::toggled, this, [i](bool on) { showLog().segueSet(i, on); });
    connect(Text2[i], &QLineEdit::textChanged, this,
            [i](const QString& text) { showLog().cutOffSet(i, text.toStdString()); });
}

std::string frmMain::takeRestoredStart(int i) {
    if (!isDeck(i) || !show_) return std::string();
    const int64_t from = show_->restoredFrom[size_t(i)];
    show_->restoredFrom[size_t(i)] = -1;
    return from > 0 ? std::to_string(from) : std::string();
}

void frmMain::logIncident(const std::string& text) {
    showLog().incident(text);
}

namespace {
constexpr const char* kImmediateKey = "immediate";  // voice2, the command line's channel
}

void frmMain::logImmediatePlay(const QString& file) {
    showLog().soundStarted(kImmediateKey, "Command line", bytesOf(file));
}

void frmMain::logImmediateStop() {
    if (showLog().soundOn(kImmediateKey)) showLog().soundEnded(kImmediateKey, EndHow::Stop);
}

// ---- the clock tick: positions for the journal, the dead-air judge ---------------------------

void frmMain::showLogTick() {
    auto& log = showLog();
    if (!log.active()) return;
    logConsoleState();
    if (log.soundOn(kImmediateKey) && MediaChannel::mode("voice2") != "playing")
        log.soundEnded(kImmediateKey, EndHow::End);
    if (log.heartbeatDue()) {
        for (int i = 0; i < kDecks; ++i)
            if (log.deckPlaying(i)) log.deckPosition(i, MediaChannel::position(deckAlias(i)));
    }

    ShowHooks& h = showHooks();
    std::vector<brisko::AirPeak> peaks;
    brisko::airPeaks(&h.airCursor, &peaks);
    if (!h.cursorSet) {
        // What the mix did before the console was watching is not judged.
        h.cursorSet = true;
        return;
    }
    const int rate = brisko::airRate();
    const bool playing = log.anyOnAir();
    for (const brisko::AirPeak& p : peaks) {
        using Change = brisko::showlog::DeadAirJudge::Change;
        const Change change = h.judge.feed(p.left, p.right, p.frames, rate, playing);
        if (change == Change::None) continue;
        const std::string text = h.judge.text();
        showIncident(QString::fromStdString(text));
        log.incident(text);
        if (change == Change::Raised && h.settings.startIndexDeck) {
            log.incident("Dead air: starting the index deck, Deck " +
                         std::to_string(SpaceIndex + 1));
            Form_KeyDown(brisko::ui::vk::Space, 0);
        }
    }
}

bool frmMain::deadAirAlarmed() const {
    return show_ && show_->judge.alarmed();
}

// ---- restore --------------------------------------------------------------------------------

void frmMain::offerRestore() {
    auto& log = showLog();
    if (!log.active()) return;
    const brisko::showlog::Recovery& r = log.recovery();
    if (!r.unclean) return;
    const QString guarded =
        displayName(fileNameFromBytes(QByteArray::fromStdString(r.guardedFile)));
    if (!r.guardedFile.empty()) {
        brisko::ui::message(
            this, {QStringLiteral("Brisko ended twice while \"%1\" was the last file loaded or "
                                  "started. It is not loaded again.")
                       .arg(guarded),
                   QStringLiteral("Brisko"), brisko::ui::PromptButtons::Ok,
                   brisko::ui::PromptIcon::Warning});
    }
    if (!r.hasDecks()) {
        // Nothing to ask about: the console starts empty, and the journal says so.
        log.declineRestore();
        return;
    }
    const QString when = QString::fromStdString(brisko::showlog::localClock(r.state.lastEventMs));
    const auto answer = brisko::ui::message(
        this, {QStringLiteral("Brisko did not end normally. Restore the decks as they were at %1?")
                   .arg(when),
               QStringLiteral("Brisko"), brisko::ui::PromptButtons::YesNo,
               brisko::ui::PromptIcon::Question});
    if (answer != brisko::ui::PromptAnswer::Yes) {
        log.declineRestore();
        return;
    }
    restoreDecks();
}

void frmMain::restoreDecks() {
    auto& log = showLog();
    const brisko::showlog::Recovery& r = log.recovery();
    ShowHooks& h = showHooks();
    QStringList missing;
    int restored = 0;
    for (int i = 0; i < kDecks; ++i) {
        const brisko::showlog::DeckRecord& rec = r.state.decks[size_t(i)];
        chkSegue[i]->setChecked(rec.segue);
        Text2[i]->setText(QString::fromStdString(rec.cutOff));
        if (rec.file.empty()) continue;
        const QString file = fileNameFromBytes(QByteArray::fromStdString(rec.file));
        if (rec.file == r.guardedFile) continue;
        if (!QFileInfo::exists(file)) {
            missing << displayName(file);
            continue;
        }
        if (!restoreDeck(i, file)) {
            missing << displayName(file);
            continue;
        }
        ++restored;
        if (rec.mode == brisko::showlog::DeckMode::Idle || file.right(3) == QLatin1String("txt"))
            continue;
        // The deck that was on air: ready where it stopped, marked, and left stopped.
        const int32_t length = MediaChannel::lengthMs(deckAlias(i));
        const int64_t at = std::clamp<int64_t>(rec.positionMs, 0, std::max<int32_t>(0, length - 1));
        MediaChannel::seek(deckAlias(i), at);
        h.restoredFrom[size_t(i)] = at;
        setBackColor(Text1[i], kColorPaused);
        Text1[i]->setToolTip(
            QStringLiteral("Deck %1 was on air when Brisko ended; Play continues at %2")
                .arg(n1(i), minutesSeconds(at / 1000)));
        if (length > 0) Text3[i]->setText(minutesSeconds((length - at) / 1000));
        log.deckPaused(i, at);
    }
    SpaceIndex = static_cast<int16_t>(std::clamp(r.state.indexDeck, 0, kDecks - 1));
    CurrentDeck = static_cast<int16_t>(std::clamp(r.state.currentDeck, 0, kDecks - 1));
    showSpaceDeck();
    logConsoleState();
    log.incident("Restored " + std::to_string(restored) + " decks as they were at " +
                 brisko::showlog::localClock(r.state.lastEventMs));
    if (!missing.isEmpty()) {
        log.incident("Not restored (missing or unreadable): " +
                     missing.join(QStringLiteral(", ")).toStdString());
        brisko::ui::message(this, {QStringLiteral("These files are gone and were not loaded:\n") +
                                       missing.join(QLatin1Char('\n')),
                                   QStringLiteral("Brisko"), brisko::ui::PromptButtons::Ok,
                                   brisko::ui::PromptIcon::Warning});
    }
}

bool frmMain::restoreDeck(int i, const QString& file) {
    // The steps of a drop on the deck, for a file given by its path.
    Deck& deck = Decks[i];
    cmdPlay[i]->setEnabled(true);
    Command5[i]->setVisible(true);
    chkSegue[i]->setVisible(true);
    deck.DeckFile = file;
    deck.DeckTitle = titleOf(displayName(QFileInfo(file).fileName()));
    logDeckLoading(i, file);
    if (file.right(3) != QLatin1String("txt")) {
        const std::string alias = deckAlias(i);
        MediaChannel::close(alias);
        const std::string reply =
            MediaChannel::open(parentHandle(), alias, bytesOf(file), "MPEGvideo");
        const int32_t length = reply == "Success" ? MediaChannel::lengthMs(alias) : -1;
        if (length < 0) {
            deck.DeckFile.clear();
            deck.DeckTitle.clear();
            Text1[i]->clear();
            cmdPlay[i]->setEnabled(false);
            logDeckCleared(i);
            return false;
        }
        deck.DeckLength = length / 1000;
        Label4[i]->setText(minutesSeconds(deck.DeckLength));
    } else {
        Label4[i]->setText(QStringLiteral("Text"));
    }
    Text1[i]->setText(deck.DeckTitle);
    Command8[i]->setEnabled(true);
    setBackColor(Text1[i], kColorLoaded);
    gettotalseconds();
    if (FillPointer <= i) {
        FillPointer = static_cast<int16_t>(std::min(i + 1, kDecks - 1));
        if (i == kDecks - 1) FillFull = 1;
    }
    return true;
}

// ---- the settings window ----------------------------------------------------------------------

void frmMain::buildSafetyMenu() {
    mnuSafety = mnuOptions->addAction(QStringLiteral("On-Air &Safety..."));
    mnuSafety->setObjectName(QStringLiteral("mnuSafety"));
    connect(mnuSafety, &QAction::triggered, this, [this] { mnuSafety_Click(); });
}

void frmMain::mnuSafety_Click() {
    ShowHooks& h = showHooks();
    frmSafety dialog(h.settings, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const brisko::showlog::DeadAirSettings chosen = dialog.settings();
    std::string error;
    if (!brisko::showlog::writeSafetySettings(safetySettingsFile().toStdString(), chosen, &error)) {
        brisko::ui::message(this, {QStringLiteral("The safety settings could not be saved: ") +
                                       QString::fromStdString(error),
                                   QStringLiteral("Brisko"), brisko::ui::PromptButtons::Ok,
                                   brisko::ui::PromptIcon::Critical});
        return;
    }
    h.settings = chosen;
    h.judge.configure(chosen);
    setOutroWarningSeconds(chosen.outroWarningSeconds);
}
