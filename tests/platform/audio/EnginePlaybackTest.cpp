// What is heard in the mix: start, stop at "to", pause and resume, seek, volume, speed, resampling
// and many voices at once.
#include <cmath>

#include "tests/platform/audio/AudioTestUtil.h"

namespace brisko::test {
namespace {

using audio::Engine;
using audio::VoiceMode;

class EnginePlayback : public EngineFixture {};

TEST_F(EnginePlayback, ToneStartsInTheNextPeriodAndStopsExactlyAtTo) {
    const std::string path = dir.file("tone.wav");
    writeToneWav(path, {440.0, 2.0, 48000, 2, 0.5});
    const auto v = openOk(path);
    // Nothing sounds before play.
    EXPECT_EQ(firstLoudFrame(render(2000)), -1);
    ASSERT_TRUE(engine.play(v, 0, 500));
    EXPECT_EQ(engine.mode(v), VoiceMode::Playing);
    const std::vector<float> out = render(48000);
    EXPECT_LE(firstLoudFrame(out), 2);
    EXPECT_GT(rms(out, 23000, 1000), 0.3);
    EXPECT_EQ(rms(out, 24000, 24000), 0.0);  // 500 ms at 48 kHz, not a frame more
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 500);
}

// A start from inside the sound fades in over kFade frames: frame F sounds at F / kFade of the source.
constexpr int kFade = 240;  // 5 ms at 48 kHz

void expectFadeIn(const std::vector<float>& out, const std::vector<int16_t>& source, int64_t at) {
    for (int f = 0; f < kFade; ++f)
        ASSERT_NEAR(out[size_t(f) * 2], sampleValue(source[size_t(at + f) * 2]) * float(f) / kFade, 1e-4f) << f;
}

TEST_F(EnginePlayback, OutputIsTheSourceSampleForSampleAndSeekIsExact) {
    const std::string path = dir.file("ramp.wav");
    const auto samples = rampSamples(96000, 2);
    writePcmWav(path, samples, 2, 48000);
    const auto v = openOk(path);
    ASSERT_TRUE(engine.play(v, 0, 800));
    std::vector<float> out = render(40000);
    // From 0 there is no fade: the very first sample is the source's.
    for (int f = 0; f < 38400; ++f)
        ASSERT_EQ(out[size_t(f) * 2], sampleValue(samples[size_t(f) * 2])) << f;
    ASSERT_EQ(engine.mode(v), VoiceMode::Stopped);

    // A seek on a stopped voice leaves it stopped; play fades in from exactly there.
    ASSERT_TRUE(engine.seek(v, 1234));
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 1234);
    EXPECT_EQ(firstLoudFrame(render(1000), 0, 0.0f), -1);
    ASSERT_TRUE(engine.play(v, -1, -1));
    out = render(1000);
    const int64_t at = 1234 * 48;
    expectFadeIn(out, samples, at);
    for (int f = kFade; f < 1000; ++f) ASSERT_EQ(out[size_t(f) * 2], sampleValue(samples[size_t(at + f) * 2])) << f;

    // Stopping at "to" has no fade: silence from the very frame.
    engine.stop(v);
    render(1000);
    ASSERT_TRUE(engine.play(v, 100, 200));
    out = render(6000);
    expectFadeIn(out, samples, 4800);
    for (int f = kFade; f < 4800; ++f) ASSERT_EQ(out[size_t(f) * 2], sampleValue(samples[size_t(4800 + f) * 2])) << f;
    EXPECT_EQ(out[4800 * 2], 0.0f);
    EXPECT_EQ(engine.positionMs(v), 200);
}

