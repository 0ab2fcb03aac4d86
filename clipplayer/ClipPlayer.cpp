// The Clip Player's windows as the rest of the program sees them.
#include "clipplayer/ClipPlayer.h"

#include <QCoreApplication>
#include <QPointer>

#include "clipplayer/frmClipPlay.h"
#include "clipplayer/frmPickUser.h"
#include "ui/Prompt.h"

namespace brisko::clip {
namespace {

QPointer<frmPickUser>& picker() {
    static QPointer<frmPickUser> window;
    return window;
}

QPointer<frmClipPlay>& player() {
    static QPointer<frmClipPlay> window;
    return window;
}

}  // namespace

frmPickUser* userPicker() {
    if (!picker()) {
        picker() = new frmPickUser();
        // The picker lives for the whole run; the windows go when the program ends.
        if (QCoreApplication::instance() != nullptr)
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { closeClipPlayer(); });
    }
    return picker();
}

void showUserPicker(QWidget*) {
    frmPickUser* window = userPicker();
    window->show();
    window->raise();
    window->activateWindow();
}

frmClipPlay* clipWindow() { return player(); }

frmClipPlay* openClipWindow() {
    if (player()) {
        player()->close();
        delete player().data();
    }
    auto* window = new frmClipPlay();
    window->setAttribute(Qt::WA_DeleteOnClose);
    player() = window;
    window->show();
    window->activateWindow();
    if (!window->loadProblems().isEmpty())
        ui::message(window, {window->loadProblems().trimmed(), QStringLiteral("Clip Player"),
                             ui::PromptButtons::Ok, ui::PromptIcon::Warning});
    return window;
}

void closeClipPlayer() {
    if (player()) {
        player()->close();
        delete player().data();
    }
    delete picker().data();
}

}  // namespace brisko::clip
