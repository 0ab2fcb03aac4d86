// The program's command line: brisko [--audio=SPEC] [--record=PATH] [--] [FILE...], or
// brisko --help | --version. The command line is the file: every word that is not an option is
// part of one file name.
#pragma once

#include <string>
#include <vector>

namespace brisko::app {

struct AppOptions {
    std::string audio;     // "" = not given
    std::string record;    // --record=PATH.wav: the air-check recording; "" = not given
    std::string cue;       // --cue=SPEC: the pre-listen output; "" = not given
    std::string file;      // "" = none; the bytes of the name as given
    bool help = false;
    bool version = false;
    std::vector<std::string> warnings;  // options that could not be used; the program goes on
};

// Parses the arguments after the program name. "--audio=SPEC", "--record=PATH", "--cue=SPEC",
// "--help", "-h" and "--version" are options;
// every other argument is a word of the file name, and the words are joined with single blanks
// (an unquoted path with a blank arrives as two words). "--" ends the options, so a name that
// starts with "-" or looks like an option can still be given.
AppOptions parseOptions(const std::vector<std::string>& args);

// The output to use: the option when given, else BRISKO_AUDIO when set and not empty, else
// "portaudio".
std::string chooseAudio(const std::string& option, const char* environment);

const char* usageText();

// Whether Qt will find a window system: DISPLAY or WAYLAND_DISPLAY set, QT_QPA_PLATFORM set, or a
// "-platform" option among ARGS (Qt's own, with one or two dashes).
bool displayConfigured(const std::vector<std::string>& args);

// The one line said instead of Qt's abort when no window system is configured.
const char* noDisplayText();

}  // namespace brisko::app