// On a playing voice a seek moves the sound without a gap: the old sound goes on until the new
// place is ready, and a play that follows crossfades from one to the other within 5 ms.
TEST_F(EnginePlayback, SeeksOnAPlayingVoiceCrossfadeWithoutAGap) {
    const std::string path = dir.file("ramp.wav");
    const auto samples = rampSamples(240000, 2, 20000);
    writePcmWav(path, samples, 2, 48000);
    auto src = [&](int64_t frame) { return sampleValue(samples[size_t(frame) * 2]); };
    const auto v = openOk(path);
    constexpr int kHold = 1440;  // 30 ms at 48 kHz
    // The crossfade's raised cosine at frame F of KFADE.
    auto rise = [](int f) { return 0.5f - 0.5f * std::cos(3.14159265f * float(f) / kFade); };

    // Crossfade: frame F of the seam is the old sound falling and the new rising, summing to 1.
    auto expectCrossfade = [&](const std::vector<float>& out, int64_t oldAt, int64_t newAt,
                               int count) {
        for (int f = 0; f < kFade; ++f) {
            const float t = rise(f);
            ASSERT_NEAR(out[size_t(f) * 2], src(oldAt + f) * (1.0f - t) + src(newAt + f) * t, 1e-4f)
                << f;
        }
        for (int f = kFade; f < count; ++f) ASSERT_EQ(out[size_t(f) * 2], src(newAt + f)) << f;
    };

    ASSERT_TRUE(engine.play(v, 0, -1));
    render(1000);
    // seek + play, as the deck keys send them.
    ASSERT_TRUE(engine.seek(v, 3000));
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 3000);
    ASSERT_TRUE(engine.play(v, -1, -1));
    EXPECT_EQ(engine.mode(v), VoiceMode::Playing);
    expectCrossfade(render(3000), 1000, 144000, 3000);
    EXPECT_EQ(engine.positionMs(v), 3000 + 3000 / 48);

    // play "from" on a playing voice does the same, and "to" still stops it exactly.
    ASSERT_TRUE(engine.play(v, 1000, 1100));
    std::vector<float> out = render(6000);
    expectCrossfade(out, 147000, 48000, 4800);
    EXPECT_EQ(out[4800 * 2], 0.0f);
    EXPECT_EQ(engine.positionMs(v), 1100);

    // play without "from" on a playing voice and a refused seek change nothing.
    ASSERT_TRUE(engine.play(v, 2000, -1));
    render(1000);
    ASSERT_TRUE(engine.play(v, -1, -1));
    EXPECT_FALSE(engine.seek(v, -5));
    out = render(2000);
    for (int f = 0; f < 2000; ++f) ASSERT_EQ(out[size_t(f) * 2], src(96000 + 1000 + f)) << f;

    // A seek alone: stopped to every query at once, the old sound holds 30 ms for a play that
    // may follow, then fades out; a play later starts from the seek's place with a fade-in.
    ASSERT_TRUE(engine.seek(v, 4000));
    out = render(4000);
    for (int f = 0; f < kHold; ++f) ASSERT_EQ(out[size_t(f) * 2], src(99000 + f)) << f;
    for (int f = 0; f < kFade; ++f)
        ASSERT_NEAR(out[size_t(kHold + f) * 2], src(99000 + kHold + f) * (1.0f - rise(f)), 1e-4f)
            << f;
    EXPECT_EQ(rms(out, kHold + kFade, 4000 - kHold - kFade), 0.0);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 4000);
    ASSERT_TRUE(engine.play(v, -1, -1));
    out = render(1000);
    expectFadeIn(out, samples, 192000);

    // A stop during the hold fades the old sound out at once.
    ASSERT_TRUE(engine.seek(v, 500));
    engine.stop(v);
    out = render(1000);
    for (int f = 0; f < kFade; ++f)
        ASSERT_NEAR(out[size_t(f) * 2], src(193000 + f) * (1.0f - rise(f)), 1e-4f) << f;
    EXPECT_EQ(rms(out, kFade, 1000 - kFade), 0.0);
    EXPECT_EQ(engine.positionMs(v), 500);
}

TEST_F(EnginePlayback, PositionsReadBackUnchangedAtRatesThatAreNotWholeFramesPerMillisecond) {
    const std::string path = dir.file("ramp44.wav");
    const auto samples = rampSamples(44100 * 2, 2);
    writePcmWav(path, samples, 2, 44100);
    const auto v = openOk(path);
    for (const int64_t ms : {1, 1234, 999, 1999}) {
        ASSERT_TRUE(engine.seek(v, ms));
        EXPECT_EQ(engine.positionMs(v), ms);
    }
    ASSERT_TRUE(engine.play(v, 333, 1237));
    render(48000 + 4800);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 1237);
}

