// The media control interface: a command-string interpreter over named, process-wide aliases.
// "open", "play", "status", "set", "setaudio", ... are parsed here and routed to a device.
#pragma once

#include <cstdint>
#include <string>

namespace brisko::mci {

using MciError = uint32_t;  // 0 = success

// Sends COMMAND. Returns 0 on success, else an error code for mciGetErrorString. When REPLY is not
// null it receives the reply text ("" for commands without one). Never throws.
MciError mciSendString(const std::string& command, std::string* reply = nullptr);

// The text for an error code; for 0 the text of success.
std::string mciGetErrorString(MciError code);

}  // namespace brisko::mci
