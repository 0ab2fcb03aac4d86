// libFuzzer target: arbitrary bytes opened as a sound file through "open" on the real engine with
// the manual backend. The first byte picks the file name's extension (the decoder may look at it);
// the rest is the file. Opening, the length query, a little playing and closing must neither
// crash nor hang, whatever the bytes.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "platform/audio/Engine.h"
#include "platform/mci/Mci.h"

namespace {

// The input file's name without its extension: one per process, removed after every input.
std::string& stem() {
    static std::string path;
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    stem() = "/tmp/brisko-fuzz-open-" + std::to_string(::getpid());
    brisko::audio::Engine::instance().startBackend("manual:48000");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using brisko::mci::mciSendString;
    static const char* const kExtensions[] = {".mp3", ".wav", ".ogg", ".flac", ".aiff", ".wma", ".mp2", ""};
    const std::string extension = size > 0 ? kExtensions[data[0] % 8] : "";
    const std::string path = stem() + extension;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (size > 1) out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    if (mciSendString("open \"" + path + "\" type mpegvideo alias f") == 0) {
        std::string reply;
        mciSendString("status f length", &reply);
        mciSendString("play f");
        std::vector<float> mix(2 * 1024);
        for (int period = 0; period < 8; ++period) brisko::audio::Engine::instance().renderManual(mix.data(), 1024);
        mciSendString("status f position", &reply);
        mciSendString("status f mode", &reply);
        mciSendString("seek f to end");
        mciSendString("close f");
    }
    ::unlink(path.c_str());
    return 0;
}
