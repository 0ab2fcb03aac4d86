// The readout line: one sentence at a time (a deck's time left, the time to the hour, a warning),
// shown on screen and published to the accessibility bus as a status whose name and text are that
// sentence, so that a screen reader can speak it as it changes.
#pragma once

#include <QStatusBar>
#include <QString>

namespace brisko::ui {

class StatusLine : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusLine(QWidget* parent = nullptr);

    // Shows SENTENCE until the next one and raises the accessibility events of a changed name and
    // a replaced text. Saying the same sentence again raises them again: the operator asked anew.
    void say(const QString& sentence);
    // The sentence shown ("" before the first).
    QString sentence() const { return sentence_; }

signals:
    void said(const QString& sentence);

private:
    QString sentence_;
};

}  // namespace brisko::ui
