// The command strings the console composes itself (not through the media channel's operations):
// one way out, so that tests can read exactly what was sent.
#pragma once

#include <functional>
#include <string>

#include "platform/mci/Mci.h"

namespace brisko::console {

// Sends COMMAND to the media control interface; returns its error code (0 = success).
mci::MciError sendCommand(const std::string& command);

// Every command sendCommand sends is also handed to TAP (an empty function removes it).
void setCommandTapForTesting(std::function<void(const std::string&)> tap);

}  // namespace brisko::console
