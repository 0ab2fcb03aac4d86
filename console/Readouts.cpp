// Readout sentences, the outro warning's setting, and the main window's readout keys.
#include "console/Readouts.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "console/WholeFile.h"
#include "console/frmMain.h"
#include "media/MediaChannel.h"
#include "platform/common/ProgramFolder.h"
#include "ui/StatusLine.h"

namespace brisko::console {

namespace {

QString count(int64_t n, const char* one, const char* many) {
    return QString::number(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

}  // namespace

QString spokenDuration(int64_t seconds) {
    seconds = std::max<int64_t>(0, seconds);
    const int64_t h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    QStringList parts;
    if (h > 0) parts << count(h, "hour", "hours");
    if (m > 0) parts << count(m, "minute", "minutes");
    if (s > 0 || parts.isEmpty()) parts << count(s, "second", "seconds");
    return parts.join(QLatin1Char(' '));
}

QString remainingSentence(int deck, int64_t seconds) {
    return QStringLiteral("Deck %1, %2 left").arg(deck).arg(spokenDuration(seconds));
}

QString elapsedSentence(int deck, int64_t seconds) {
    return QStringLiteral("Deck %1, %2 played").arg(deck).arg(spokenDuration(seconds));
}

QString notPlayingSentence(int deck) { return QStringLiteral("Deck %1 is not playing").arg(deck); }

QString topOfHourSentence(const TimeOfDay& time) {
    const int64_t intoHour = int64_t(time.minute) * 60 + time.second;
    if (intoHour == 0) return QStringLiteral("It is the top of the hour");
    return spokenDuration(3600 - intoHour) + QStringLiteral(" to the top of the hour");
}

QString nextDeckSentence(int index, const QString& title, int64_t lengthSeconds) {
    if (index < 0 || index >= frmMain::kDecks)
        return index < 0 ? QStringLiteral("No next deck: the index is before deck 1")
                         : QStringLiteral("No next deck: the index is past deck 12");
    if (title.isEmpty()) return QStringLiteral("Next: deck %1 is empty").arg(index + 1);
    return QStringLiteral("Next: deck %1, %2, %3")
        .arg(index + 1)
        .arg(title, spokenDuration(lengthSeconds));
}

QString outroSentence(int deck, int64_t seconds) {
    return QStringLiteral("Deck %1 ends in %2").arg(deck).arg(spokenDuration(seconds));
}

}  // namespace brisko::console

// ---- the main window's readout keys and outro warning -----------------------------------------

using brisko::MediaChannel;
using namespace brisko::console;

namespace {

// Seconds of ALIAS's clip as (played, left), or nothing when the channel is neither playing nor
// paused or does not answer.
std::optional<std::pair<int64_t, int64_t>> deckTimes(const std::string& alias) {
    const std::string mode = MediaChannel::mode(alias);
    if (mode != "playing" && mode != "paused") return std::nullopt;
    const int32_t length = MediaChannel::lengthFrames(alias);
    const int32_t position = MediaChannel::position(alias);
    if (length < 0 || position < 0) return std::nullopt;
    int32_t rate = MediaChannel::frameRate(alias);
    if (rate <= 0) rate = 1000;
    const int64_t played = position / rate;
    // Time left is rounded up: "1 second left" while any of it remains.
    const int64_t left = (std::max<int64_t>(0, int64_t(length) - position) + rate - 1) / rate;
    return std::make_pair(played, left);
}

}  // namespace

void frmMain::buildReadouts() {
    readoutLine = new brisko::ui::StatusLine(this);
    setStatusBar(readoutLine);
    struct Key {
        QAction** slot;
        const char* name;
        const char* text;
        QKeySequence keys;
        void (frmMain::*say)();
    };
    const Key keys[] = {
        {&readRemaining, "readRemaining", "Read the current deck's time left",
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_R), &frmMain::sayRemaining},
        {&readElapsed, "readElapsed", "Read the current deck's time played",
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_E), &frmMain::sayElapsed},
        {&readTopOfHour, "readTopOfHour", "Read the time to the top of the hour",
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_H), &frmMain::sayTopOfHour},
        {&readNextDeck, "readNextDeck", "Read the next deck and its length",
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_N), &frmMain::sayNextDeck},
    };
    for (const Key& k : keys) {
        auto* action = new QAction(QString::fromUtf8(k.text), this);
        action->setObjectName(QString::fromUtf8(k.name));
        action->setShortcut(k.keys);
        action->setShortcutContext(Qt::WindowShortcut);
        connect(action, &QAction::triggered, this, k.say);
        addAction(action);
        *k.slot = action;
    }
    outroClock_ = new QTimer(this);
    outroClock_->setInterval(250);
    connect(outroClock_, &QTimer::timeout, this, [this] { checkOutro(); });
    setOutroWarningSeconds(savedOutroWarningSeconds());
}

void frmMain::sayRemaining() {
    const int c = CurrentDeck;
    const auto times = isDeck(c) ? deckTimes(deckAlias(c)) : std::nullopt;
    readoutLine->say(times ? remainingSentence(c + 1, times->second) : notPlayingSentence(c + 1));
}

void frmMain::sayElapsed() {
    const int c = CurrentDeck;
    const auto times = isDeck(c) ? deckTimes(deckAlias(c)) : std::nullopt;
    readoutLine->say(times ? elapsedSentence(c + 1, times->first) : notPlayingSentence(c + 1));
}

void frmMain::sayTopOfHour() { readoutLine->say(topOfHourSentence(brisko::now())); }

void frmMain::sayNextDeck() {
    const int k = SpaceIndex;
    if (!isDeck(k)) return readoutLine->say(nextDeckSentence(k, QString(), 0));
    const QString title = Text1[k]->text().isEmpty() ? QString() : Decks[k].DeckTitle;
    readoutLine->say(nextDeckSentence(k, title.isEmpty() ? Text1[k]->text() : title,
                                      Decks[k].DeckLength));
}

int frmMain::outroWarningSeconds() const { return outroSeconds_; }

void frmMain::setOutroWarningSeconds(int seconds) {
    outroSeconds_ = std::clamp(seconds, 0, kMaxOutroSeconds);
    outroWarned_ = -1;
    if (outroSeconds_ > 0)
        outroClock_->start();
    else
        outroClock_->stop();
}

void frmMain::checkOutro() {
    const int c = CurrentDeck;
    const auto times = isDeck(c) ? deckTimes(deckAlias(c)) : std::nullopt;
    if (!times || times->second <= 0 || times->second > outroSeconds_) {
        // Not in the last seconds (or not playing): the next time it gets there is warned anew.
        if (outroWarned_ == c) outroWarned_ = -1;
        return;
    }
    if (outroWarned_ == c) return;
    outroWarned_ = c;
    readoutLine->say(outroSentence(c + 1, times->second));
}
