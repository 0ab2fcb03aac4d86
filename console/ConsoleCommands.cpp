// The console's own command strings.
#include "console/ConsoleCommands.h"

#include "media/MediaChannel.h"

namespace brisko::console {
namespace {

std::function<void(const std::string&)>& tap() {
    static std::function<void(const std::string&)> t;
    return t;
}

}  // namespace

uint32_t sendCommand(const std::string& command) {
    if (tap()) tap()(command);
    return sendCommandString(command);
}

void setCommandTapForTesting(std::function<void(const std::string&)> t) { tap() = std::move(t); }

}  // namespace brisko::console
