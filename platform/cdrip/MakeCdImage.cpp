// brisko-cdimage: writes a CD image (IMAGE.cue and IMAGE.bin) with one audio track per WAV file.
//   brisko-cdimage IMAGE.cue TRACK1.wav [TRACK2.wav ...]
#include <cstdio>
#include <string>
#include <vector>

#include "platform/cdrip/CdImageWriter.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: brisko-cdimage IMAGE.cue TRACK1.wav [TRACK2.wav ...]\n"
                     "Writes IMAGE.cue and IMAGE.bin, one audio track per WAV file\n"
                     "(44100 Hz, 16-bit, stereo).\n");
        return 2;
    }
    std::vector<std::string> tracks(argv + 2, argv + argc);
    std::string error;
    if (!brisko::cdrip::writeCdImage(argv[1], tracks, &error)) {
        std::fprintf(stderr, "brisko-cdimage: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
