// Helpers shared by the engine tests: the engine on the manual backend and rendering the mix.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/audio/Engine.h"
#include "tests/support/EncodedFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/ToneFiles.h"

namespace brisko::test {

class EngineFixture : public ::testing::Test {
protected:
    audio::Engine& engine = audio::Engine::instance();
    TempDir dir{"brisko-audio"};

    void SetUp() override { ASSERT_TRUE(engine.startBackend("manual:48000")); }
    void TearDown() override { engine.closeAll(); }

    std::vector<float> render(int frames) {
        std::vector<float> out(static_cast<size_t>(frames) * 2);
        engine.renderManual(out.data(), frames);
        return out;
    }

    audio::VoiceId openOk(const std::string& path) {
        std::string error;
        const audio::VoiceId v = engine.open(path, &error);
        EXPECT_GE(v, 0) << path << ": " << error;
        return v;
    }

    // Plays VOICE from the start to its end and returns everything mixed until it stopped.
    std::vector<float> playToEnd(audio::VoiceId v, int chunk = 4800) {
        std::vector<float> all;
        EXPECT_TRUE(engine.play(v, 0, -1));
        for (int guard = 0; guard < 10000 && engine.mode(v) == audio::VoiceMode::Playing; ++guard) {
            const std::vector<float> part = render(chunk);
            all.insert(all.end(), part.begin(), part.end());
        }
        return all;
    }
};

inline float sampleValue(int16_t s) { return static_cast<float>(s) / 32768.0f; }

}  // namespace brisko::test