TEST_F(EnginePlayback, PauseResumeAndStopFadeWithoutGapOrRepeat) {
    const std::string path = dir.file("ramp.wav");
    const auto samples = rampSamples(48000, 2);
    writePcmWav(path, samples, 2, 48000);
    auto src = [&](int64_t frame) { return sampleValue(samples[size_t(frame) * 2]); };
    const auto v = openOk(path);
    ASSERT_TRUE(engine.play(v, 0, -1));
    std::vector<float> out = render(1500);
    for (int f = 0; f < 1500; ++f) ASSERT_EQ(out[size_t(f) * 2], src(f)) << f;

    // Pause fades out over the next 5 ms of the sound, then silence; the position stays put.
    engine.pause(v);
    EXPECT_EQ(engine.mode(v), VoiceMode::Paused);
    out = render(700);
    for (int f = 0; f < kFade; ++f)
        ASSERT_NEAR(out[size_t(f) * 2], src(1500 + f) * (1.0f - float(f) / kFade), 1e-4f) << f;
    for (int f = kFade; f < 700; ++f) ASSERT_EQ(out[size_t(f) * 2], 0.0f) << f;
    EXPECT_EQ(engine.positionMs(v), (1500 + kFade) / 48);
    render(300);
    EXPECT_EQ(engine.positionMs(v), (1500 + kFade) / 48);

    // Resume fades in from exactly where the fade-out ended: nothing skipped, nothing repeated.
    engine.resume(v);
    out = render(1300);
    expectFadeIn(out, samples, 1500 + kFade);
    for (int f = kFade; f < 1300; ++f) ASSERT_EQ(out[size_t(f) * 2], src(1500 + kFade + f)) << f;

    engine.stop(v);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    out = render(500);
    const int64_t stopAt = 1500 + kFade + 1300;
    for (int f = 0; f < kFade; ++f)
        ASSERT_NEAR(out[size_t(f) * 2], src(stopAt + f) * (1.0f - float(f) / kFade), 1e-4f) << f;
    EXPECT_EQ(rms(out, kFade, 500 - kFade), 0.0);
    ASSERT_TRUE(engine.play(v, -1, -1));  // continues from where it stopped
    out = render(1200);
    expectFadeIn(out, samples, stopAt + kFade);
    EXPECT_EQ(engine.positionMs(v), (stopAt + kFade + 1200) / 48);
}

TEST_F(EnginePlayback, PlayingToTheEndStopsAtTheLength) {
    const std::string path = dir.file("short.wav");
    writeToneWav(path, {330.0, 0.7371, 48000, 2, 0.5});
    const auto v = openOk(path);
    const auto out = playToEnd(v);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.lengthFrames(v), 35381);
    EXPECT_EQ(engine.positionMs(v), engine.lengthMs(v));
    EXPECT_EQ(engine.lengthMs(v), 737);
    // Play again from the current position: stays at the end.
    ASSERT_TRUE(engine.play(v, -1, -1));
    render(100);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 737);
}

