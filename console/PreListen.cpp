// The console's pre-listen: one at a time, on the cue output, through the media channel.
#include "console/PreListen.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>

#include "console/FileBrowser.h"
#include "console/FileNames.h"
#include "console/frmMain.h"
#include "media/PreListen.h"

namespace brisko::console {

namespace {

// How often a running pre-listen is checked for its end.
constexpr int kEndWatchMs = 200;

bool isTextFile(const QString& path) { return path.right(3) == QLatin1String("txt"); }

}  // namespace

PreListen::PreListen(frmMain* window) : QObject(window), window_(window) {
    // Every key press of the window passes here first (as through the key preview), whether or not
    // the window is the active one, which a shortcut would need.
    qApp->installEventFilter(this);

    window->File1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(window->File1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { showFileMenu(pos); });
    for (int i = 0; i < frmMain::kDecks; ++i) {
        QLineEdit* name = window->Text1[i];
        name->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(name, &QWidget::customContextMenuRequested, this,
                [this, i](const QPoint& pos) { showDeckMenu(i, pos); });
    }
    endWatch_.setInterval(kEndWatchMs);
    connect(&endWatch_, &QTimer::timeout, this, [this] { checkEnd(); });
}

PreListen::~PreListen() { stop(); }

bool PreListen::isPreListenKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Enter && key.modifiers() == Qt::KeypadModifier;
}

bool PreListen::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!isPreListenKey(*key) || static_cast<QWidget*>(watched)->window() != window_) return false;
    // Without a cue output keypad Enter is the Enter key it always was.
    if (!cueOutputSet()) return false;
    // Taken here, so that no control also acts on it (the file list's Enter would load a deck);
    // held down, it does not toggle again and again.
    if (!key->isAutoRepeat()) toggle(fileUnderCursor());
    return true;
}

QString PreListen::fileUnderCursor() const {
    FileList* list = window_->File1;
    const QListWidgetItem* row = list->currentItem();
    if (row == nullptr) return QString();
    QString folder = window_->Dir1->path();
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder + row->data(Qt::UserRole).toString();
}

QString PreListen::deckFile(int i) const {
    if (!frmMain::isDeck(i)) return QString();
    const QString& file = window_->Decks[i].DeckFile;
    return file.isEmpty() || isTextFile(file) ? QString() : file;
}

void PreListen::toggle(const QString& file) {
    if (file.isEmpty()) return;
    const bool same = file == file_ && preListenSounds(kPreListenAlias);
    stop();
    if (same) return;
    const std::string reply =
        startPreListen(0, kPreListenAlias, fileNameBytes(file).toStdString());
    if (reply != "Success") {
        window_->showIncident(QStringLiteral("Pre-listen: ") + QString::fromStdString(reply));
        return;
    }
    file_ = file;
    endWatch_.start();
}

void PreListen::stop() {
    endWatch_.stop();
    if (file_.isEmpty()) return;
    file_.clear();
    stopPreListen(kPreListenAlias);
}

void PreListen::checkEnd() {
    if (!file_.isEmpty() && preListenSounds(kPreListenAlias)) return;
    stop();
}

void PreListen::addEntry(QMenu* menu, const QString& file, QAction* before) {
    auto* entry = new QAction(QStringLiteral("Pre-listen"), menu);
    entry->setObjectName(QStringLiteral("mnuPreListen"));
    entry->setCheckable(true);
    entry->setChecked(!file.isEmpty() && file == file_ && preListenSounds(kPreListenAlias));
    entry->setEnabled(!file.isEmpty());
    connect(entry, &QAction::triggered, this, [this, file] { toggle(file); });
    menu->insertAction(before, entry);
}

void PreListen::showFileMenu(const QPoint& pos) {
    FileList* list = window_->File1;
    // A right click on a row puts the cursor there; from the keyboard the cursor stays.
    if (!cueOutputSet()) return;  // the list has no menu of its own
    if (QListWidgetItem* row = list->itemAt(pos); row != nullptr) list->setCurrentItem(row);
    auto* menu = new QMenu(list);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    addEntry(menu, fileUnderCursor(), nullptr);
    menu->popup(list->viewport()->mapToGlobal(pos));
}

void PreListen::showDeckMenu(int i, const QPoint& pos) {
    QLineEdit* name = window_->Text1[i];
    QMenu* menu = name->createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    if (cueOutputSet()) {
        QAction* first = menu->actions().isEmpty() ? nullptr : menu->actions().first();
        addEntry(menu, deckFile(i), first);
        if (first != nullptr) menu->insertSeparator(first);
    }
    menu->popup(name->mapToGlobal(pos));
}

}  // namespace brisko::console
