// openCdWindow: shows the existing CD window or loads a new one.
#include "cdripper/CdWindowLauncher.h"

#include <QPointer>

#include "cdripper/frmVBCDRip.h"
#include "platform/cdrip/CdRipLoader.h"
#include "ui/Prompt.h"

namespace brisko::cdripper {

void openCdWindow(QWidget* owner) {
    static QPointer<frmVBCDRip> window;
    if (window) {
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    std::string error;
    if (cdrip::cdRipApi(&error) == nullptr) {
        ui::message(owner, {QString::fromStdString(error), QStringLiteral("Brisko"), ui::PromptButtons::Ok,
                            ui::PromptIcon::Warning});
        return;
    }
    // Known before it loads: the load waits for drives while events are handled, and a second
    // press of the button meanwhile shows this window rather than making another.
    auto* created = new frmVBCDRip;
    window = created;
    if (!created->Form_Load()) {
        window = nullptr;
        delete created;
    }
}

}  // namespace brisko::cdripper
