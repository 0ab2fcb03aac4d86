// The process-wide launchers of the other subsystems' windows.
#include "console/Launchers.h"

namespace brisko::console {

Launchers& launchers() {
    static Launchers instance;
    return instance;
}

}  // namespace brisko::console
