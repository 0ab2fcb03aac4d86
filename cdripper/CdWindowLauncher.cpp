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
    auto* created = new frmVBCDRip;
    if (!created->Form_Load()) {
        delete created;
        return;
    }
    window = created;
}

}  // namespace brisko::cdripper
