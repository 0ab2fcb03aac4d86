// Command-line parsing for the program.
#include "app/AppOptions.h"

namespace brisko::app {

AppOptions parseOptions(const std::vector<std::string>& args) {
    AppOptions options;
    bool optionsEnded = false;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.rfind("--audio=", 0) == 0) {
            options.audio = arg.substr(8);
            if (options.audio.empty()) options.error = "--audio needs a value, e.g. --audio=list";
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            options.error = "unknown option " + arg;
        } else if (options.file.empty()) {
            options.file = arg;
        } else {
            options.error = "only one file can be played at start";
        }
    }
    return options;
}

std::string chooseAudio(const std::string& option, const char* environment) {
    if (!option.empty()) return option;
    if (environment != nullptr && *environment != '\0') return environment;
    return "portaudio";
}

const char* usageText() {
    return "usage: brisko [--audio=SPEC] [FILE]\n"
           "  --audio=SPEC  portaudio, portaudio:NAME, file:PATH.wav, null, or list (prints the\n"
           "                output devices and exits); BRISKO_AUDIO is used when not given\n"
           "  FILE          plays at once on the immediate channel\n";
}

}  // namespace brisko::app