TEST_F(EnginePlayback, OutOfRangeRequestsAreRefused) {
    const std::string path = dir.file("tone.wav");
    writeToneWav(path, {440.0, 1.0, 48000, 2, 0.5});
    const auto v = openOk(path);
    ASSERT_EQ(engine.lengthMs(v), 1000);
    std::string error;
    EXPECT_FALSE(engine.play(v, 0, 1001, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(engine.play(v, 1200, -1));
    EXPECT_FALSE(engine.play(v, 600, 500));
    EXPECT_FALSE(engine.play(-1, 0, 10));
    EXPECT_FALSE(engine.play(v + 1, 0, 10));
    EXPECT_TRUE(engine.play(v, 0, 1000));
    EXPECT_TRUE(engine.seek(v, 5000));  // clamped to the length
    EXPECT_EQ(engine.positionMs(v), 1000);
    EXPECT_EQ(engine.positionMs(-1), -1);
}

TEST_F(EnginePlayback, VolumeFollowsAMonotonicTaperPerSide) {
    EXPECT_EQ(Engine::gainForVolume(1000), 1.0f);
    EXPECT_EQ(Engine::gainForVolume(0), 0.0f);
    for (int v = 1; v <= 1000; ++v) ASSERT_GT(Engine::gainForVolume(v), Engine::gainForVolume(v - 1)) << v;
    // Perceptual: half the scale is far below half the amplitude.
    EXPECT_LT(Engine::gainForVolume(500), 0.25f);

    const std::string path = dir.file("tone.wav");
    writeToneWav(path, {440.0, 2.0, 48000, 2, 0.5});
    const auto v = openOk(path);
    engine.setVolume(v, 500, 0);
    EXPECT_EQ(engine.volumeLeft(v), 500);
    EXPECT_EQ(engine.volumeRight(v), 0);
    ASSERT_TRUE(engine.play(v, 0, -1));
    auto out = render(9600);
    double left = 0, right = 0;
    for (int f = 4800; f < 9600; ++f) {
        left += out[size_t(f) * 2] * out[size_t(f) * 2];
        right += std::fabs(out[size_t(f) * 2 + 1]);
    }
    EXPECT_NEAR(std::sqrt(left / 4800), 0.5 / std::sqrt(2.0) * Engine::gainForVolume(500), 1e-3);
    EXPECT_EQ(right, 0.0);
    // A change ramps over one period, then holds.
    engine.setVolume(v, 1000, 1000);
    out = render(4800);
    EXPECT_NEAR(rms(out, 1024, 3000), 0.5 / std::sqrt(2.0), 2e-3);
    engine.setVolume(v, 2000, -5);  // clamped
    EXPECT_EQ(engine.volumeLeft(v), 1000);
    EXPECT_EQ(engine.volumeRight(v), 0);
}

TEST_F(EnginePlayback, SpeedChangesPitchAndTempoWhilePositionsStayMediaTime) {
    const std::string path = dir.file("tone.wav");
    writeToneWav(path, {440.0, 2.0, 48000, 2, 0.5});
    const auto v = openOk(path);
    engine.setSpeed(v, 2000);
    EXPECT_EQ(engine.speed(v), 2000);
    ASSERT_TRUE(engine.play(v, 0, -1));
    auto out = render(24000);  // half a second of output = one second of media
    EXPECT_NEAR(zeroCrossingFrequency(out, 0, 24000, 48000), 880.0, 3.0);
    EXPECT_NEAR(static_cast<double>(engine.positionMs(v)), 1000.0, 2.0);
    out = render(48000);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 2000);
    EXPECT_GT(rms(out, 22000, 1000), 0.3);
    EXPECT_EQ(rms(out, 24001, 20000), 0.0);

    engine.setSpeed(v, 500);
    ASSERT_TRUE(engine.play(v, 0, 500));
    out = render(48000);
    EXPECT_NEAR(zeroCrossingFrequency(out, 0, 40000, 48000), 220.0, 2.0);
    EXPECT_GT(rms(out, 46000, 1500), 0.3);  // half a second of media lasts a second
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 500);
    engine.setSpeed(v, 0);
    EXPECT_GT(engine.speed(v), 0);
    engine.setSpeed(v, 10000);  // ten times normal: still plays, and still to the exact end
    EXPECT_EQ(engine.speed(v), 10000);
    ASSERT_TRUE(engine.play(v, 0, -1));
    out = render(9600 + 100);
    EXPECT_GT(rms(out, 9000, 500), 0.3);
    EXPECT_EQ(rms(out, 9601, 99), 0.0);
    EXPECT_EQ(engine.mode(v), VoiceMode::Stopped);
    EXPECT_EQ(engine.positionMs(v), 2000);
}

