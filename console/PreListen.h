// The console's pre-listen: the file under the file list's cursor, or a deck's file from its
// start, heard on the cue output only, on a channel of its own, so the air and the decks stay
// untouched. Keypad Enter (a key no key table uses and no text box needs) and a "Pre-listen"
// entry in the file list's and each deck's context menu toggle it.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

class QAction;
class QKeyEvent;
class QMenu;
class frmMain;

namespace brisko::console {

class PreListen : public QObject {
    Q_OBJECT
public:
    // Sets up the key and the context menus of WINDOW's file list and deck name boxes. Owned by
    // WINDOW; the pre-listen ends when it goes.
    explicit PreListen(frmMain* window);
    ~PreListen() override;

    // Keypad Enter, pressed on any control of the window.
    static bool isPreListenKey(const QKeyEvent& key);
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Ends the pre-listen when FILE is what pre-listens, else starts FILE from its start (ending
    // any other). Without a cue output nothing plays and the incident line says why.
    void toggle(const QString& file);
    // The file under the file list's cursor ("" when the list has none).
    QString fileUnderCursor() const;
    // Deck I's file ("" when the deck holds none, or a text file).
    QString deckFile(int i) const;
    // The file that pre-listens now; "" when none.
    QString file() const { return file_; }
    void stop();

private:
    void showFileMenu(const QPoint& pos);
    void showDeckMenu(int i, const QPoint& pos);
    // Adds the checkable "Pre-listen" entry for FILE to MENU, before BEFORE (appended when null).
    void addEntry(QMenu* menu, const QString& file, QAction* before);
    // At the end of the sound (or after "close all"), the channel is let go.
    void checkEnd();

    frmMain* window_;
    QTimer endWatch_;
    QString file_;
};

}  // namespace brisko::console
