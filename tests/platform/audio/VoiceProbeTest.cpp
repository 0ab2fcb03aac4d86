// The lock-free voice probe: it must tell exactly what Engine::positionMs and Engine::mode tell,
// in every state of the voice, and stay safe to read after its voice is closed.
#include <atomic>
#include <thread>

#include "tests/platform/audio/AudioTestUtil.h"

namespace brisko::test {
namespace {

using audio::Engine;
using audio::VoiceId;
using audio::VoiceMode;
using audio::VoiceProbe;

class VoiceProbeTest : public EngineFixture {
protected:
    // Both views of the voice agree on position and mode.
    void expectAgrees(const VoiceProbe& probe, VoiceId v, const char* when) {
        EXPECT_EQ(probe.positionMs(), engine.positionMs(v)) << when;
        EXPECT_EQ(probe.mode(), engine.mode(v)) << when;
    }
};

TEST_F(VoiceProbeTest, ReadsWhatTheEngineReadsInEveryState) {
    // 44.1 kHz into a 48 kHz mix, so positions go through the rate conversion.
    const std::string path = dir.file("tone.wav");
    writeToneWav(path, {440.0, 1.5, 44100, 2, 0.5});
    const VoiceId v = openOk(path);
    const auto probe = engine.probe(v);
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(engine.lengthMs(v), 1500);
    expectAgrees(*probe, v, "opened");
    EXPECT_EQ(probe->positionMs(), 0);
    EXPECT_EQ(probe->mode(), VoiceMode::Stopped);

    ASSERT_TRUE(engine.play(v, 0, -1));
    int64_t last = 0;
    for (int i = 0; i < 5; ++i) {
        render(4800);  // 100 ms
        expectAgrees(*probe, v, "playing");
        EXPECT_EQ(probe->mode(), VoiceMode::Playing);
        EXPECT_GT(probe->positionMs(), last);
        last = probe->positionMs();
    }
    EXPECT_EQ(last, 500);

    // A pause ends after its 5 ms fade-out.
    engine.pause(v);
    render(4800);
    expectAgrees(*probe, v, "paused");
    EXPECT_EQ(probe->mode(), VoiceMode::Paused);
    EXPECT_EQ(probe->positionMs(), 504);  // 505 ms of the mix, in 44.1 kHz frames

    engine.resume(v);
    render(2400);
    expectAgrees(*probe, v, "resumed");
    EXPECT_EQ(probe->positionMs(), 554);

    engine.stop(v);
    render(4800);
    expectAgrees(*probe, v, "stopped");
    EXPECT_EQ(probe->mode(), VoiceMode::Stopped);

    ASSERT_TRUE(engine.seek(v, 1200));
    expectAgrees(*probe, v, "seeked");
    EXPECT_EQ(probe->positionMs(), 1200);

    // Played to its end, and stopped at a "to" point.
    playToEnd(v);
    expectAgrees(*probe, v, "at the end");
    EXPECT_EQ(probe->positionMs(), 1500);
    ASSERT_TRUE(engine.play(v, 200, 300));
    for (int guard = 0; guard < 100 && engine.mode(v) == VoiceMode::Playing; ++guard) render(4800);
    expectAgrees(*probe, v, "stopped at to");
    EXPECT_EQ(probe->positionMs(), 300);
}

TEST_F(VoiceProbeTest, ClosedVoiceReadsAsClosedAndNeverAsItsSuccessor) {
    const std::string first = dir.file("first.wav");
    const std::string second = dir.file("second.wav");
    writeToneWav(first, {440.0, 1.0, 48000, 2, 0.5});
    writeToneWav(second, {880.0, 2.0, 48000, 2, 0.5});
    EXPECT_EQ(engine.probe(-1), nullptr);
    EXPECT_EQ(engine.probe(1 << 20), nullptr);

    const VoiceId v = openOk(first);
    auto probe = engine.probe(v);
    ASSERT_NE(probe, nullptr);
    ASSERT_TRUE(engine.play(v, 0, -1));
    render(9600);
    EXPECT_EQ(probe->positionMs(), 200);
    engine.close(v);
    EXPECT_EQ(engine.probe(v), nullptr);
    EXPECT_EQ(probe->positionMs(), -1);
    EXPECT_EQ(probe->mode(), VoiceMode::Stopped);
    expectAgrees(*probe, v, "closed");

    // The freed handle goes to the next file; the old probe still speaks of the closed voice.
    const VoiceId w = openOk(second);
    ASSERT_EQ(w, v);
    ASSERT_TRUE(engine.seek(w, 700));
    ASSERT_TRUE(engine.play(w, -1, -1));
    render(4800);
    EXPECT_EQ(engine.positionMs(w), 800);
    EXPECT_EQ(probe->positionMs(), -1);
    EXPECT_EQ(probe->mode(), VoiceMode::Stopped);
    const auto fresh = engine.probe(w);
    ASSERT_NE(fresh, nullptr);
    expectAgrees(*fresh, w, "successor");

    // Outlives the engine's whole table.
    engine.closeAll();
    EXPECT_EQ(fresh->positionMs(), -1);
    probe.reset();
}

TEST_F(VoiceProbeTest, ReadsFromAnotherThreadWhileTheVoiceIsCommandedAndClosed) {
    const std::string path = dir.file("tone.wav");
    writeToneWav(path, {440.0, 2.0, 48000, 2, 0.5});
    const VoiceId v = openOk(path);
    const auto probe = engine.probe(v);
    ASSERT_NE(probe, nullptr);
    ASSERT_EQ(engine.lengthMs(v), 2000);

    std::atomic<bool> done{false};
    std::atomic<int64_t> outOfRange{0};
    std::atomic<int64_t> reads{0};
    std::thread reader([&] {
        while (!done.load()) {
            const int64_t pos = probe->positionMs();
            const VoiceMode mode = probe->mode();
            if (pos < -1 || pos > 2000) outOfRange.fetch_add(1);
            if (mode != VoiceMode::Stopped && mode != VoiceMode::Playing && mode != VoiceMode::Paused) {
                outOfRange.fetch_add(1);
            }
            reads.fetch_add(1);
        }
    });
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(engine.play(v, 0, -1));
        render(9600);
        engine.pause(v);
        engine.resume(v);
        render(4800);
        ASSERT_TRUE(engine.seek(v, 1900));
        ASSERT_TRUE(engine.play(v, -1, -1));
        render(9600);  // past the end
        EXPECT_EQ(probe->positionMs(), 2000);
    }
    engine.close(v);
    while (reads.load() < 1000) std::this_thread::yield();
    done.store(true);
    reader.join();
    EXPECT_EQ(outOfRange.load(), 0);
    EXPECT_EQ(probe->positionMs(), -1);
}

}  // namespace
}  // namespace brisko::test
