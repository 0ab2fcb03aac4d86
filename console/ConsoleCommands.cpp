// The console's own command strings.
#include "console/ConsoleCommands.h"

namespace brisko::console {
namespace {

std::function<void(const std::string&)>& tap() {
    static std::function<void(const std::string&)> t;
    return t;
}

}  // namespace

mci::MciError sendCommand(const std::string& command) {
    if (tap()) tap()(command);
    return mci::mciSendString(command);
}

void setCommandTapForTesting(std::function<void(const std::string&)> t) { tap() = std::move(t); }

}  // namespace brisko::console
