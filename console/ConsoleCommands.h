// The command strings the console composes itself (not through the media channel's operations):
// one way out, so that tests can read exactly what was sent.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace brisko::console {

// Sends COMMAND through the media channel; returns its error code (0 = success).
uint32_t sendCommand(const std::string& command);

// Every command sendCommand sends is also handed to TAP (an empty function removes it).
void setCommandTapForTesting(std::function<void(const std::string&)> tap);

}  // namespace brisko::console
