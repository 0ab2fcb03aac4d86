// Command-line parsing for the program.
#include "app/AppOptions.h"

#include <cstdlib>

namespace brisko::app {

AppOptions parseOptions(const std::vector<std::string>& args) {
    AppOptions options;
    bool optionsEnded = false;
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.rfind("--audio=", 0) == 0) {
            if (arg.size() > 8)
                options.audio = arg.substr(8);
            else
                options.warnings.push_back("--audio needs a value, e.g. --audio=list; ignored");
        } else if (!optionsEnded && arg.rfind("--record=", 0) == 0) {
            if (arg.size() > 9)
                options.record = arg.substr(9);
            else
                options.warnings.push_back("--record needs a file name, e.g. --record=aircheck.wav; ignored");
        } else if (!optionsEnded && arg.rfind("--cue=", 0) == 0) {
            if (arg.size() > 6)
                options.cue = arg.substr(6);
            else
                options.warnings.push_back("--cue needs a value, e.g. --cue=split; ignored");
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            options.help = true;
        } else if (!optionsEnded && arg == "--version") {
            options.version = true;
        } else {
            words.push_back(arg);
        }
    }
    for (const std::string& word : words) {
        if (!options.file.empty()) options.file += ' ';
        options.file += word;
    }
    return options;
}

std::string chooseAudio(const std::string& option, const char* environment) {
    if (!option.empty()) return option;
    if (environment != nullptr && *environment != '\0') return environment;
    return "portaudio";
}

const char* usageText() {
    return "usage: brisko [--audio=SPEC] [--cue=SPEC] [--record=PATH.wav] [--] [FILE]\n"
           "       brisko --help | --version\n"
           "  --audio=SPEC  portaudio, portaudio:NAME, file:PATH.wav, null, or list (prints the\n"
           "                output devices and exits); BRISKO_AUDIO is used when not given\n"
           "  --cue=SPEC    the pre-listen output, heard by the operator only: the forms of\n"
           "                --audio, or split (air on the left, cue on the right of the one\n"
           "                device); BRISKO_CUE is used when not given; none by default\n"
           "  --record=PATH.wav  records what goes on air beside the output (BRISKO_RECORD when\n"
           "                not given); past 4 GiB it goes on in PATH-002.wav, PATH-003.wav, ...\n"
           "  FILE          plays at once on the immediate channel; the words of an unquoted\n"
           "                name with blanks are joined; put -- before a name that starts with -\n"
           "  --help, -h    prints this text; --version prints the version\n"
           "Files (brisko.ini, clip lists, the Clip Player log) live in $BRISKO_HOME when set,\n"
           "else beside a program run from its build folder, else in ~/.local/share/brisko.\n"
           "Without a display: xvfb-run -a brisko FILE\n";
}

bool displayConfigured(const std::vector<std::string>& args) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    for (const std::string& arg : args)
        if (arg == "-platform" || arg == "--platform") return true;
    return false;
}

const char* noDisplayText() {
    return "brisko: no display: start it on a desktop, or without one under a virtual display: "
           "xvfb-run -a brisko [FILE]\n";
}

}  // namespace brisko::app
