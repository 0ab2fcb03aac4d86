// Enabled/disabled window timers.
#include "console/DeckTimer.h"

#include <QTimer>

namespace brisko::console {
namespace {
bool& frozenFlag() {
    static bool frozen = false;
    return frozen;
}
}  // namespace

DeckTimer::DeckTimer(int intervalMs, QObject* parent)
    : QObject(parent), timer_(new QTimer(this)), interval_(intervalMs) {
    timer_->setInterval(intervalMs);
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &DeckTimer::Timer);
}

void DeckTimer::setEnabled(bool enabled) {
    const bool changed = enabled != enabled_;
    enabled_ = enabled;
    if (enabled && !frozenFlag())
        timer_->start();
    else
        timer_->stop();
    if (changed) emit enabledChanged(enabled);
}

void DeckTimer::setInterval(int intervalMs) {
    if (intervalMs == interval_) return;
    interval_ = intervalMs;
    timer_->setInterval(intervalMs);  // restarts an active timer
}

void DeckTimer::setFrozen(bool frozen) { frozenFlag() = frozen; }
bool DeckTimer::frozen() { return frozenFlag(); }

}  // namespace brisko::console
