// The Clip Player and the show log: each clip or play-order entry that goes on air is told to the
// as-run log, and its end with it. Pre-listens (a channel on the cue output) are never on air.
#include <QListWidget>
#include <QTimer>

#include "clipplayer/ClipAliases.h"
#include "clipplayer/ClipState.h"
#include "clipplayer/frmClipPlay.h"
#include "media/MediaChannel.h"
#include "media/OnAir.h"
#include "showlog/ShowLog.h"
#include "ui/NameBytes.h"

using brisko::showlog::EndHow;
using brisko::showlog::showLog;

namespace {

std::string buttonKey(int b) {
    return "clip" + std::to_string(b);
}
std::string listKey(int p) {
    return "cliplist" + std::to_string(p);
}

}  // namespace

void frmClipPlay::logClipStarted(int b) {
    if (!showLog().active()) return;
    const std::string alias = brisko::clip::buttonAlias(b);
    if (brisko::onCue(alias)) return;
    showLog().soundStarted(buttonKey(b),
                           "Clip " + std::to_string(CurrentPage) + ":" + std::to_string(b + 1),
                           brisko::ui::nameBytes(slot(b).fullName().trimmed()).toStdString());
}

void frmClipPlay::logClipPaused(int b, bool paused) {
    if (paused)
        showLog().soundPaused(buttonKey(b));
    else
        showLog().soundResumed(buttonKey(b));
}

void frmClipPlay::logClipEnded(int b, bool fullPlay) {
    showLog().soundEnded(buttonKey(b), fullPlay ? EndHow::End : EndHow::Stop);
}

void frmClipPlay::logListStarted(int p, const QString& file) {
    if (!showLog().active()) return;
    const std::string alias = brisko::clip::playOrderAlias(p);
    if (brisko::onCue(alias)) return;
    showLog().soundStarted(listKey(p), "Clip list", brisko::ui::nameBytes(file).toStdString());
    // Nothing in the window follows a play-order entry to its end: a watch does, for the log.
    if (listWatch_ == nullptr) {
        listWatch_ = new QTimer(this);
        listWatch_->setInterval(200);
        connect(listWatch_, &QTimer::timeout, this, [this] { watchListEntries(); });
    }
    listWatch_->start();
}

void frmClipPlay::logListClosing(int p) {
    if (showLog().soundOn(listKey(p))) showLog().soundEnded(listKey(p), EndHow::Stop);
}

void frmClipPlay::watchListEntries() {
    bool any = false;
    for (int p = 0; p < lstPlayOrder->count() + 1; ++p) {
        const std::string key = listKey(p);
        if (!showLog().soundOn(key)) continue;
        const std::string mode = brisko::MediaChannel::mode(brisko::clip::playOrderAlias(p));
        if (mode == "playing" || mode == "paused") {
            any = true;
            continue;
        }
        showLog().soundEnded(key, mode == "stopped" ? EndHow::End : EndHow::Stop);
    }
    if (!any && listWatch_ != nullptr) listWatch_->stop();
}

void frmClipPlay::logAllClipsStopped() {
    for (int b = 0; b < kButtons; ++b)
        if (showLog().soundOn(buttonKey(b))) showLog().soundEnded(buttonKey(b), EndHow::Stop);
    for (int p = 0; p <= lstPlayOrder->count(); ++p) logListClosing(p);
}
