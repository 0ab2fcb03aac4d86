// Opens the CD window for the console's "CD Play/Rip" button: one window, created on first use,
// after checking that the ripping library can be loaded.
#pragma once

class QWidget;

namespace brisko::cdripper {

void openCdWindow(QWidget* owner);

}  // namespace brisko::cdripper
