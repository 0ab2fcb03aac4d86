// The program's command line: brisko [--audio=SPEC] [FILE].
#pragma once

#include <string>
#include <vector>

namespace brisko::app {

struct AppOptions {
    std::string audio;     // "" = not given
    std::string file;      // "" = none
    bool help = false;
    std::string error;     // set when the command line cannot be used
};

// Parses the arguments after the program name. The first argument that is not an option is the
// file; "--" ends the options (so a file named like an option can still be given).
AppOptions parseOptions(const std::vector<std::string>& args);

// The output to use: the option when given, else BRISKO_AUDIO when set and not empty, else
// "portaudio".
std::string chooseAudio(const std::string& option, const char* environment);

const char* usageText();

}  // namespace brisko::app
