// Custom sources, and what one voice's trouble must never do to another: a stalled or failing
// medium, a burst of opens, a seek, all while another voice plays; and position reads that never
// see half of a seek.
#include <chrono>
#include <thread>

#include "tests/platform/audio/AudioTestUtil.h"
#include "tests/platform/audio/TestSources.h"

namespace brisko::test {
namespace {

using audio::VoiceId;
using audio::VoiceMode;

class Isolation : public EngineFixture {
protected:
    std::shared_ptr<SourceControl> control = std::make_shared<SourceControl>();

    void TearDown() override {
        control->release();
        EngineFixture::TearDown();
    }

    VoiceId openSource(int rate, int64_t frames, std::string* error = nullptr) {
        return engine.openSource(std::make_unique<TestSource>(rate, frames, control), error);
    }
};

TEST_F(Isolation, ACustomSourcePlaysLikeAFileAndAnUnplayableRateIsRefused) {
    const VoiceId v = openSource(48000, 96000);
    ASSERT_GE(v, 0);
    EXPECT_EQ(engine.lengthMs(v), 2000);
    ASSERT_TRUE(engine.play(v, 0, -1));
    std::vector<float> out = render(1000);
    for (int f = 0; f < 1000; ++f) {
        ASSERT_EQ(out[size_t(f) * 2], sawValue(f)) << f;
        ASSERT_EQ(out[size_t(f) * 2 + 1], -sawValue(f)) << f;
    }
    ASSERT_TRUE(engine.seek(v, 1500));
    EXPECT_EQ(engine.positionMs(v), 1500);
    ASSERT_TRUE(engine.play(v, -1, -1));
    out = render(48000);
    EXPECT_EQ(out[size_t(300) * 2], sawValue(1500 * 48 + 300));
    EXPECT_EQ(firstLoudFrame(out, 24000, 0.0f), -1);  // ended at 2000 ms, not a frame later
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 2000);

    // Another rate is converted: the length stays exact in its own frames.
    const VoiceId w = openSource(44100, 44100);
    ASSERT_GE(w, 0);
    EXPECT_EQ(engine.lengthMs(w), 1000);
    const std::vector<float> all = playToEnd(w, 4800);
    EXPECT_EQ(engine.positionMs(w), 1000);
    EXPECT_GT(rms(all, 46000, 1000), 0.1);

    std::string error;
    EXPECT_EQ(openSource(999, 1000, &error), -1);
    EXPECT_NE(error.find("999"), std::string::npos) << error;
    EXPECT_GE(openSource(1000, 1000), 0);
}

TEST_F(Isolation, AReadErrorEndsTheVoiceWithTheErrorAndNeverShortensTheLength) {
    const uint64_t errorsBefore = engine.health().readErrors;
    control->failAt.store(30000);
    const VoiceId v = openSource(48000, 96000);
    ASSERT_GE(v, 0);
    ASSERT_TRUE(engine.play(v, 0, -1));
    const std::vector<float> out = render(48000);
    EXPECT_EQ(out[size_t(29999) * 2], sawValue(29999));
    EXPECT_EQ(firstLoudFrame(out, 30000, 0.0f), -1);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 625);
    EXPECT_EQ(engine.lengthMs(v), 2000);
    EXPECT_EQ(engine.voiceError(v), "the test medium failed");
    const audio::EngineHealth health = engine.health();
    EXPECT_EQ(health.readErrors, errorsBefore + 1);
    EXPECT_EQ(health.lastReadError, "the test medium failed");

    // The medium is back: play goes on from where the sound stopped.
    control->failAt.store(-1);
    ASSERT_TRUE(engine.play(v, -1, -1));
    const std::vector<float> again = render(1000);
    EXPECT_NEAR(again[size_t(600) * 2], sawValue(30000 + 600), 1e-6);
    EXPECT_EQ(engine.voiceError(v), "");
}

// On the real-time paced output: one voice plays while another's medium hangs for seconds, a
// command on the hung voice waits for it, and 48 files are opened and closed in a burst.
TEST_F(Isolation, AStalledMediumABurstOfOpensAndASeekDisturbNoOtherVoice) {
    const std::string wav = dir.file("clip.wav");
    writeToneWav(wav, {440.0, 3.0, 44100, 2, 0.5});
    ASSERT_TRUE(engine.startBackend("null"));
    const VoiceId a = openSource(48000, 48000 * 20);
    auto stuckControl = std::make_shared<SourceControl>();
    const VoiceId b = engine.openSource(std::make_unique<TestSource>(48000, 48000 * 20, stuckControl), nullptr);
    const VoiceId c = engine.openSource(std::make_unique<TestSource>(48000, 48000 * 20, stuckControl), nullptr);
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);
    ASSERT_GE(c, 0);
    ASSERT_TRUE(engine.play(a, 0, -1));
    ASSERT_TRUE(engine.play(b, 0, -1));
    stuckControl->stall();
    // B plays on a hung medium; the seek on C waits for it; nothing else may.
    std::thread seeker([&] { engine.seek(c, 5000); });
    const auto probeA = engine.probe(a);
    double worstCommandMs = 0;
    const auto start = std::chrono::steady_clock::now();
    int bursts = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(2500)) {
        std::vector<VoiceId> opened;
        for (int k = 0; k < 48; ++k) opened.push_back(engine.open(wav, nullptr));
        for (VoiceId id : opened) engine.close(id);
        ++bursts;
        const auto t0 = std::chrono::steady_clock::now();
        engine.setVolume(a, 900, 900);
        (void)engine.positionMs(a);
        (void)probeA->positionMs();
        (void)engine.lengthMs(a);
        worstCommandMs = std::max(
            worstCommandMs,
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    EXPECT_GT(stuckControl->readsBlocked.load(), 0);
    stuckControl->release();
    seeker.join();
    EXPECT_GE(bursts, 1);
    EXPECT_EQ(engine.voiceUnderruns(a), 0u);
    EXPECT_GT(engine.voiceUnderruns(b), 0u);  // B really went without sound
    EXPECT_EQ(engine.mode(a), VoiceMode::Playing);
    EXPECT_EQ(engine.positionMs(c), 5000);
    EXPECT_LT(worstCommandMs, 500.0);  // the medium hung for 2.5 s
}

TEST_F(Isolation, APositionReadNeverSeesHalfOfASeek) {
    const VoiceId v = openSource(48000, 48000 * 10);
    ASSERT_GE(v, 0);
    const auto probe = engine.probe(v);
    std::atomic<bool> done{false};
    std::atomic<int64_t> wrong{0};
    std::atomic<int64_t> reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            const int64_t pos = probe->positionMs();
            if (pos != 0 && pos != 1000 && pos != 7000) wrong.fetch_add(1);
            reads.fetch_add(1);
        }
    });
    for (int k = 0; k < 4000; ++k) ASSERT_TRUE(engine.seek(v, k % 2 ? 1000 : 7000));
    while (reads.load() < 1000) std::this_thread::yield();
    done.store(true);
    reader.join();
    EXPECT_EQ(wrong.load(), 0) << "of " << reads.load() << " reads";
}

}  // namespace
}  // namespace brisko::test
