// A window timer that is either enabled (ticking every interval) or not, like the per-deck ticks
// and the clock of the console. Tests freeze all of them and call the tick handlers themselves.
#pragma once

#include <QObject>

class QTimer;

namespace brisko::console {

class DeckTimer : public QObject {
    Q_OBJECT
public:
    explicit DeckTimer(int intervalMs, QObject* parent = nullptr);

    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int interval() const { return interval_; }
    // A new interval; a running timer counts it from now.
    void setInterval(int intervalMs);

    // While frozen, enabled timers do not tick on their own (tests drive the handlers). Affects
    // timers enabled afterwards.
    static void setFrozen(bool frozen);
    static bool frozen();

signals:
    void Timer();
    void enabledChanged(bool enabled);

private:
    QTimer* timer_;
    int interval_;
    bool enabled_ = false;
};

}  // namespace brisko::console
