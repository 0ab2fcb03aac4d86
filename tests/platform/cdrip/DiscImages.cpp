// makeToneDisc and writeCdRipIni: tone WAVs through the image writer, expected bytes from the
// tones' samples.
#include "tests/platform/cdrip/DiscImages.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "platform/cdrip/CdImageWriter.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

namespace brisko::test {

DiscImage makeToneDisc(const std::string& dir, const std::string& name, const std::vector<double>& seconds) {
    DiscImage disc;
    disc.cue = dir + "/" + name + ".cue";
    disc.bin = dir + "/" + name + ".bin";
    std::vector<std::string> wavs;
    int32_t sector = 0;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        ToneSpec tone;
        tone.frequency = 440.0 + 110.0 * static_cast<double>(i);
        tone.seconds = seconds[i];
        const std::string wav = dir + "/" + name + "-" + std::to_string(i + 1) + ".wav";
        writeToneWav(wav, tone);
        wavs.push_back(wav);
        const std::vector<int16_t> samples = toneSamples(tone);
        std::string bytes(samples.size() * 2, '\0');
        std::memcpy(bytes.data(), samples.data(), bytes.size());
        const std::size_t sectors = (bytes.size() + 2351) / 2352;
        bytes.resize(sectors * 2352, '\0');
        disc.trackAudio.push_back(bytes);
        disc.startSectors.push_back(sector);
        sector += static_cast<int32_t>(sectors);
    }
    disc.startSectors.push_back(sector);
    std::string error;
    EXPECT_TRUE(cdrip::writeCdImage(disc.cue, wavs, &error)) << error;
    return disc;
}

void writeCdRipIni(const std::string& ini, const std::vector<std::string>& cues, const std::string& extra) {
    std::string text = "[Images]\r\n";
    for (std::size_t i = 0; i < cues.size(); ++i) text += "Image" + std::to_string(i + 1) + "=" + cues[i] + "\r\n";
    writeFile(ini, text + extra);
}

std::string makeDataDisc(const std::string& dir, const std::string& name, int sectors) {
    const std::string cue = dir + "/" + name + ".cue";
    writeFile(dir + "/" + name + ".bin", std::string(static_cast<std::size_t>(sectors) * 2352, '\x5a'));
    writeFile(cue, "FILE \"" + name + ".bin\" BINARY\r\n  TRACK 01 MODE1/2352\r\n    INDEX 01 00:00:00\r\n");
    return cue;
}

void holdDrives(bool hold) {
    // The library the program under test loaded (by path, with dlopen).
    static const auto call = [] {
        void* library = ::dlopen(BRISKO_CDRIP_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
        return library != nullptr ? reinterpret_cast<void (*)(int32_t)>(::dlsym(library, "CR_TestHoldDrive")) : nullptr;
    }();
    ASSERT_NE(nullptr, call) << "libcdrip is not loaded";
    call(hold ? 1 : 0);
}

}  // namespace brisko::test