TEST_F(EnginePlayback, OtherSourceRatesAreResampledToTheOutputRate) {
    const std::string path = dir.file("tone44.wav");
    writeToneWav(path, {1000.0, 1.0, 44100, 2, 0.5});
    const auto v = openOk(path);
    EXPECT_EQ(engine.sourceRate(v), 44100);
    EXPECT_EQ(engine.lengthFrames(v), 44100);
    const auto out = playToEnd(v, 4800);
    EXPECT_NEAR(zeroCrossingFrequency(out, 1000, 40000, 48000), 1000.0, 2.0);
    // One second of sound lasts 48000 output frames.
    int64_t last = -1;
    for (int64_t f = 0; f < int64_t(out.size()) / 2; ++f)
        if (std::fabs(out[size_t(f) * 2]) > 0.01f) last = f;
    EXPECT_NEAR(double(last), 48000.0, 30.0);
    EXPECT_EQ(engine.positionMs(v), 1000);
}

TEST_F(EnginePlayback, MonoSourcesPlayAtFullLevelOnBothSides) {
    const std::string path = dir.file("mono.wav");
    writeToneWav(path, {440.0, 1.0, 48000, 1, 0.5});
    const auto v = openOk(path);
    ASSERT_TRUE(engine.play(v, 0, -1));
    const auto out = render(4800);
    double l = 0, r = 0;
    for (int f = 0; f < 4800; ++f) {
        l += out[size_t(f) * 2] * out[size_t(f) * 2];
        r += out[size_t(f) * 2 + 1] * out[size_t(f) * 2 + 1];
    }
    EXPECT_NEAR(std::sqrt(l / 4800), 0.5 / std::sqrt(2.0), 2e-3);
    EXPECT_NEAR(std::sqrt(r / 4800), 0.5 / std::sqrt(2.0), 2e-3);
}

TEST_F(EnginePlayback, SeventyVoicesSoundAtOnce) {
    constexpr int kVoices = 70;
    std::vector<audio::VoiceId> ids;
    for (int i = 0; i < kVoices; ++i) {
        // Each file holds a constant level of its own; the mix must be their exact sum.
        const std::string path = dir.file("v" + std::to_string(i) + ".wav");
        writePcmWav(path, std::vector<int16_t>(size_t(48000) * 2, int16_t(10 + i)), 2, 48000);
        ids.push_back(openOk(path));
    }
    for (auto id : ids) ASSERT_TRUE(engine.play(id, 0, -1));
    const auto out = render(9600);
    float expected = 0;
    for (int i = 0; i < kVoices; ++i) expected += sampleValue(int16_t(10 + i));
    for (int f = 0; f < 9600; f += 97) ASSERT_NEAR(out[size_t(f) * 2], expected, 1e-5f) << f;
    for (auto id : ids) EXPECT_EQ(engine.mode(id), VoiceMode::Playing);
    EXPECT_EQ(engine.stats().openVoices, kVoices);
    // Closing some takes exactly their share out of the mix.
    for (int i = 0; i < 10; ++i) engine.close(ids[size_t(i)]);
    EXPECT_FALSE(engine.isOpen(ids[0]));
    const auto after = render(1000);
    for (int i = 0; i < 10; ++i) expected -= sampleValue(int16_t(10 + i));
    EXPECT_NEAR(after[500 * 2], expected, 1e-5f);
}

TEST_F(EnginePlayback, RenderingWaitsForDecodingSoNothingUnderruns) {
    const std::string path = dir.file("long.mp3");
    writeToneMp3(path, {440.0, 20.0, 48000, 2, 0.5}, {});
    const auto v = openOk(path);
    const auto before = engine.stats().underruns;
    ASSERT_TRUE(engine.play(v, 0, -1));
    // More than the ring holds and more than was decoded at open.
    for (int i = 0; i < 10; ++i) {
        const auto out = render(48000);
        ASSERT_GT(rms(out, 0, 48000), 0.3) << i;
    }
    EXPECT_EQ(engine.stats().underruns, before);
    EXPECT_EQ(engine.positionMs(v), 10000);
}

}  // namespace
}  // namespace brisko::test
