// Resident memory per open voice, with every ring filled.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/audio/BenchUtil.h"
#include "platform/audio/Engine.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"

using namespace brisko;

int main(int argc, char** argv) {
    // Each kind of file is measured in a fresh process: memory freed by one measurement would
    // otherwise be reused by the next and hide its cost.
    if (argc < 2) {
        for (const char* kind : {"mp3", "wav"}) std::system((std::string(argv[0]) + " " + kind).c_str());
        return 0;
    }
    const std::string kind = argv[1];
    test::TempDir dir("brisko-bench");
    audio::Engine& engine = audio::Engine::instance();
    engine.startBackend("manual:48000");
    const std::string mp3 = dir.file("tone.mp3");
    const std::string wav = dir.file("tone.wav");
    test::writeToneMp3(mp3, {440.0, 30.0, 44100, 2, 0.5}, {});
    test::writeToneWav(wav, {440.0, 30.0, 44100, 2, 0.5});
    for (const std::string& file : {kind == "mp3" ? mp3 : wav}) {
        // Warm up the libraries once so their one-time allocations are not counted.
        engine.close(engine.open(file, nullptr));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const int64_t before = bench::residentBytes();
        constexpr int kVoices = 100;
        for (int i = 0; i < kVoices; ++i) engine.open(file, nullptr);
        std::this_thread::sleep_for(std::chrono::seconds(3));  // let the decoder fill every ring
        const int64_t after = bench::residentBytes();
        std::printf("%s: resident memory per open voice %.2f MiB over %d voices (goal: under 2 MiB)\n",
                    file.substr(file.size() - 3).c_str(), double(after - before) / kVoices / 1048576.0, kVoices);
        engine.closeAll();
    }
    engine.shutdown();
    return 0;
}
