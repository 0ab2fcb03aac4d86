// The windows of the other subsystems that the console's buttons open. The program fills these in
// at start-up, so the console opens them without depending on their libraries.
#pragma once

#include <functional>

class QWidget;

namespace brisko::console {

struct Launchers {
    std::function<void(QWidget* owner)> clipPlayer;  // "Clip Player": the user picker
    std::function<void(QWidget* owner)> cdWindow;    // "CD Play/Rip"
    std::function<void(QWidget* owner)> encoder;     // "MP3 Encoder" and the Functions window's entry
};

// The one set of launchers of the process; an empty entry means the window is not in this build.
Launchers& launchers();

}  // namespace brisko::console
